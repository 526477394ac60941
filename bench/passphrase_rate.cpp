// Pass phrases per second through the secure source (build_secure_passphrase
// with BCryptGenRandom) against the raw BCryptGenRandom fill of the same number
// of bytes per pass phrase, measured side by side: rounds alternate which side
// runs first, each side's rate is the median over the rounds.
//   passphrase_rate [--rounds N] [--round-ms M]
// Prints "key value" lines, the last one "ratio R" (secure / raw fill).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "passphrase/secure_source.h"
#include "tests/support/outside_program.h"

using namespace vornelle;
using vornelle_test::seconds_now;

static const uint32_t BYTES_PER_PASSPHRASE = sizeof(SecureSource().words);
static volatile uint32_t sink;

static double time_secure(long count) {
    SecureSource source;
    char passphrase[PASSPHRASE_LENGTH + 1];
    double start = seconds_now();
    for (long i = 0; i < count; ++i) {
        if (!build_secure_passphrase(platform_random_fill, &source, passphrase)) {
            std::printf("error secure-source-failed\n");
            std::exit(2);
        }
        sink += (uint8_t)passphrase[i % PASSPHRASE_LENGTH];
    }
    return seconds_now() - start;
}

static double time_raw_fill(long count) {
    static uint32_t buffer[PASSPHRASE_MAX_DRAWS];
    double start = seconds_now();
    for (long i = 0; i < count; ++i) {
        if (!platform_random_fill(buffer, BYTES_PER_PASSPHRASE)) {
            std::printf("error fill-failed\n");
            std::exit(2);
        }
        sink += buffer[i % PASSPHRASE_MAX_DRAWS];
    }
    return seconds_now() - start;
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int main(int argc, char** argv) {
    int rounds = 21;
    double roundMs = 100.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--round-ms") == 0) roundMs = std::atof(argv[i + 1]);
    }
    if (rounds < 1) rounds = 1;

    // Calibrate: as many pass phrases as take about roundMs on the secure side.
    long count = 16;
    time_secure(count);
    time_raw_fill(count);
    while (time_secure(count) < roundMs / 1000.0 / 2 && count < (1L << 24)) count *= 2;

    std::vector<double> secure, raw;
    for (int r = 0; r < rounds; ++r) {
        double s, f;
        if (r % 2 == 0) {
            s = time_secure(count);
            f = time_raw_fill(count);
        } else {
            f = time_raw_fill(count);
            s = time_secure(count);
        }
        secure.push_back(count / s);
        raw.push_back(count / f);
    }
    double secureRate = median(secure), rawRate = median(raw);
    std::printf("bytes_per_passphrase %u\nrounds %d\nper_round %ld\n", BYTES_PER_PASSPHRASE,
                rounds, count);
    std::printf("secure_passphrases_per_s %.0f\nraw_fills_per_s %.0f\nratio %.3f\n", secureRate,
                rawRate, secureRate / rawRate);
    return 0;
}
