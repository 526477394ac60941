// build_passphrase keeps the arithmetic and the order of draws of the original
// generator: position = floor(62 r) + 1, skip = floor(20 r), then skip discards.
#include "passphrase/passphrase_builder.h"

#include <windows.h>

#include "passphrase/random_source.h"

namespace vornelle {

const char PASSPHRASE_ALPHABET[] =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

static bool draw_from_random_source(void*, double* draw) {
    *draw = next();
    return true;
}

DrawSource random_source_draws() {
    DrawSource source = {draw_from_random_source, 0};
    return source;
}

bool build_passphrase(DrawSource source, char passphrase[PASSPHRASE_LENGTH + 1]) {
    double r;
    for (int i = 0; i < PASSPHRASE_LENGTH; ++i) {
        if (!source.draw(source.context, &r)) goto failed;
        int position = (int)floor(PASSPHRASE_ALPHABET_SIZE * r) + 1;
        passphrase[i] = PASSPHRASE_ALPHABET[position - 1];
        if (!source.draw(source.context, &r)) goto failed;
        int16_t skip = (int16_t)floor(PASSPHRASE_SKIP_RANGE * r);
        for (int16_t k = 0; k < skip; ++k) {
            if (!source.draw(source.context, &r)) goto failed;
        }
    }
    passphrase[PASSPHRASE_LENGTH] = 0;
    return true;
failed:
    SecureZeroMemory(passphrase, PASSPHRASE_LENGTH + 1);
    return false;
}

}  // namespace vornelle
