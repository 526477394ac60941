// Secure draws: PASSPHRASE_MAX_DRAWS random words per pass phrase, enough for
// the longest possible sequence of draws, fetched with one platform call. The
// generator's library is not in the import table, where the loader would look
// for it beside the program first: it is loaded from the system folder on the
// first fill and stays loaded.
#include "passphrase/secure_source.h"

#include <windows.h>
#include <bcrypt.h>

#include "runtime/system_library.h"
#include "runtime/wipe.h"

namespace vornelle {

typedef LONG(WINAPI* GenRandomFunction)(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size,
                                        ULONG flags);

// BCryptGenRandom of the system folder's bcrypt.dll; null until found.
static GenRandomFunction platformGenRandom;

bool platform_random_fill(void* buffer, uint32_t size) {
    if (!platformGenRandom) {
        HMODULE library = load_system_library("bcrypt.dll");
        if (!library) return false;
        platformGenRandom = (GenRandomFunction)(void*)GetProcAddress(library, "BCryptGenRandom");
        if (!platformGenRandom) return false;
    }
    LONG status = platformGenRandom(NULL, (PUCHAR)buffer, size, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return status >= 0;
}

void secure_source_wipe(SecureSource* source) { wipe_bytes(source, sizeof *source); }

bool secure_source_fill(SecureSource* source, RandomFill fill) {
    source->used = 0;
    if (fill(source->words, sizeof source->words)) return true;
    secure_source_wipe(source);
    source->used = PASSPHRASE_MAX_DRAWS;  // an unfilled source delivers nothing
    return false;
}

static bool draw_secure(void* context, double* draw) {
    SecureSource* source = (SecureSource*)context;
    if (source->used >= (uint32_t)PASSPHRASE_MAX_DRAWS) return false;
    uint32_t word = source->words[source->used++];
    *draw = (double)(word >> 1) * (1.0 / 2147483648.0);
    return true;
}

DrawSource secure_source_draws(SecureSource* source) {
    DrawSource draws = {draw_secure, source};
    return draws;
}

bool build_secure_passphrase(RandomFill fill, SecureSource* source,
                             char passphrase[PASSPHRASE_LENGTH + 1]) {
    bool built = secure_source_fill(source, fill) &&
                 build_passphrase(secure_source_draws(source), passphrase);
    secure_source_wipe(source);
    if (!built) wipe_bytes(passphrase, PASSPHRASE_LENGTH + 1);
    return built;
}

}  // namespace vornelle
