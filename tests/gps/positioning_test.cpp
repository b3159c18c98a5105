// Positioning: the current fix and what a moved fix sets off, the last
// position, the speed history, the epoch and clock corrections, status and
// indicator notifications, the port settings and the demo replay.
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gps/gps_log.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

struct HookLog {
    std::mutex mutex;
    std::vector<GpsFix> trackFixes;
    std::vector<std::pair<float, float>> screenPoints;
    int cNewTracks = 0, cBreaks = 0, cNoData = 0;
    std::vector<int> prompts;
};
HookLog* g_pHooks = nullptr;

void HookTrackAdd(const GpsFix& f) {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    g_pHooks->trackFixes.push_back(f);
}
void HookTrackNew() {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    ++g_pHooks->cNewTracks;
}
void HookScreenAdd(float x, float y) {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    g_pHooks->screenPoints.emplace_back(x, y);
}
void HookScreenBreak() {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    ++g_pHooks->cBreaks;
}
void HookNoData() {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    ++g_pHooks->cNoData;
}
void HookPrompt(int n) {
    std::lock_guard<std::mutex> l(g_pHooks->mutex);
    g_pHooks->prompts.push_back(n);
}

class PositioningTest : public ::testing::Test {
protected:
    PositioningTest() {
        g_pHooks = &hooks;
        CPositioningHooks& h = PositioningHooks();
        h.pfnTrackAddFix = HookTrackAdd;
        h.pfnTrackStartNew = HookTrackNew;
        h.pfnScreenTrackAddPoint = HookScreenAdd;
        h.pfnScreenTrackBreak = HookScreenBreak;
        h.pfnGaugesNoData = HookNoData;
        h.pfnQueueGpsPrompt = HookPrompt;
        ResetPositioningForTest();
        ClearPending();
        HeadlessUiHost().TakePosted();
    }
    ~PositioningTest() override {
        ResetPositioningForTest();
        PositioningHooks() = CPositioningHooks{};
        SetDemoTrackPath("");
        ClearPending();
        g_pHooks = nullptr;
    }
    static void ClearPending() {
        for (UINT u = WM_GPS_STATUS; u <= WM_GPS_INDICATOR; ++u) ClearNotificationPending(u);
    }
    static int Posted(UINT uMsg, const std::vector<PostedMessage>& v) {
        int c = 0;
        for (const PostedMessage& m : v) c += m.uMsg == uMsg;
        return c;
    }
    static GpsFix At(float fLon, float fLat) {
        GpsFix f;
        f.Empty();
        f.SetPosition(fLon, fLat);
        return f;
    }

    test::ScopedSettings settings;
    HookLog hooks;
};

TEST_F(PositioningTest, WhenAFixCountsAsMoved) {
    GpsFix a = At(37.6f, 55.75f);
    a.SetHorzError(5);
    OnFix(a);
    ASSERT_EQ(hooks.trackFixes.size(), 1u) << "the first position after none is recorded";

    // 1 m due north with a 5 m error: inside the tolerance.
    GpsFix b = At(37.6f, 55.75f + 1.0f / 111000.0f);
    b.SetHorzError(5);
    OnFix(b);
    EXPECT_EQ(hooks.trackFixes.size(), 1u);

    // Due east, latitude unchanged, no error given: moved (either axis counts).
    OnFix(At(37.601f, b.fLatitude));
    EXPECT_EQ(hooks.trackFixes.size(), 2u);
    // Due north by 100 m with a 5 m error: moved.
    GpsFix c = At(37.601f, b.fLatitude + 100.0f / 111000.0f);
    c.SetHorzError(5);
    OnFix(c);
    EXPECT_EQ(hooks.trackFixes.size(), 3u);
    // Standing still: not moved.
    OnFix(c);
    EXPECT_EQ(hooks.trackFixes.size(), 3u);
    ASSERT_EQ(hooks.screenPoints.size(), 3u);
    EXPECT_FLOAT_EQ(hooks.screenPoints.back().second, c.fLatitude);
    EXPECT_FLOAT_EQ(GetCurrentFix().fLatitude, c.fLatitude);
}

