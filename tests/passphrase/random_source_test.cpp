// The time-seeded generator: seeds from the time of day, the draw sequence from
// known seeds, the range of draws, and floor.
#include "passphrase/random_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace vornelle;

namespace {

struct RandomSourceTest : ::testing::Test {
    void SetUp() override { randomSource.state = randomSource.last = RANDOM_UNSEEDED; }
};

uint32_t float_bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

TEST_F(RandomSourceTest, MidnightSeedGivesTheKnownFirstDraws) {
    seed(seconds_since_midnight(0, 0, 0, 0));
    EXPECT_EQ(randomSource.state, 0u);
    const uint32_t states[] = {1u, 134775814u, 3698175007u};
    const uint32_t lasts[] = {0u, 67387907u, 1849087503u};
    for (int i = 0; i < 3; ++i) {
        double r = next();
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
        seed(seconds_since_midnight(c.h, c.m, c.s, c.ms));
        EXPECT_EQ(randomSource.state, c.state) << c.h << ":" << c.m << ":" << c.s << "." << c.ms;
    }
}

TEST_F(RandomSourceTest, NeighbouringMillisecondsShareASeedLateInTheDay) {
    // From 18:12:16 single precision steps by 1/128 s.
    seed(seconds_since_midnight(20, 0, 0, 1));
    uint32_t a = randomSource.state;
    seed(seconds_since_midnight(20, 0, 0, 2));
    EXPECT_EQ(randomSource.state, a);
}

TEST_F(RandomSourceTest, TimeOfDayIsWholeMillisecondsWithinTheDay) {
    double t = time_of_day();
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 86400.0);
    double ms = t * 1000.0;
    EXPECT_NEAR(ms, std::nearbyint(ms), 1e-3);
}

TEST_F(RandomSourceTest, SameSeedSameSequence) {
    seed(1234.5);
    double first[50];
    for (double& r : first) r = next();
    seed(1234.5);
    for (double r : first) EXPECT_EQ(next(), r);
}

TEST_F(RandomSourceTest, DrawsSpanZeroToOneMinusTwoToTheMinus31) {
    // state 0 draws last = 0; the state whose successor is 0xFFFFFFFF draws the
    // largest value. The inverse of the multiplier modulo 2^32 finds it.
    uint32_t inverse = 1;
    for (int i = 0; i < 5; ++i) inverse *= 2u - RANDOM_MULTIPLIER * inverse;
    ASSERT_EQ(RANDOM_MULTIPLIER * inverse, 1u);

    randomSource.state = 0;
    EXPECT_EQ(next(), 0.0);
    randomSource.state = (0xFFFFFFFFu - 1u) * inverse;
    double largest = next();
    EXPECT_EQ(largest, 1.0 - 1.0 / 2147483648.0);
    EXPECT_LT(largest, 1.0);

    seed(777.0);
    for (int i = 0; i < 100000; ++i) {
        double r = next();
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 1.0 - 1.0 / 2147483648.0);
    }
}

TEST(Floor, RoundsTowardMinusInfinity) {
    struct Case { double x, expected; };
    const Case cases[] = {
        {2.5, 2.0}, {-2.5, -3.0}, {3.0, 3.0}, {-3.0, -3.0}, {0.0, 0.0},
        {0.9999999995343387, 0.0}, {-0.25, -1.0}, {61.99999997, 61.0},
        {1e300, 1e300}, {-1e300, -1e300}, {4503599627370497.0, 4503599627370497.0},
    };
    for (const Case& c : cases) EXPECT_EQ(vornelle::floor(c.x), c.expected) << c.x;
    EXPECT_TRUE(std::isnan(vornelle::floor(NAN)));
}

}  // namespace
