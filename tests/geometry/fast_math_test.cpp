#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "geometry/fast_math.h"
#include "platform/debug.h"

namespace velka {
namespace {

TEST(FastMath, FloorOfFloatsAndDoubles) {
    const struct {
        double v;
        int floor;
    } cases[] = {{0, 0},      {0.000001, 0}, {0.1, 0},   {0.4, 0},    {0.5, 0},   {0.6, 0},
                 {0.75, 0},   {0.76, 0},     {0.9, 0},   {1, 1},      {1.1, 1},   {1.9, 1},
                 {3, 3},      {3.5, 3},      {4, 4},     {-1, -1},    {-0.000001, -1},
                 {-0.1, -1},  {-0.4, -1},    {-0.5, -1}, {-0.6, -1},  {-0.75, -1},
                 {-0.76, -1}, {-1.1, -2},    {-1.9, -2}, {-3, -3},    {-3.5, -4}, {-4, -4}};
    for (const auto& c : cases) {
        EXPECT_EQ(fast_floor(static_cast<float>(c.v)), c.floor) << c.v;
        EXPECT_EQ(fast_floor_d(c.v), c.floor) << c.v;
    }
    EXPECT_EQ(fast_floor(-0.0f), 0);
    EXPECT_EQ(fast_floor_d(-0.0), 0);
    // Whole range of the result: large magnitudes, exact powers, the limits.
    EXPECT_EQ(fast_floor(16777216.0f), 16777216);
    EXPECT_EQ(fast_floor(-16777216.0f), -16777216);
    EXPECT_EQ(fast_floor(1073741824.0f), 1073741824);
    EXPECT_EQ(fast_floor(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(fast_floor_d(2147483647.0), INT32_MAX);
    EXPECT_EQ(fast_floor_d(2147483646.5), 2147483646);
    EXPECT_EQ(fast_floor_d(-2147483648.0), INT32_MIN);
    EXPECT_EQ(fast_floor_d(-2147483647.5), INT32_MIN);
    EXPECT_EQ(fast_floor_d(-1e-300), -1);
    EXPECT_EQ(fast_floor_d(1e300), INT32_MAX); // saturates instead of wrapping
    EXPECT_EQ(fast_floor(std::nanf("")), 0);

    std::mt19937 rng(11);
    std::uniform_real_distribution<double> dist(-3e9, 3e9);
    for (int i = 0; i < 200000; ++i) {
        double d = dist(rng) / std::pow(10.0, i % 10);
        const double fl = std::floor(d);
        if (fl < INT32_MIN || fl > INT32_MAX) continue;
        ASSERT_EQ(fast_floor_d(d), static_cast<std::int32_t>(fl)) << d;
        const float f = static_cast<float>(d);
        ASSERT_EQ(fast_floor(f), static_cast<std::int32_t>(std::floor(static_cast<double>(f)))) << f;
    }
}

TEST(FastMath, IntegerSquareRootAndBitLength) {
    const std::uint32_t roots[][2] = {{0, 0},  {3, 1},   {4, 2},    {24, 4},
                                      {25, 5}, {99, 9}, {100, 10}, {4294967295u, 65535}};
    for (const auto& r : roots) EXPECT_EQ(fast_sqrt(r[0]), r[1]) << r[0];
    for (std::uint32_t k = 1; k < 65536; k += 7) { // both sides of every square
        EXPECT_EQ(fast_sqrt(k * k), k);
        EXPECT_EQ(fast_sqrt(k * k - 1), k - 1);
    }
    const std::uint32_t bits[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {16777215, 24},
                                     {16777216, 25}, {0x80000000u, 32}, {0xFFFFFFFFu, 32}};
    for (const auto& b : bits) EXPECT_EQ(fast_log2(b[0]), static_cast<int>(b[1])) << b[0];
}

TEST(FastMath, TablesHoldTheirFormulas) {
    for (int i = 0; i <= c_cSinSize; ++i)
        EXPECT_EQ(g_SinTable[i], static_cast<float>(std::sin(i * 3.14159265358979323846 / 180))) << i;
    for (int i = 0; i <= c_cAtanSize; ++i)
        EXPECT_EQ(g_AtanTable[i], static_cast<float>(std::atan(i / 100.0))) << i;
    EXPECT_FLOAT_EQ(g_AtanTable[100], c_PI / 4);
    EXPECT_EQ(c_PI, 3.1415927f);
}

TEST(FastMath, SineAndCosineWithinTheirBound) {
    const unsigned before = AssertionCount();
    for (float f = -2 * c_PI; f <= 2 * c_PI; f += 0.0007f) {
        ASSERT_LT(std::fabs(fast_sin(f) - std::sin(f)), 0.01f) << f;
        ASSERT_LT(std::fabs(fast_cos(f) - std::cos(f)), 0.01f) << f;
    }
    EXPECT_EQ(fast_sin(0), 0.0f);
    EXPECT_EQ(fast_cos(0), 1.0f);
    EXPECT_EQ(fast_sin(c_PI / 2), 1.0f);
    EXPECT_EQ(fast_sin(-c_PI / 2), -1.0f);
    EXPECT_EQ(fast_cos(c_PI), -1.0f);
    EXPECT_EQ(fast_sin(c_PI / 6), g_SinTable[30]);
    EXPECT_EQ(fast_cos(c_PI / 3), g_SinTable[30]);
    EXPECT_EQ(AssertionCount(), before);
    // Outside +-2 pi the library answers, after an assertion.
    EXPECT_EQ(fast_sin(7.0f), std::sin(7.0f));
    EXPECT_EQ(fast_cos(-7.0f), std::cos(-7.0f));
    EXPECT_EQ(AssertionCount(), before + 2);
}

TEST(FastMath, ArcTangentFoldsIntoTheRightHalfPlane) {
    EXPECT_EQ(fast_atan(0, -5), 0.0f); // not pi
    EXPECT_EQ(fast_atan(0, 0), 0.0f);
    EXPECT_EQ(fast_atan(5, 0), c_PI / 2);
    EXPECT_EQ(fast_atan(-5, 0), -c_PI / 2);
    EXPECT_EQ(fast_atan(-3, -3), fast_atan(3, 3));
    EXPECT_FLOAT_EQ(fast_atan(3, 3), c_PI / 4);
    EXPECT_FLOAT_EQ(fast_atan(1, -1), -c_PI / 4);
    EXPECT_NO_FATAL_FAILURE(fast_atan(INT32_MIN, INT32_MIN));
    EXPECT_FLOAT_EQ(fast_atan(INT32_MIN, INT32_MIN), c_PI / 4);

    std::mt19937 rng(5);
    std::uniform_int_distribution<std::int32_t> dist(-100000, 100000);
    for (int i = 0; i < 100000; ++i) {
        std::int32_t y = dist(rng), x = dist(rng);
        if (x == 0) continue;
        const double fy = x < 0 ? -y : y, fx = x < 0 ? -x : x;
        ASSERT_LT(std::fabs(fast_atan(y, x) - std::atan2(fy, fx)), 0.005) << y << "," << x;
    }
}

} // namespace
} // namespace velka