TEST_F(PositioningTest, LosingAndRegainingThePosition) {
    test::TempDir dir;
    SetGpsLogPath(dir.File("gps_log.txt"));
    WriteSettingBool(u"LogCOMPorts", true);
    OnFix(At(10, 50));
    EXPECT_EQ(hooks.cNewTracks, 1);
    EXPECT_EQ(hooks.cBreaks, 1);
    GpsFix none;
    none.Empty();
    OnFix(none);
    OnFix(At(10.01f, 50));
    EXPECT_EQ(hooks.prompts, (std::vector<int>{3, 1, 3}));
    EXPECT_EQ(hooks.cNewTracks, 2);
    EXPECT_EQ(hooks.trackFixes.size(), 2u);
    std::string log = test::ReadFile(dir.File("gps_log.txt"));
    std::u16string text(reinterpret_cast<const char16_t*>(log.data() + 2), (log.size() - 2) / 2);
    EXPECT_NE(text.find(u"New track started due to position was lost in previous fix."), std::u16string::npos);
    WriteSettingBool(u"LogCOMPorts", false);
    SetGpsLogPath("");
}

TEST_F(PositioningTest, ImpossibleFixesAreNeverRecorded) {
    // From any decoder: a position off the globe is no position, an absurd
    // speed no speed; neither reaches the track, the screen or the map.
    OnFix(At(493.0f, 48.1f));
    OnFix(At(11.5f, 99.98f));
    OnFix(At(11.5f, std::nanf("")));
    EXPECT_TRUE(hooks.trackFixes.empty());
    EXPECT_TRUE(hooks.screenPoints.empty());
    EXPECT_FALSE(GetCurrentFix().Has(gfPosition));
    GpsFix f = At(11.5f, 48.1f);
    f.SetSpeed(40000.0f);
    OnFix(f);
    ASSERT_EQ(hooks.trackFixes.size(), 1u);
    EXPECT_FALSE(GetCurrentFix().Has(gfSpeed));
    EXPECT_FALSE(hooks.trackFixes[0].Has(gfSpeed));

    UpdateLastPosition(37.6f, 55.75f, 0, false, 10, true);
    UpdateLastPosition(493.0f, 55.75f, 0, false, 10, true);
    float fLon = 0, fLat = 0, fCourse = 0;
    GetLastPosition(&fLon, &fLat, &fCourse);
    EXPECT_FLOAT_EQ(fLon, 37.6f);
}

TEST_F(PositioningTest, GeoidHeightOfTheLocation) {
    GpsFix f = At(37, 55);
    f.SetAltitude(150);
    OnFix(f);
    GpsFix cur = GetCurrentFix();
    ASSERT_TRUE(cur.Has(gfGeoidHeight));
    EXPECT_NEAR(cur.fGeoidHeight, 16, 1) << "the grid gives 16 m at 55 N, 37 E";
    EXPECT_FLOAT_EQ(cur.fAltitude, 150);
    WriteSettingBool(u"GPSElevationIsOverEllipsoid", true);
    OnFix(f);
    EXPECT_NEAR(GetCurrentFix().fAltitude, 134, 1);
    GpsFix none;
    none.Empty();
    OnFix(none);
    EXPECT_FALSE(GetCurrentFix().Has(gfGeoidHeight)) << "no place, no geoid";
}

TEST_F(PositioningTest, AltitudeOverTheEllipsoid) {
    GpsFix f = At(37, 55);
    f.SetAltitude(150);
    f.SetGeoidHeight(16);
    OnFix(f);
    EXPECT_FLOAT_EQ(GetCurrentFix().fAltitude, 150);
    WriteSettingBool(u"GPSElevationIsOverEllipsoid", true);
    OnFix(f);
    EXPECT_FLOAT_EQ(GetCurrentFix().fAltitude, 134);
    EXPECT_EQ(hooks.trackFixes.size(), 1u);
    EXPECT_FLOAT_EQ(hooks.trackFixes[0].fAltitude, 150) << "track recording gets the fix as delivered";
}

TEST_F(PositioningTest, SpeedHistoryAverages) {
    EXPECT_EQ(GetLongAverageSpeed(), 0);
    EXPECT_EQ(GetShortAverageSpeed(), 0);
    auto Speed = [](float v) {
        GpsFix f;
        f.Empty();
        f.SetSpeed(v);
        OnFix(f);
    };
    Speed(1.9f); // too slow to count
    EXPECT_EQ(GetLongAverageSpeed(), 0);
    for (int i = 1; i <= 3; ++i) Speed(10.0f * i);
    EXPECT_FLOAT_EQ(GetLongAverageSpeed(), 20);
    EXPECT_FLOAT_EQ(GetShortAverageSpeed(), 20);
    for (int i = 4; i <= 10; ++i) Speed(10.0f * i);
    EXPECT_FLOAT_EQ(GetShortAverageSpeed(), 80); // 60..100
    EXPECT_FLOAT_EQ(GetLongAverageSpeed(), 55);
    // Past 100 entries the ring wraps; the short average wraps with it.
    for (int i = 0; i < 98; ++i) Speed(2);
    Speed(7);
    Speed(9);
    EXPECT_FLOAT_EQ(GetShortAverageSpeed(), (2 + 2 + 2 + 7 + 9) / 5.0f);
    EXPECT_FLOAT_EQ(GetLongAverageSpeed(), (98 * 2 + 7 + 9) / 100.0f) << "the last 100 entries";
}

