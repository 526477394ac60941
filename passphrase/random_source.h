// The process-wide random source: a 32-bit linear congruential generator that
// the main function seeds once from the local time of day. Its sequence is fixed
// by the seed, so it must never be the source of a secret (see secure_source.h).
#pragma once
#include <stdint.h>

#include "passphrase/passphrase_builder.h"

namespace vornelle {

struct RandomSource {
    uint32_t state;  // 0xFFFFFFFF until seeded
    uint32_t last;   // the latest draw before scaling, below 2^31
};

const uint32_t RANDOM_UNSEEDED = 0xFFFFFFFFu;
const uint32_t RANDOM_MULTIPLIER = 134775813u;  // 0x08088405

extern RandomSource randomSource;

// Back to the unseeded state: state and last 0xFFFFFFFF. Process start-up
// calls it once, before the main function seeds the generator.
void reset_random_source();

// Seconds since local midnight, millisecond resolution: n / 1000 where
// n = h * 3600000 + m * 60000 + s * 1000 + ms.
double seconds_since_midnight(int hour, int minute, int second, int millisecond);
// The local time of day, read with GetLocalTime through guarded_call.
double time_of_day();
// The state becomes the bit pattern of x rounded to single precision.
void seed_random_source(double x);
// Advances the state and returns last * 2^-31, in [0, 1 - 2^-31].
double next_random_draw();
// Draws from the process-wide generator (tests and measurements only: never
// the source of a pass phrase the program shows).
DrawSource random_source_draws();

}  // namespace vornelle
