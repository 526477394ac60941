// How build_passphrase draws: for each character, position = round_down(62 r) + 1
// picks from the alphabet, skip = round_down(20 r) counts the draws then thrown
// away. round_down is computed here in integer arithmetic, so the FPU's rounding
// mode never changes.
#include "passphrase/passphrase_builder.h"

#include "runtime/wipe.h"

namespace vornelle {

const char PASSPHRASE_ALPHABET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

double round_down(double x) {
    // Beyond 2^62 in magnitude every double is integral; NaN compares false.
    if (!(x > -4611686018427387904.0 && x < 4611686018427387904.0)) return x;
    double truncated = (double)(int64_t)x;
    return truncated > x ? truncated - 1.0 : truncated;
}

bool build_passphrase(DrawSource source, char passphrase[PASSPHRASE_LENGTH + 1]) {
    double r;
    for (int i = 0; i < PASSPHRASE_LENGTH; ++i) {
        if (!source.draw(source.context, &r)) goto failed;
        int position = (int)round_down(PASSPHRASE_ALPHABET_SIZE * r) + 1;
        passphrase[i] = PASSPHRASE_ALPHABET[position - 1];
        if (!source.draw(source.context, &r)) goto failed;
        int16_t skip = (int16_t)round_down(PASSPHRASE_SKIP_RANGE * r);
        for (int16_t k = 0; k < skip; ++k) {
            if (!source.draw(source.context, &r)) goto failed;
        }
    }
    passphrase[PASSPHRASE_LENGTH] = 0;
    return true;
failed:
    wipe_bytes(passphrase, PASSPHRASE_LENGTH + 1);
    return false;
}

}  // namespace vornelle
