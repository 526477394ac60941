// The builder's arithmetic and draw order, checked against the time-seeded
// generator's known sequence and against fixed draw sources.
#include "passphrase/passphrase_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "passphrase/random_source.h"
#include "tests/support/passphrase_check.h"

using namespace vornelle;

namespace {

// Draws from the random source and remembers the integer draws.
struct RecordingDraws {
    std::vector<uint32_t> lasts;
};

bool record_draw(void* context, double* draw) {
    *draw = next_random_draw();
    static_cast<RecordingDraws*>(context)->lasts.push_back(randomSource.last);
    return true;
}

// Builds a pass phrase from the random source seeded with seconds, recording
// every integer draw it takes.
bool build_seeded(double seconds, RecordingDraws* draws, char* phrase) {
    seed_random_source(seconds);
    DrawSource source = {record_draw, draws};
    return build_passphrase(source, phrase);
}

// Always the same draw; counts how often it was asked; fails after a limit.
struct FixedDraws {
    double value;
    int count;
    int failAfter;
};

bool fixed_draw(void* context, double* draw) {
    FixedDraws* fixed = static_cast<FixedDraws*>(context);
    if (fixed->count == fixed->failAfter) return false;
    ++fixed->count;
    *draw = fixed->value;
    return true;
}

TEST(PassphraseBuilder, AlphabetIsDigitsUpperLowerInOrder) {
    EXPECT_STREQ(PASSPHRASE_ALPHABET,
                 "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(std::strlen(PASSPHRASE_ALPHABET), 62u);
}

TEST(PassphraseBuilder, MidnightSeedGivesTheKnownFirstCharacters) {
    RecordingDraws draws;
    char phrase[PASSPHRASE_LENGTH + 1];
    ASSERT_TRUE(build_seeded(0.0, &draws, phrase));

    // First character: last = 0 is position 1 ("0"); its skip draw 67387907 is 0.
    // Second: last = 1849087503 is position 54 ("r"); its skip draw gives 4.
    ASSERT_GE(draws.lasts.size(), 4u);
    EXPECT_EQ(draws.lasts[0], 0u);
    EXPECT_EQ(draws.lasts[1], 67387907u);
    EXPECT_EQ(draws.lasts[2], 1849087503u);
    EXPECT_EQ(draws.lasts[3], 435039310u);
    EXPECT_EQ(phrase[0], '0');
    EXPECT_EQ(phrase[1], 'r');
    // The third character comes from the draw after the four skipped ones.
    ASSERT_GE(draws.lasts.size(), 9u);
    EXPECT_EQ(phrase[2], PASSPHRASE_ALPHABET[(62ull * draws.lasts[8]) >> 31]);
    EXPECT_TRUE(vornelle_test::is_passphrase(phrase));
    EXPECT_GE(draws.lasts.size(), (size_t)PASSPHRASE_MIN_DRAWS);
    EXPECT_LE(draws.lasts.size(), (size_t)PASSPHRASE_MAX_DRAWS);
}

TEST(PassphraseBuilder, IntegerFormOfEveryCharacterAndSkip) {
    RecordingDraws draws;
    char phrase[PASSPHRASE_LENGTH + 1];
    ASSERT_TRUE(build_seeded(4321.125, &draws, phrase));
    size_t at = 0;
    for (int i = 0; i < PASSPHRASE_LENGTH; ++i) {
        ASSERT_LT(at + 1, draws.lasts.size());
        EXPECT_EQ(phrase[i], PASSPHRASE_ALPHABET[(62ull * draws.lasts[at]) >> 31]) << i;
        at += 2 + ((20ull * draws.lasts[at + 1]) >> 31);
    }
    EXPECT_EQ(at, draws.lasts.size());
}

TEST(PassphraseBuilder, ExtremeDrawsReachBothEndsOfTheAlphabet) {
    struct Case { double draw; char character; int draws; };
    const Case cases[] = {
        {0.0, '0', PASSPHRASE_MIN_DRAWS},                          // skip 0
        {1.0 - 1.0 / 2147483648.0, 'z', PASSPHRASE_MAX_DRAWS},     // skip 19
        {0.5, 'V', PASSPHRASE_LENGTH * (2 + 10)},                  // position 32, skip 10
    };
    for (const Case& c : cases) {
        FixedDraws fixed = {c.draw, 0, -1};
        DrawSource source = {fixed_draw, &fixed};
        char phrase[PASSPHRASE_LENGTH + 1];
        ASSERT_TRUE(build_passphrase(source, phrase));
        EXPECT_EQ(std::string(phrase), std::string(PASSPHRASE_LENGTH, c.character)) << c.draw;
        EXPECT_EQ(fixed.count, c.draws) << c.draw;
    }
}

TEST(PassphraseBuilder, FailingSourceGivesNoPassphrase) {
    const int failAfter[] = {0, 1, 2, 700, PASSPHRASE_MAX_DRAWS - 1};
    for (int limit : failAfter) {
        FixedDraws fixed = {1.0 - 1.0 / 2147483648.0, 0, limit};
        DrawSource source = {fixed_draw, &fixed};
        char phrase[PASSPHRASE_LENGTH + 1];
        std::memset(phrase, 'x', sizeof phrase);
        EXPECT_FALSE(build_passphrase(source, phrase)) << limit;
        for (char c : phrase) ASSERT_EQ(c, 0) << "not wiped after " << limit;
    }
}

TEST(PassphraseBuilder, SameSeedSamePassphrasesInTheSameOrder) {
    char a[3][PASSPHRASE_LENGTH + 1], b[3][PASSPHRASE_LENGTH + 1];
    seed_random_source(50000.25);
    for (auto& p : a) ASSERT_TRUE(build_passphrase(random_source_draws(), p));
    seed_random_source(50000.25);
    for (auto& p : b) ASSERT_TRUE(build_passphrase(random_source_draws(), p));
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(a[i], b[i]);
    EXPECT_STRNE(a[0], a[1]);
    EXPECT_STRNE(a[1], a[2]);
}

}  // namespace