TEST_F(PositioningTest, LastPositionCourseAndMapUnits) {
    UpdateLastPosition(90, 45, -10, true, 1.5f, true);
    auto posted = HeadlessUiHost().TakePosted();
    EXPECT_EQ(Posted(WM_GPS_POSITION, posted), 1);
    ClearPending();
    float lon, lat, course, speed;
    bool fCourse, fSpeed;
    GpsFix fix = At(90, 45);
    OnFix(fix);
    EXPECT_TRUE(GetLastPosition(&lon, &lat, &course, &speed, &fCourse, &fSpeed));
    EXPECT_EQ(lon, 90);
    EXPECT_EQ(course, 0) << "course kept below 2 km/h";
    EXPECT_FLOAT_EQ(speed, 1.5f);
    int lX, lY;
    GetLastPositionMapUnits(&lX, &lY);
    EXPECT_EQ(lX, 1 << 29);
    EXPECT_EQ(lY, 1 << 28);
    // Same place, slow: nothing changed, nothing posted.
    HeadlessUiHost().TakePosted();
    UpdateLastPosition(90, 45, 20, true, 1.0f, true);
    EXPECT_EQ(Posted(WM_GPS_POSITION, HeadlessUiHost().TakePosted()), 0);
    // Fast: the course (negative brought into range) is stored.
    UpdateLastPosition(90, 45, -10, true, 30, true);
    GetLastPosition(&lon, &lat, &course);
    EXPECT_FLOAT_EQ(course, 350);
    EXPECT_EQ(Posted(WM_GPS_POSITION, HeadlessUiHost().TakePosted()), 1);
    // Without "KeepVisible" the map-unit copy stays.
    ClearPending();
    WriteSettingBool(u"KeepVisible", false);
    UpdateLastPosition(-90, -45, 0, false, 0, false);
    GetLastPositionMapUnits(&lX, &lY);
    EXPECT_EQ(lX, 1 << 29);
}

TEST_F(PositioningTest, GpsEpoch) {
    double t1980 = 29226.5, t1999 = 29226.5 + 7168;
    // The old rule with an explicit epoch: 1980-01-06 reported for
    // 1999-08-22 (the first rollover) is moved forward by 1024 weeks.
    WriteSettingInt(u"GPSEpoch", 1);
    EXPECT_DOUBLE_EQ(FixupGPSEpoch(t1980), t1999);
    EXPECT_DOUBLE_EQ(FixupGPSEpoch(t1999), t1999);
    WriteSettingInt(u"GPSEpoch", 2);
    EXPECT_DOUBLE_EQ(FixupGPSEpoch(t1999), t1999 + 7168);
    // The default: a correct time of today is left alone, a time one or two
    // rollovers early is moved into the 1024 weeks around the build date.
    DeleteSetting(u"GPSEpoch");
    double now = NowUtcOle();
    EXPECT_DOUBLE_EQ(FixupGPSEpoch(now), now);
    EXPECT_NEAR(FixupGPSEpoch(now - 7168), now, 1e-9);
    EXPECT_NEAR(FixupGPSEpoch(now - 2 * 7168), now, 1e-9);
    double t = FixupGPSEpoch(t1980);
    EXPECT_GE(t, EpochPivot());
    EXPECT_LT(t, EpochPivot() + 7168);
    EXPECT_LE(EpochPivot(), now) << "a correct time is never moved";
    WriteSettingBool(u"FixupGPSEpoch", false);
    EXPECT_DOUBLE_EQ(FixupGPSEpoch(t1980), t1980);
}

