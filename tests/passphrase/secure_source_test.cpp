// The secure source: draws from the platform's cryptographic generator, one
// fill per pass phrase, uniform symbols, and no pass phrase when it fails.
#include "passphrase/secure_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "passphrase/random_source.h"
#include "tests/support/passphrase_check.h"

using namespace vornelle;

namespace {

int fillCalls;
uint32_t fillBytes;
bool counting_fill(void* buffer, uint32_t size) {
    ++fillCalls;
    fillBytes = size;
    return platform_random_fill(buffer, size);
}
bool failing_fill(void* buffer, uint32_t size) {
    std::memset(buffer, 0xAB, size);  // leaves bytes behind, as a partial fill might
    return false;
}
unsigned char constantByte;
bool constant_fill(void* buffer, uint32_t size) {
    std::memset(buffer, constantByte, size);
    return true;
}
// Every word has its top bit clear: every draw lies below 0.5.
bool skewed_fill(void* buffer, uint32_t size) {
    if (!platform_random_fill(buffer, size)) return false;
    uint32_t* words = static_cast<uint32_t*>(buffer);
    for (uint32_t i = 0; i < size / 4; ++i) words[i] &= 0x7FFFFFFFu;
    return true;
}

int symbol_index(char c) { return (int)(std::strchr(PASSPHRASE_ALPHABET, c) - PASSPHRASE_ALPHABET); }

double chi_squared(const std::vector<long>& counts) {
    long total = 0;
    for (long c : counts) total += c;
    double expected = (double)total / counts.size(), sum = 0;
    for (long c : counts) sum += (c - expected) * (c - expected) / expected;
    return sum;
}

// Chi-squared over 16,000 pass phrases (1,008,000 characters): the 62 symbols
// overall and at each of the 63 positions, 61 degrees of freedom each. Under
// uniformity one statistic exceeds 145 with probability 8.5e-9, so any of the
// 64 does with probability below 1e-6.
const double CHI_SQUARED_LIMIT = 145.0;
const int CHI_SQUARED_PHRASES = 16000;

struct Uniformity {
    double overall = 0, worstPosition = 0;
};

Uniformity measure(RandomFill fill) {
    std::vector<long> overall(62, 0);
    std::vector<std::vector<long>> at(PASSPHRASE_LENGTH, std::vector<long>(62, 0));
    SecureSource source;
    char phrase[PASSPHRASE_LENGTH + 1];
    for (int n = 0; n < CHI_SQUARED_PHRASES; ++n) {
        EXPECT_TRUE(build_secure_passphrase(fill, &source, phrase));
        for (int i = 0; i < PASSPHRASE_LENGTH; ++i) {
            int s = symbol_index(phrase[i]);
            ++overall[s];
            ++at[i][s];
        }
    }
    Uniformity u;
    u.overall = chi_squared(overall);
    for (auto& counts : at) u.worstPosition = std::max(u.worstPosition, chi_squared(counts));
    return u;
}

TEST(SecureSource, DrawsAreTheTopBitsOfEachWordInRange) {
    struct Case { unsigned char byte; double draw; };
    const Case cases[] = {{0x00, 0.0}, {0xFF, 1.0 - 1.0 / 2147483648.0}, {0x80, 0x40404040 / 2147483648.0}};
    for (const Case& c : cases) {
        constantByte = c.byte;
        SecureSource source;
        ASSERT_TRUE(secure_source_fill(&source, constant_fill));
        DrawSource draws = secure_source_draws(&source);
        double r = -1;
        ASSERT_TRUE(draws.draw(draws.context, &r));
        EXPECT_EQ(r, c.draw);
    }
    SecureSource source;
    ASSERT_TRUE(secure_source_fill(&source, platform_random_fill));
    DrawSource draws = secure_source_draws(&source);
    double r;
    for (int i = 0; i < PASSPHRASE_MAX_DRAWS; ++i) {
        ASSERT_TRUE(draws.draw(draws.context, &r));
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 1.0 - 1.0 / 2147483648.0);
    }
    EXPECT_FALSE(draws.draw(draws.context, &r)) << "a source never reuses its words";
}

