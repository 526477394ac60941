// A stream of draws for statistical test suites: each draw's 31 bits
// (draw x 2^31, i.e. the LCG's `last`, or the secure word's top 31 bits) packed
// back to back into 32-bit little-endian words on stdout, raw binary.
//   draw_stream secure|lcg [--words N]   (N = 0, the default: until stdout closes)
// The lcg source is the program's time-seeded generator, seeded from the time
// of day exactly as the program does; it is the negative control.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "passphrase/random_source.h"
#include "passphrase/secure_source.h"

using namespace vornelle;

static bool lcg_draw(double* draw) {
    *draw = next_random_draw();
    return true;
}

static SecureSource secure;
static DrawSource secureDraws;
static bool secure_draw(double* draw) {
    if (secure.used >= (uint32_t)PASSPHRASE_MAX_DRAWS &&
        !secure_source_fill(&secure, platform_random_fill))
        return false;
    return secureDraws.draw(secureDraws.context, draw);
}

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "secure") && std::strcmp(argv[1], "lcg"))) {
        std::fprintf(stderr, "usage: draw_stream secure|lcg [--words N]\n");
        return 1;
    }
    bool lcg = std::strcmp(argv[1], "lcg") == 0;
    unsigned long long limit = 0;
    if (argc == 4 && std::strcmp(argv[2], "--words") == 0) limit = std::strtoull(argv[3], NULL, 10);
    if (lcg) {
        seed_random_source(time_of_day());
    } else {
        secure.used = PASSPHRASE_MAX_DRAWS;
        secureDraws = secure_source_draws(&secure);
    }

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    static uint32_t block[16384];
    unsigned long long written = 0;
    unsigned long long pending = 0;  // bits not yet written, low `bits` bits
    int bits = 0;
    for (;;) {
        int n = 0;
        while (n < 16384) {
            double draw;
            if (!(lcg ? lcg_draw(&draw) : secure_draw(&draw))) {
                std::fprintf(stderr, "draw_stream: source failed\n");
                return 2;
            }
            uint32_t value = (uint32_t)(draw * 2147483648.0);  // exact: a multiple of 2^-31
            pending = (pending << 31) | value;
            bits += 31;
            if (bits >= 32) {
                bits -= 32;
                block[n++] = (uint32_t)(pending >> bits);
                pending &= (1ull << bits) - 1;
            }
        }
        unsigned long long take = 16384;
        if (limit && limit - written < take) take = limit - written;
        const char* bytes = (const char*)block;
        DWORD left = (DWORD)(take * 4);
        while (left > 0) {  // a pipe may take part of a block at a time
            DWORD done = 0;
            if (!WriteFile(out, bytes, left, &done, NULL) || done == 0)
                return 0;  // the reader has closed the stream
            bytes += done;
            left -= done;
        }
        written += take;
        if (limit && written >= limit) return 0;
    }
}