TEST_F(PositioningTest, ClockCorrection) {
    DWORD dwTick = 500000;
    SetTickSourceForTest([&] { return dwTick; });
    {
        test::ScopedClockSetter setter(true);
        // 1499 ms: below the default threshold; the offset is kept.
        FixupClock(NowUtcOle() - 1499.0 / 86400000.0);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 0);
        EXPECT_NEAR(static_cast<double>(GetClockOffset()), 1499, 50);
        // 5 s: corrected, the offset becomes 0.
        FixupClock(NowUtcOle() - 5.0 / 86400);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 1);
        EXPECT_EQ(GetClockOffset(), 0);
        EXPECT_EQ(GetClockCorrectionCount(), 1u);
        // Within 10 s of the last correction: measured only.
        dwTick += 10000;
        FixupClock(NowUtcOle() + 5.0 / 86400);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 1);
        EXPECT_NEAR(static_cast<double>(GetClockOffset()), -5000, 50);
        dwTick += 1;
        FixupClock(NowUtcOle() + 5.0 / 86400);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 2);
        // Switched off: never corrected.
        dwTick += 20000;
        WriteSettingBool(u"FixupClock", false);
        FixupClock(NowUtcOle() + 5.0 / 86400);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 2);
        WriteSettingBool(u"FixupClock", true);
    }
    {
        // Setting the clock fails (no privilege): the offset is kept.
        test::ScopedClockSetter setter(false);
        dwTick += 20000;
        FixupClock(NowUtcOle() - 60.0 / 86400);
        EXPECT_EQ(test::ScopedClockSetter::Calls(), 1);
        EXPECT_NEAR(static_cast<double>(GetClockOffset()), 60000, 50);
        EXPECT_EQ(GetClockCorrectionCount(), 2u);
    }
    SetTickSourceForTest({});
}

TEST_F(PositioningTest, ClockIsSetToTheGpsTime) {
    static SYSTEMTIME s_st;
    bool (*pfnOld)(const SYSTEMTIME&) = g_pfnSetSystemClock;
    g_pfnSetSystemClock = [](const SYSTEMTIME& st) {
        s_st = st;
        return true;
    };
    SYSTEMTIME st;
    st.wYear = 2026, st.wMonth = 3, st.wDay = 4, st.wHour = 5, st.wMinute = 6, st.wSecond = 7;
    double t = 0;
    SystemTimeToVariantTime(st, &t);
    FixupClock(t + 0.25 / 86400);
    g_pfnSetSystemClock = pfnOld;
    EXPECT_EQ(s_st.wYear, 2026);
    EXPECT_EQ(s_st.wDay, 4);
    EXPECT_EQ(s_st.wSecond, 7);
    EXPECT_EQ(s_st.wMilliseconds, 250);
}

TEST_F(PositioningTest, StatusIndicatorAndSatellites) {
    SetGpsStatus(2116, u"NMEA-0183");
    SetGpsStatus(2117);
    EXPECT_EQ(GetGpsStatusText(), LoadStr(2117));
    EXPECT_EQ(GetGpsStatusText(), u"Не обнаружено данных.");
    auto posted = HeadlessUiHost().TakePosted();
    EXPECT_EQ(Posted(WM_GPS_STATUS, posted), 1) << "one message while one is pending";
    ClearPending();
    SetGpsStatus(2116, u"NMEA-0183");
    EXPECT_EQ(GetGpsStatusText(), u"Поиск данных - NMEA-0183...");
    char16_t buf[8];
    GetGpsStatusText(buf, 8);
    EXPECT_EQ(std::u16string(buf), u"Поиск д");

    HeadlessUiHost().TakePosted();
    SetGpsIndicator(0);
    SetGpsIndicator(0);
    EXPECT_EQ(Posted(WM_GPS_INDICATOR, HeadlessUiHost().TakePosted()), 1);
    EXPECT_EQ(GetGpsIndicator(), 0);
    GpsFix f = At(1, 1);
    f.SetSatellites(7);
    ClearPending();
    OnFix(f);
    EXPECT_EQ(GetGpsIndicator(), 7);

    ResetSatelliteTable(2);
    GpsSatellite s;
    for (int i = 1; i <= 3; ++i) {
        s.nPRN = i;
        AddSatellite(s);
    }
    SatelliteTableCompleted();
    EXPECT_EQ(GetSatelliteCount(), 2);
    EXPECT_EQ(GetSatellite(1).nPRN, 2);
    EXPECT_EQ(GetSatellite(2).nPRN, 0) << "beyond the table: a zero record";
    EXPECT_EQ(Posted(WM_GPS_DATA, HeadlessUiHost().TakePosted()), 1);
    ResetSatelliteTable(1 << 30);
    EXPECT_LE(GetSatelliteCount(), 1024) << "a capacity from the wire is bounded";
}

