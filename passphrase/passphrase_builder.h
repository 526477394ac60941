// The pass-phrase builder: 63 characters of 0-9 A-Z a-z. For each character it
// draws a position, then a skip count, then throws away that many draws, from
// whatever draw source it is given; it keeps nothing between calls.
#pragma once
#include <stdint.h>

namespace vornelle {

extern const char PASSPHRASE_ALPHABET[];  // 62 characters, digits, upper, lower
const int PASSPHRASE_LENGTH = 63;
const int PASSPHRASE_ALPHABET_SIZE = 62;
const int PASSPHRASE_SKIP_RANGE = 20;
// Two draws per character and at most 19 skipped ones.
const int PASSPHRASE_MIN_DRAWS = PASSPHRASE_LENGTH * 2;
const int PASSPHRASE_MAX_DRAWS = PASSPHRASE_LENGTH * (2 + PASSPHRASE_SKIP_RANGE - 1);

// One draw in [0, 1 - 2^-31], a multiple of 2^-31; false when the source
// cannot deliver.
typedef bool (*DrawFunction)(void* context, double* draw);

struct DrawSource {
    DrawFunction draw;
    void* context;
};

// The largest integral value not greater than x, without touching the FPU's
// rounding mode.
double round_down(double x);

// Writes PASSPHRASE_LENGTH characters and a NUL into passphrase. Returns false,
// with the buffer wiped, when the source fails part-way.
bool build_passphrase(DrawSource source, char passphrase[PASSPHRASE_LENGTH + 1]);

}  // namespace vornelle
