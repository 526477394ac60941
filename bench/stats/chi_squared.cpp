// Uniformity of pass phrases: builds N pass phrases (default 10^6) and counts
// each of the 62 characters at each of the 63 positions. Chi-squared with 61
// degrees of freedom per position and over all positions together, with their
// upper-tail p-values. Passes when the overall p-value and the smallest of the
// 63 per-position p-values (Bonferroni-corrected) stay above 0.001.
//   chi_squared [--count N] [--source secure|lcg]
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "passphrase/random_source.h"
#include "passphrase/secure_source.h"

using namespace vornelle;

// Regularized upper incomplete gamma Q(a, x), by series or continued fraction.
static double gamma_q(double a, double x) {
    if (x <= 0) return 1.0;
    double lead = std::exp(-x + a * std::log(x) - std::lgamma(a));
    if (x < a + 1) {
        double term = 1.0 / a, sum = term;
        for (int n = 1; n < 10000; ++n) {
            term *= x / (a + n);
            sum += term;
            if (std::fabs(term) < std::fabs(sum) * 1e-15) break;
        }
        return 1.0 - sum * lead;
    }
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 10000; ++i) {
        double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1 / d;
        double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1) < 1e-15) break;
    }
    return lead * h;
}

static double chi_squared(const long long* counts, int cells, double expected) {
    double sum = 0;
    for (int i = 0; i < cells; ++i) {
        double d = counts[i] - expected;
        sum += d * d / expected;
    }
    return sum;
}

static long long counts[PASSPHRASE_LENGTH][PASSPHRASE_ALPHABET_SIZE];
static long long overall[PASSPHRASE_ALPHABET_SIZE];

int main(int argc, char** argv) {
    long count = 1000000;
    bool lcg = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0) count = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--source") == 0) lcg = std::strcmp(argv[i + 1], "lcg") == 0;
    }
    int index[256];
    for (int i = 0; i < 256; ++i) index[i] = -1;
    for (int i = 0; i < PASSPHRASE_ALPHABET_SIZE; ++i) index[(uint8_t)PASSPHRASE_ALPHABET[i]] = i;
    if (lcg) seed_random_source(time_of_day());

    SecureSource source;
    char passphrase[PASSPHRASE_LENGTH + 1];
    for (long n = 0; n < count; ++n) {
        bool built = lcg ? build_passphrase(random_source_draws(), passphrase)
                         : build_secure_passphrase(platform_random_fill, &source, passphrase);
        if (!built) {
            std::printf("error source-failed\n");
            return 2;
        }
        for (int p = 0; p < PASSPHRASE_LENGTH; ++p) {
            int c = index[(uint8_t)passphrase[p]];
            if (c < 0) {
                std::printf("error character-outside-alphabet\n");
                return 2;
            }
            ++counts[p][c];
        }
    }
    const double dof = PASSPHRASE_ALPHABET_SIZE - 1;
    double minP = 1, maxP = 0, sumStat = 0, minStat = 1e300, maxStat = 0;
    int below01 = 0;
    for (int p = 0; p < PASSPHRASE_LENGTH; ++p) {
        double stat = chi_squared(counts[p], PASSPHRASE_ALPHABET_SIZE,
                                  (double)count / PASSPHRASE_ALPHABET_SIZE);
        double pv = gamma_q(dof / 2, stat / 2);
        sumStat += stat;
        if (stat < minStat) minStat = stat;
        if (stat > maxStat) maxStat = stat;
        if (pv < minP) minP = pv;
        if (pv > maxP) maxP = pv;
        if (pv < 0.01) ++below01;
        for (int c = 0; c < PASSPHRASE_ALPHABET_SIZE; ++c) overall[c] += counts[p][c];
    }
    double total = (double)count * PASSPHRASE_LENGTH;
    double overallStat = chi_squared(overall, PASSPHRASE_ALPHABET_SIZE,
                                     total / PASSPHRASE_ALPHABET_SIZE);
    double overallP = gamma_q(dof / 2, overallStat / 2);
    double minPCorrected = std::fmin(1.0, minP * PASSPHRASE_LENGTH);
    bool pass = overallP > 0.001 && minPCorrected > 0.001;
    std::printf("source %s\npassphrases %ld\ndegrees_of_freedom %.0f\n", lcg ? "lcg" : "secure",
                count, dof);
    std::printf("overall_chi2 %.2f\noverall_p %.4f\n", overallStat, overallP);
    std::printf("position_chi2_mean %.2f\nposition_chi2_min %.2f\nposition_chi2_max %.2f\n",
                sumStat / PASSPHRASE_LENGTH, minStat, maxStat);
    std::printf("position_p_min %.4f\nposition_p_min_bonferroni %.4f\nposition_p_max %.4f\n", minP,
                minPCorrected, maxP);
    std::printf("positions_p_below_0.01 %d\nresult %s\n", below01, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