TEST_F(PositioningTest, PortSettings) {
    EXPECT_EQ(ReadSettingInt(u"Enable_COM5", -7), -7);
    EXPECT_TRUE(IsPortEnabled(5));
    EXPECT_EQ(ReadSettingInt(u"Enable_COM5", -7), 1) << "written on first read";
    SetPortEnabled(5, false);
    EXPECT_FALSE(IsPortEnabled(5));
    WriteSettingInt(u"Enable_COM6", 2);
    EXPECT_TRUE(IsPortEnabled(6));
}

// An (empty) demo file in the folder, made the one positioning looks for.
std::string PlaceDemoFile(const test::TempDir& dir) {
    std::string path = dir.File("Demo.gdb");
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) std::fclose(f);
    SetDemoTrackPath(path);
    return path;
}

// A replayed track of three points.
class CTrackDouble : public IGpsTrackSource {
public:
    bool NextPoint(GpsFix& fix) override {
        if (m_i >= 3) return false;
        fix.SetPosition(10.0f + 0.001f * static_cast<float>(m_i), 50);
        fix.SetSpeed(36);
        fix.SetCourse(90);
        ++m_i;
        ++s_cPoints;
        return true;
    }
    void Rewind() override {
        m_i = 0;
        ++s_cRewinds;
    }
    int m_i = 0;
    static std::atomic<int> s_cPoints, s_cRewinds;
};
std::atomic<int> CTrackDouble::s_cPoints{0};
std::atomic<int> CTrackDouble::s_cRewinds{0};

TEST_F(PositioningTest, SimulationReplaysTheDemoTrack) {
    test::TempDir dir;
    std::string path = PlaceDemoFile(dir);
    static std::string s_strOpened;
    PositioningHooks().pfnOpenDemoTrack = [](const std::string& p) -> std::unique_ptr<IGpsTrackSource> {
        s_strOpened = p;
        return std::make_unique<CTrackDouble>();
    };
    for (int i = 0; i < c_cMaxComPort; ++i) SetPortEnabled(i, false);
    SetSimulationInterval(10);
    CTrackDouble::s_cPoints = 0;
    CTrackDouble::s_cRewinds = 0;
    StartPositioning();
    EXPECT_TRUE(IsPositioningRunning());
    for (int i = 0; i < 300 && CTrackDouble::s_cRewinds < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    GpsFix cur = GetCurrentFix();
    StopPositioning();
    SetSimulationInterval(1000);
    EXPECT_EQ(s_strOpened, path);
    EXPECT_GE(CTrackDouble::s_cRewinds.load(), 2);
    EXPECT_GE(CTrackDouble::s_cPoints.load(), 6);
    EXPECT_EQ(GetGpsStatusText(), LoadStr(2115));
    // Each pass records its points; the end of the track is a fix without
    // position (quality 0), so every pass starts a new track.
    std::lock_guard<std::mutex> l(hooks.mutex);
    ASSERT_GE(hooks.trackFixes.size(), 6u);
    EXPECT_EQ(hooks.trackFixes[0].nQuality, 11);
    EXPECT_GE(hooks.cNewTracks, 2);
    EXPECT_TRUE(cur.Has(gfQuality));
    float lon, lat, course;
    GetLastPosition(&lon, &lat, &course);
    EXPECT_FLOAT_EQ(course, 90);
}

// A process that exits while the simulation runs (the display lost, say)
// ends with its own exit code, not an abort on the running thread.
TEST_F(PositioningTest, ExitWhileTheSimulationRunsEndsCleanly) {
    test::TempDir dir;
    PlaceDemoFile(dir);
    PositioningHooks().pfnOpenDemoTrack = [](const std::string&) -> std::unique_ptr<IGpsTrackSource> {
        return std::make_unique<CTrackDouble>();
    };
    for (int i = 0; i < c_cMaxComPort; ++i) SetPortEnabled(i, false);
    EXPECT_EXIT(
        {
            // A short interval keeps the worker busy through the whole exit.
            SetSimulationInterval(1);
            StartPositioning();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::exit(3);
        },
        testing::ExitedWithCode(3), "");
}

TEST_F(PositioningTest, SimulationWithoutAReadableTrackEndsAtOnce) {
    test::TempDir dir;
    std::string path = PlaceDemoFile(dir);
    PositioningHooks().pfnOpenDemoTrack = [](const std::string&) -> std::unique_ptr<IGpsTrackSource> { return nullptr; };
    StartPositioning();
    for (int i = 0; i < 100 && GetGpsStatusText() != LoadStr(2043); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(GetGpsStatusText(), LoadStr(2043));
    auto t0 = std::chrono::steady_clock::now();
    StopPositioning();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_TRUE(hooks.trackFixes.empty());
}

} // namespace
} // namespace velka
