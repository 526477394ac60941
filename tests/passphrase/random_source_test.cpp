// The time-seeded generator: seeds from the time of day, the clock read
// through the guarded call, the draw sequence from known seeds, the range of
// draws, and round_down, which leaves the x87 control word as it found it.
#include "passphrase/passphrase_builder.h"
#include "passphrase/random_source.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>

#include "runtime/fpu.h"
#include "runtime/guarded_call.h"
#include "tests/support/import_patch.h"

using namespace vornelle;

namespace {

struct RandomSourceTest : ::testing::Test {
    void SetUp() override { reset_random_source(); }
};

uint32_t float_bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

TEST_F(RandomSourceTest, MidnightSeedGivesTheKnownFirstDraws) {
    seed_random_source(seconds_since_midnight(0, 0, 0, 0));
    EXPECT_EQ(randomSource.state, 0u);
    const uint32_t states[] = {1u, 134775814u, 3698175007u};
    const uint32_t lasts[] = {0u, 67387907u, 1849087503u};
    for (int i = 0; i < 3; ++i) {
        double r = next_random_draw();
        EXPECT_EQ(randomSource.state, states[i]) << "draw " << i;
        EXPECT_EQ(randomSource.last, lasts[i]) << "draw " << i;
        EXPECT_EQ(r, lasts[i] / 2147483648.0) << "draw " << i;
    }
}

TEST_F(RandomSourceTest, SeedIsTheSinglePrecisionPatternOfTheTimeOfDay) {
    struct Case { int h, m, s, ms; uint32_t state; };
    const Case cases[] = {
        {12, 0, 0, 0, 0x4728C000u},                  // 43200.0
        {23, 59, 59, 999, float_bits(86400.0f)},     // rounds up to midnight's end
        {0, 0, 0, 1, float_bits(0.001f)},
        {4, 33, 4, 0, float_bits(16384.0f)},
    };
    for (const Case& c : cases) {
        seed_random_source(seconds_since_midnight(c.h, c.m, c.s, c.ms));
        EXPECT_EQ(randomSource.state, c.state) << c.h << ":" << c.m << ":" << c.s << "." << c.ms;
    }
}

TEST_F(RandomSourceTest, NeighbouringMillisecondsShareASeedLateInTheDay) {
    // From 18:12:16 single precision steps by 1/128 s.
    seed_random_source(seconds_since_midnight(20, 0, 0, 1));
    uint32_t a = randomSource.state;
    seed_random_source(seconds_since_midnight(20, 0, 0, 2));
    EXPECT_EQ(randomSource.state, a);
}

TEST_F(RandomSourceTest, TimeOfDayIsWholeMillisecondsWithinTheDay) {
    double t = time_of_day();
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 86400.0);
    double ms = t * 1000.0;
    EXPECT_NEAR(ms, std::nearbyint(ms), 1e-3);
}

// The control word's defined fields (bit 6 is reserved and reads back as 1).
const uint16_t CONTROL_FIELDS = 0x1F3F;

// GetLocalTime as the program calls it: a fixed noon, and what the call finds
// around it.
bool clockRead;
UINT errorModeAtClock;
uint16_t controlWordAtClock;
void WINAPI noon_clock(LPSYSTEMTIME time) {
    clockRead = true;
    errorModeAtClock = GetErrorMode();
    controlWordAtClock = fpu_control_word();
    std::memset(time, 0, sizeof *time);
    time->wYear = 2024;
    time->wMonth = 6;
    time->wDay = 1;
    time->wHour = 12;
}

// The clock is read inside the guarded call: with critical-error boxes
// suppressed and a freshly initialised x87 unit, both given back afterwards.
TEST(TimeOfDay, ReadsTheClockThroughTheGuardedCall) {
    vornelle_test::ScopedImportPatch clock("kernel32.dll", "GetLocalTime", (void*)noon_clock);
    ASSERT_NE(clock.original, nullptr);
    clockRead = false;
    UINT previousMode = SetErrorMode(0);
    uint16_t previousWord = fpu_control_word();
    fpu_set_control_word(FPU_PROCESS_CONTROL_WORD);

    double seconds = time_of_day();
    UINT modeAfter = GetErrorMode();
    uint16_t wordAfter = fpu_control_word();
    fpu_set_control_word(previousWord);
    SetErrorMode(previousMode);

    ASSERT_TRUE(clockRead);
    EXPECT_EQ(seconds, 43200.0);
    EXPECT_EQ(errorModeAtClock, GUARDED_ERROR_MODE);
    EXPECT_EQ(controlWordAtClock & CONTROL_FIELDS, 0x037F & CONTROL_FIELDS) << std::hex
                                                                            << controlWordAtClock;
    EXPECT_EQ(modeAfter, 0u);
    EXPECT_EQ(wordAfter & CONTROL_FIELDS, FPU_PROCESS_CONTROL_WORD & CONTROL_FIELDS);
}

