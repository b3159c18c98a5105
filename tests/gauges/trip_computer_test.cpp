// The trip computer: distances between moving fixes, the moving and stopped
// times, resets, the extremes, what survives a restart, and the faults it
// must not have (rewound or huge intervals, parked jitter, float totals,
// locale-dependent stored texts).
#include <clocale>
#include <cmath>

#include <gtest/gtest.h>

#include "gauges/gauge.h"
#include "gauges/trip_computer.h"
#include "geometry/geodesy.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

constexpr double c_dSecond = 1.0 / 86400;
constexpr double c_dStart = 45000.5; // an OLE date

// 100 m north is this many degrees of latitude, near 50° N.
constexpr float c_fLat0 = 50.0f, c_fLon0 = 10.0f;

GpsFix Fix(double dSeconds, float fLat, float fLon, float fSpeed) {
    GpsFix f;
    f.SetTime(c_dStart + dSeconds * c_dSecond);
    f.SetPosition(fLon, fLat);
    f.SetSpeed(fSpeed);
    return f;
}

float NorthBy(double dMetres) { return c_fLat0 + static_cast<float>(dMetres / 111200.0); }

class TripComputerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsOpen();
        m_tc = CTripComputer();
        m_tc.Load();
    }
    void TearDown() override { SettingsClose(); }
    void Restart() {
        m_tc = CTripComputer();
        m_tc.Load();
    }
    test::ScopedSettings m_settings;
    CTripComputer m_tc;
};

TEST_F(TripComputerTest, DistanceGrowsBetweenMovingFixesOnly) {
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 10));
    m_tc.Update(Fix(1, NorthBy(100), c_fLon0, 10));
    const double d = Distance(c_fLon0, c_fLat0, c_fLon0, NorthBy(100));
    EXPECT_NEAR(m_tc.Odometer(), d, 1e-6);
    EXPECT_NEAR(m_tc.Trip(0).dOdometer, d, 1e-6);
    EXPECT_NEAR(m_tc.Trip(1).dOdometer, d, 1e-6);
    // 1.5 km/h counts as stopped: nothing added, but the point moves on.
    m_tc.Update(Fix(2, NorthBy(200), c_fLon0, 1.5f));
    EXPECT_NEAR(m_tc.Odometer(), d, 1e-6);
    m_tc.Update(Fix(3, NorthBy(300), c_fLon0, 10));
    EXPECT_NEAR(m_tc.Odometer(), d + Distance(c_fLon0, NorthBy(200), c_fLon0, NorthBy(300)), 1e-6);
    EXPECT_EQ(ReadSettingInt(u"Odometer", -1), static_cast<int>(m_tc.Odometer()));
}

TEST_F(TripComputerTest, GapWithoutPositionBreaksTheChain) {
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 10));
    GpsFix none;
    none.SetTime(c_dStart + c_dSecond);
    none.SetSpeed(10);
    m_tc.Update(none);
    m_tc.Update(Fix(2, NorthBy(100), c_fLon0, 10));
    EXPECT_EQ(m_tc.Odometer(), 0);
}

TEST_F(TripComputerTest, TimesCountIntervalsOfOneStateOnly) {
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 10));
    m_tc.Update(Fix(1, NorthBy(3), c_fLon0, 10));
    m_tc.Update(Fix(2, NorthBy(6), c_fLon0, 0));
    m_tc.Update(Fix(3, NorthBy(6), c_fLon0, 0));
    EXPECT_NEAR(m_tc.Trip(0).dtMoving, c_dSecond, 1e-9);
    EXPECT_NEAR(m_tc.Trip(0).dtStopped, c_dSecond, 1e-9);
    EXPECT_NEAR(m_tc.Trip(0).dtMeasured, 2 * c_dSecond, 1e-9);
    EXPECT_EQ(ReadSettingString(u"TripTimeMeasured", 64, u""), u"0.000023");
}

TEST_F(TripComputerTest, RewoundOrLongIntervalsAddNothing) {
    m_tc.Update(Fix(100, c_fLat0, c_fLon0, 0));
    m_tc.Update(Fix(50, c_fLat0, c_fLon0, 0));        // a replay rewinds
    m_tc.Update(Fix(50 + 3 * 3600, c_fLat0, c_fLon0, 0)); // unplugged for hours
    m_tc.Update(Fix(50 + 3 * 3600 + 1, c_fLat0, c_fLon0, 0));
    EXPECT_NEAR(m_tc.Trip(0).dtStopped * 86400, 1.0, 1e-6);
    // A moving fix after hours away adds no distance across the gap.
    m_tc.Update(Fix(60000, NorthBy(5000), c_fLon0, 50));
    EXPECT_EQ(m_tc.Odometer(), 0);
}

TEST_F(TripComputerTest, ParkedJitterLogsNothing) {
    // A receiver standing still reports a metre or two of scatter, some of
    // it at walking "speeds".
    const float aJitter[] = {0, 0.7f, -0.5f, 1.0f, -1.1f, 0.3f, 0.9f, -0.7f};
    for (int i = 0; i < 200; ++i) {
        const float d = aJitter[i % 8] / 111200.0f;
        m_tc.Update(Fix(i, c_fLat0 + d, c_fLon0 - d, i % 3 == 0 ? 2.5f : 0.8f));
    }
    EXPECT_LT(m_tc.Odometer(), 1.0);
    // Slow real motion is not lost: 1 m per second northwards for 100 s.
    for (int i = 0; i <= 100; ++i) m_tc.Update(Fix(300 + i, NorthBy(i), c_fLon0, 3.6f));
    EXPECT_NEAR(m_tc.Odometer(), 100, 3.5);
}

