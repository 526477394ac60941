// The secure draw source behind every pass phrase the program shows: the
// platform's cryptographic generator, fetched in one call per pass phrase. No
// fallback: when the generator fails there is no pass phrase. Random bytes are
// wiped before their buffer is released.
#pragma once
#include <stdint.h>

#include "passphrase/passphrase_builder.h"

namespace vornelle {

// Fills size bytes with random bytes; false on failure.
typedef bool (*RandomFill)(void* buffer, uint32_t size);

// BCryptGenRandom with the system-preferred generator, from the bcrypt.dll of
// the system folder only; false when the platform refuses the call or that
// library or function cannot be found (there is no other source).
bool platform_random_fill(void* buffer, uint32_t size);

struct SecureSource {
    uint32_t used;
    uint32_t words[PASSPHRASE_MAX_DRAWS];
};

// Refills every word with one call of fill; false (and the words wiped) when
// it fails.
bool secure_source_fill(SecureSource* source, RandomFill fill);
// Draws from a filled source: the top 31 bits of the next word times 2^-31.
DrawSource secure_source_draws(SecureSource* source);
void secure_source_wipe(SecureSource* source);

// One pass phrase from fill, drawn through source, which the caller provides
// so that the random words lie where the caller can see them wiped; they are
// wiped before it returns, whatever happened. False, with the pass phrase
// wiped too, on failure.
bool build_secure_passphrase(RandomFill fill, SecureSource* source,
                             char passphrase[PASSPHRASE_LENGTH + 1]);

}  // namespace vornelle
