// The time-seeded linear congruential generator. Every draw is a multiple of
// 2^-31 and exact in double precision, so scaling it never depends on the FPU's
// rounding mode.
#include "passphrase/random_source.h"

#include <string.h>
#include <windows.h>

#include "runtime/guarded_call.h"

namespace vornelle {

RandomSource randomSource = {RANDOM_UNSEEDED, RANDOM_UNSEEDED};

void reset_random_source() {
    randomSource.state = RANDOM_UNSEEDED;
    randomSource.last = RANDOM_UNSEEDED;
}

double seconds_since_midnight(int hour, int minute, int second, int millisecond) {
    int32_t n = hour * 3600000 + minute * 60000 + second * 1000 + millisecond;
    return (double)n / 1000.0;
}

static uintptr_t read_local_time(uintptr_t time, uintptr_t, uintptr_t, uintptr_t) {
    GetLocalTime((SYSTEMTIME*)time);
    return 1;
}

double time_of_day() {
    SYSTEMTIME now;
    memset(&now, 0, sizeof now);
    guarded_call(read_local_time, (uintptr_t)&now);
    return seconds_since_midnight(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

void seed_random_source(double x) {
    // volatile forces the rounding to single precision to happen here, even
    // where the compiler would otherwise keep the value in an x87 register.
    volatile float single = (float)x;
    float rounded = single;
    uint32_t bits;
    memcpy(&bits, &rounded, sizeof bits);
    randomSource.state = bits;
}

double next_random_draw() {
    randomSource.state = randomSource.state * RANDOM_MULTIPLIER + 1u;
    randomSource.last = randomSource.state >> 1;
    return (double)randomSource.last * (1.0 / 2147483648.0);
}

static bool draw_from_random_source(void*, double* draw) {
    *draw = next_random_draw();
    return true;
}

DrawSource random_source_draws() {
    DrawSource source = {draw_from_random_source, 0};
    return source;
}

}  // namespace vornelle