TEST_F(TripComputerTest, ResetTouchesOneTripOnly) {
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 10));
    m_tc.Update(Fix(1, NorthBy(100), c_fLon0, 10));
    m_tc.ResetTrip(0);
    EXPECT_EQ(m_tc.Trip(0).dOdometer, 0);
    EXPECT_EQ(m_tc.Trip(0).dtMoving, 0);
    EXPECT_GT(m_tc.Trip(1).dOdometer, 99);
    EXPECT_GT(m_tc.Odometer(), 99);
    EXPECT_EQ(ReadSettingInt(u"TripOdometer", -1), 0);
    EXPECT_EQ(ReadSettingString(u"TripTimeMoving", 64, u""), u"0");
    Restart();
    EXPECT_EQ(m_tc.Trip(0).dOdometer, 0);
    EXPECT_GT(m_tc.Trip(1).dOdometer, 99);
}

TEST_F(TripComputerTest, AverageNeedsOneSecond) {
    double d = 0;
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 36));
    m_tc.Update(Fix(0.5, NorthBy(5), c_fLon0, 36));
    EXPECT_FALSE(m_tc.AverageSpeed(0, false, &d));
    m_tc.Update(Fix(10.5, NorthBy(5), c_fLon0, 36)); // 10 s: too long an interval
    m_tc.Update(Fix(11.5, NorthBy(15), c_fLon0, 36));
    ASSERT_TRUE(m_tc.AverageSpeed(0, false, &d));
    EXPECT_NEAR(d, m_tc.Trip(0).dOdometer * 0.001 / (m_tc.Trip(0).dtMoving * 24), 1e-9);
}

TEST_F(TripComputerTest, ExtremesAndTheirResets) {
    GpsFix f = Fix(0, c_fLat0, c_fLon0, 88.84f);
    f.SetAltitude(123.46f);
    f.SetVertSpeed(-2.5f);
    m_tc.Update(f);
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMaxSpeed), 88.8);
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMaxElevation), 123.5);
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMinElevation), 123.5);
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMaxVDescent), 2.5);
    EXPECT_EQ(m_tc.Extreme(teMaxVAscent), 0);
    EXPECT_EQ(ReadSettingString(u"MaxSpeed", 64, u""), u"88.8");
    // A 2D solution carries no usable elevation.
    GpsFix f2 = Fix(1, c_fLat0, c_fLon0, 0);
    f2.SetAltitude(9000);
    f2.SetQuality(2);
    m_tc.Update(f2);
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMaxElevation), 123.5);
    m_tc.ResetExtreme(teMaxElevation);
    EXPECT_EQ(m_tc.Extreme(teMaxElevation), c_dNoMaxElevation);
    EXPECT_EQ(ReadSettingString(u"MaxElevation", 64, u""), u"-1000");
}

TEST_F(TripComputerTest, LargeTotalsKeepMetresAndRestartsKeepTheFraction) {
    // 20 000 km on the clock: a float would round each 10 m step away.
    WriteSettingInt(u"Odometer", 20000000);
    Restart();
    for (int i = 0; i <= 10; ++i) m_tc.Update(Fix(i, NorthBy(10.37 * i), c_fLon0, 37));
    const double dAdded = m_tc.Odometer() - 20000000;
    EXPECT_NEAR(dAdded, Distance(c_fLon0, c_fLat0, c_fLon0, NorthBy(103.7)), 0.01);
    const double dBefore = m_tc.Odometer();
    Restart();
    EXPECT_NEAR(m_tc.Odometer(), dBefore, 0.001);
    // Another writer changing the whole metres wins over the kept fraction.
    WriteSettingInt(u"Odometer", 5);
    Restart();
    EXPECT_EQ(m_tc.Odometer(), 5);
}

TEST_F(TripComputerTest, AQuickRestartContinuesTheChain) {
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 36));
    m_tc.Update(Fix(1, NorthBy(10), c_fLon0, 36));
    Restart();
    m_tc.Update(Fix(2, NorthBy(20), c_fLon0, 36));
    EXPECT_NEAR(m_tc.Odometer(), Distance(c_fLon0, c_fLat0, c_fLon0, NorthBy(20)), 0.01);
    EXPECT_NEAR(m_tc.Trip(0).dtMoving * 86400, 2, 0.1);
}

TEST_F(TripComputerTest, StoredTextsIgnoreTheDesktopLocale) {
    const char* szOld = std::setlocale(LC_NUMERIC, nullptr);
    const std::string strOld = szOld ? szOld : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    WriteSettingString(u"MaxSpeed", u"12.5");
    Restart();
    EXPECT_DOUBLE_EQ(m_tc.Extreme(teMaxSpeed), 12.5);
    m_tc.Update(Fix(0, c_fLat0, c_fLon0, 20.25f));
    EXPECT_EQ(ReadSettingString(u"MaxSpeed", 64, u""), u"20.3");
    std::setlocale(LC_NUMERIC, strOld.c_str());
}

TEST(StoredNumbers, ParseInTheCLocaleAndFallBack) {
    EXPECT_EQ(ParseStoredReal(u"0.000023", 0), 0.000023);
    EXPECT_EQ(ParseStoredReal(u" -1000", 0), -1000);
    EXPECT_EQ(ParseStoredReal(u"abc", 7), 7);
    EXPECT_EQ(ParseStoredReal(u"", 3), 3);
    EXPECT_EQ(ParseStoredReal(u"nan", 3), 3);
}

} // namespace
} // namespace velka
