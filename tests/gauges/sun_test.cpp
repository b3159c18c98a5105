#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "gauges/sun.h"

namespace velka {
namespace {

constexpr float c_fRise = true, c_fSet = false;

// Published sunrise and sunset times (UT, whole minutes) against the
// almanac method, which is good to a minute or two.
TEST(SunRiseSet, PublishedAlmanacValues) {
    // The almanac's own worked example: 25 June 1990, Wayne, New Jersey.
    EXPECT_NEAR(SunRiseSet(1990, 6, 25, -74.3f, 40.9f, c_fRise), 9.441, 1.5 / 3600);
    const struct {
        int y, m, d;
        float lon, lat;
        bool fRising;
        int hour, minute;
    } cases[] = {
        {2021, 6, 21, -0.1278f, 51.5074f, true, 3, 43},    // London, midsummer
        {2021, 6, 21, -0.1278f, 51.5074f, false, 20, 21},
        {2021, 12, 21, -0.1278f, 51.5074f, true, 8, 4},    // London, midwinter
        {2021, 12, 21, -0.1278f, 51.5074f, false, 15, 53},
        {2021, 6, 21, -74.006f, 40.7128f, true, 9, 25},    // New York
        {2021, 6, 21, -74.006f, 40.7128f, false, 0, 31},   // next UT day: wrapped
        {2021, 6, 21, 151.2093f, -33.8688f, true, 21, 0},  // Sydney: previous UT day
        {2021, 6, 21, 151.2093f, -33.8688f, false, 6, 54},
        {2021, 1, 1, 37.6173f, 55.7558f, true, 5, 59},     // Moscow
        {2021, 1, 1, 37.6173f, 55.7558f, false, 13, 7},
    };
    for (const auto& c : cases) {
        const float h = SunRiseSet(c.y, c.m, c.d, c.lon, c.lat, c.fRising);
        const double expected = c.hour + c.minute / 60.0;
        double gap = std::fabs(h - expected);
        if (gap > 12) gap = 24 - gap;
        EXPECT_LT(gap, 2.0 / 60) << c.y << "-" << c.m << "-" << c.d << " " << c.lon << " " << c.lat
                                 << (c.fRising ? " rise " : " set ") << h;
        EXPECT_GE(h, 0);
        EXPECT_LT(h, 24);
    }
}

TEST(SunRiseSet, PolarDayAndNight) {
    // Polar day: no sunset, and no sunrise either.
    EXPECT_EQ(SunRiseSet(2026, 6, 21, 15, 80, c_fSet), c_fNoSunEvent);
    EXPECT_EQ(SunRiseSet(2026, 6, 21, 15, 80, c_fRise), c_fNoSunEvent);
    // Polar night: no sunrise, and no sunset either.
    EXPECT_EQ(SunRiseSet(2026, 12, 21, 15, 80, c_fRise), c_fNoSunEvent);
    EXPECT_EQ(SunRiseSet(2026, 12, 21, 15, 80, c_fSet), c_fNoSunEvent);
    // The south in opposite seasons.
    EXPECT_EQ(SunRiseSet(2026, 12, 21, 0, -80, c_fSet), c_fNoSunEvent);
    EXPECT_EQ(SunRiseSet(2026, 6, 21, 0, -80, c_fRise), c_fNoSunEvent);
    // The poles themselves.
    EXPECT_EQ(SunRiseSet(2026, 6, 21, 0, 90, c_fRise), c_fNoSunEvent);
    // Near the edge of the polar day the sun still sets (Tromso, early May).
    EXPECT_GT(SunRiseSet(2026, 5, 10, 18.96f, 69.65f, c_fSet), c_fNoSunEvent);
}

TEST(SunRiseSet, EquatorAtTheEquinoxAndWrapping) {
    const float rise = SunRiseSet(2026, 3, 20, 0, 0, c_fRise);
    const float set = SunRiseSet(2026, 3, 20, 0, 0, c_fSet);
    EXPECT_NEAR(set - rise, 12.1, 0.1); // refraction and the sun's disc add a few minutes
    EXPECT_NEAR(rise, 6.07, 0.1);
    // Moving the place by 15 degrees moves the times by an hour, wrapping
    // into [0, 24) across the date line.
    for (float lon = -180; lon <= 180; lon += 15) {
        const float h = SunRiseSet(2026, 3, 20, lon, 0, c_fRise);
        ASSERT_GE(h, 0);
        ASSERT_LT(h, 24);
        double expected = std::fmod(rise - lon / 15 + 48, 24.0);
        double gap = std::fabs(h - expected);
        if (gap > 12) gap = 24 - gap;
        EXPECT_LT(gap, 0.02) << lon;
    }
}

TEST(SunRiseSet, Utilities) {
    EXPECT_EQ(DayOfYear(1990, 6, 25), 176);
    EXPECT_EQ(DayOfYear(2023, 1, 1), 1);
    EXPECT_EQ(DayOfYear(2023, 12, 31), 365);
    EXPECT_EQ(DayOfYear(2024, 12, 31), 366);
    EXPECT_EQ(DayOfYear(2024, 3, 1), 61);
    EXPECT_EQ(NormalizeDegrees(-10), 350);
    EXPECT_EQ(NormalizeDegrees(370), 10);
    EXPECT_EQ(NormalizeDegrees(360), 0);
    EXPECT_EQ(NormalizeHours(-1), 23);
    EXPECT_EQ(NormalizeHours(24), 0);
    EXPECT_EQ(NormalizeHours(-30), 18); // beyond a single correction
    EXPECT_EQ(NormalizeHours(53), 5);
}

#ifdef VELKATOOL_PATH
TEST(SunRiseSet, CommandLine) {
    auto run = [](const std::string& args) {
        std::string out;
        FILE* f = popen((std::string(VELKATOOL_PATH) + " " + args).c_str(), "r");
        char buf[128];
        while (f && std::fgets(buf, sizeof buf, f)) out += buf;
        if (f) pclose(f);
        return out;
    };
    const std::string rise = run("sun rise 1990-06-25 40.9,-74.3");
    ASSERT_FALSE(rise.empty());
    EXPECT_NEAR(std::stod(rise), 9.441, 1.5 / 3600);
    EXPECT_EQ(run("sun set 2026-06-21 80,15"), "-100\n");
    // The older LON LAT works for one more release, with a warning.
    EXPECT_EQ(run("sun rise 1990-06-25 -74.3 40.9 2>/dev/null"), rise);
    EXPECT_EQ(run("sun rise 2026-02-30 0 0 2>/dev/null; echo $?"), "2\n");
    EXPECT_EQ(run("sun noon 2026-02-03 0 0 2>/dev/null; echo $?"), "2\n");
}
#endif

} // namespace
} // namespace velka