TEST(SecureSource, OnePlatformCallPerPassphrase) {
    fillCalls = 0;
    SecureSource source;
    char phrase[PASSPHRASE_LENGTH + 1];
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(build_secure_passphrase(counting_fill, &source, phrase));
    }
    EXPECT_EQ(fillCalls, 5);
    EXPECT_EQ(fillBytes, 4u * PASSPHRASE_MAX_DRAWS);
}

TEST(SecureSource, TenThousandValidDistinctPassphrases) {
    std::set<std::string> seen;
    SecureSource source;
    char phrase[PASSPHRASE_LENGTH + 1];
    for (int i = 0; i < 10000; ++i) {
        ASSERT_TRUE(build_secure_passphrase(platform_random_fill, &source, phrase));
        ASSERT_TRUE(vornelle_test::is_passphrase(phrase)) << phrase;
        seen.insert(phrase);
    }
    EXPECT_EQ(seen.size(), 10000u);
}

TEST(SecureSource, SymbolsAreUniformOverallAndAtEveryPosition) {
    Uniformity u = measure(platform_random_fill);
    EXPECT_LT(u.overall, CHI_SQUARED_LIMIT);
    EXPECT_LT(u.worstPosition, CHI_SQUARED_LIMIT);
}

TEST(SecureSource, UniformityCheckCatchesASkewedGenerator) {
    Uniformity u = measure(skewed_fill);
    EXPECT_GT(u.overall, CHI_SQUARED_LIMIT);
    EXPECT_GT(u.worstPosition, CHI_SQUARED_LIMIT);
}

// The platform's own answers reach the caller: refused for a buffer it cannot
// write to, random bytes otherwise.
TEST(SecureSource, PlatformFillReportsWhatThePlatformAnswers) {
    EXPECT_FALSE(platform_random_fill(nullptr, 16));
    unsigned char bytes[32];
    std::memset(bytes, 0, sizeof bytes);
    EXPECT_TRUE(platform_random_fill(bytes, sizeof bytes));
    int nonZero = 0;
    for (unsigned char b : bytes) nonZero += b != 0;
    EXPECT_GT(nonZero, 16) << "32 random bytes, at most half of them non-zero";
}

// A pass phrase made: the words it was drawn from are wiped all the same.
TEST(SecureSource, RandomWordsAreWipedAfterAPassphraseIsMade) {
    SecureSource source;
    char phrase[PASSPHRASE_LENGTH + 1];
    constantByte = 0xC3;
    ASSERT_TRUE(build_secure_passphrase(constant_fill, &source, phrase));
    EXPECT_TRUE(vornelle_test::is_passphrase(phrase)) << phrase;
    for (uint32_t w : source.words) ASSERT_EQ(w, 0u) << "random bytes left behind";
}

TEST(SecureSource, FailingGeneratorGivesNoPassphraseAndNoFallback) {
    seed_random_source(0.0);
    RandomSource before = randomSource;
    SecureSource source;
    char phrase[PASSPHRASE_LENGTH + 1];
    std::memset(phrase, 'x', sizeof phrase);
    EXPECT_FALSE(build_secure_passphrase(failing_fill, &source, phrase));
    for (char c : phrase) ASSERT_EQ(c, 0);
    for (uint32_t w : source.words) ASSERT_EQ(w, 0u) << "random bytes left behind";
    EXPECT_EQ(randomSource.state, before.state) << "the time-seeded generator was drawn from";

    EXPECT_FALSE(secure_source_fill(&source, failing_fill));
    DrawSource draws = secure_source_draws(&source);
    double r;
    EXPECT_FALSE(draws.draw(draws.context, &r));
    for (uint32_t w : source.words) ASSERT_EQ(w, 0u) << "random bytes left behind";
}

}  // namespace