TEST_F(RandomSourceTest, SameSeedSameSequence) {
    seed_random_source(1234.5);
    double first[50];
    for (double& r : first) r = next_random_draw();
    seed_random_source(1234.5);
    for (double r : first) EXPECT_EQ(next_random_draw(), r);
}

TEST_F(RandomSourceTest, DrawsSpanZeroToOneMinusTwoToTheMinus31) {
    // state 0 draws last = 0; the state whose successor is 0xFFFFFFFF draws the
    // largest value. The inverse of the multiplier modulo 2^32 finds it.
    uint32_t inverse = 1;
    for (int i = 0; i < 5; ++i) inverse *= 2u - RANDOM_MULTIPLIER * inverse;
    ASSERT_EQ(RANDOM_MULTIPLIER * inverse, 1u);

    randomSource.state = 0;
    EXPECT_EQ(next_random_draw(), 0.0);
    randomSource.state = (0xFFFFFFFFu - 1u) * inverse;
    double largest = next_random_draw();
    EXPECT_EQ(largest, 1.0 - 1.0 / 2147483648.0);
    EXPECT_LT(largest, 1.0);

    seed_random_source(777.0);
    for (int i = 0; i < 100000; ++i) {
        double r = next_random_draw();
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 1.0 - 1.0 / 2147483648.0);
    }
}

TEST(RoundDown, RoundsTowardMinusInfinity) {
    struct Case { double x, expected; };
    const Case cases[] = {
        {2.5, 2.0}, {-2.5, -3.0}, {3.0, 3.0}, {-3.0, -3.0}, {0.0, 0.0},
        {0.9999999995343387, 0.0}, {-0.25, -1.0}, {61.99999997, 61.0},
        {1e300, 1e300}, {-1e300, -1e300}, {4503599627370497.0, 4503599627370497.0},
    };
    for (const Case& c : cases) EXPECT_EQ(vornelle::round_down(c.x), c.expected) << c.x;
    EXPECT_TRUE(std::isnan(vornelle::round_down(NAN)));
}

// Whatever rounding the caller's x87 unit is set to, round_down gives the same
// results and leaves the control word as it found it.
TEST(RoundDown, LeavesTheControlWordAsItFoundIt) {
    const uint16_t words[] = {
        FPU_PROCESS_CONTROL_WORD,
        0x037F,  // as FNINIT leaves it
        0x027F,  // 53-bit precision, the platform's usual word
        0x077F,  // round down
        0x0B7F,  // round up
        0x0F7F,  // round toward zero
    };
    struct Case { double x, expected; };
    const Case cases[] = {{2.5, 2.0}, {-2.5, -3.0}, {-0.25, -1.0}, {61.99999997, 61.0},
                          {-1e300, -1e300}, {4503599627370497.0, 4503599627370497.0}};
    const int caseCount = sizeof cases / sizeof cases[0];
    uint16_t callerWord = fpu_control_word();
    for (uint16_t word : words) {
        // Collected first: the assertions below must not run with the word set.
        double results[caseCount];
        uint16_t after[caseCount];
        for (int i = 0; i < caseCount; ++i) {
            fpu_set_control_word(word);
            results[i] = vornelle::round_down(cases[i].x);
            after[i] = fpu_control_word();
        }
        fpu_set_control_word(callerWord);
        for (int i = 0; i < caseCount; ++i) {
            EXPECT_EQ(results[i], cases[i].expected) << std::hex << word << std::dec << " "
                                                     << cases[i].x;
            EXPECT_EQ(after[i] & CONTROL_FIELDS, word & CONTROL_FIELDS)
                << std::hex << word << " became " << after[i];
        }
    }
}

}  // namespace
