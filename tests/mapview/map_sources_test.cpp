// What the map view reads from positioning and hands on: the cursor at the
// last GPS position, the point a waypoint saved from the menu lands on, and
// the map statistics the gauges show.
#include <gtest/gtest.h>

#include <memory>

#include "gps/positioning.h"
#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "mapview/map_statistics.h"
#include "mapview/overlays.h"
#include "mapview/waypoint_layer.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

// A map that only has a file name.
class CNamedMap : public CMapParser {
public:
    explicit CNamedMap(const std::u16string& strFile) : CMapParser(CMapCreateInfo{strFile, nullptr, nullptr, 0}) {}
    bool Open(DWORD) override { return true; }
    bool Draw(CPaintContext&, CLabelStore&) override { return false; }
    int GetLabel(unsigned, int, WORD, DWORD, char16_t* p, int* pn) override {
        p[0] = 0;
        *pn = 0;
        return 0;
    }
};

class MapSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPositioningForTest();
        m_ptReference = g_ptReference;
    }
    void TearDown() override {
        ResetPositioningForTest();
        g_ptReference = m_ptReference;
        g_pMapParser = nullptr;
        g_FrameStats.msMap = g_FrameStats.msTrack = g_FrameStats.msWaypoints = g_FrameStats.msRoutes = 0;
        g_FrameStats.cPolygons = g_FrameStats.cPolylines = g_FrameStats.cPoints = 0;
        g_FrameStats.cFrames = 0;
        g_msMapOpen = 0;
    }
    // A fix at the position, then the position with course and speed as a
    // decoder hands them on.
    static void Receive(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed, bool fSpeedValid) {
        GpsFix fix;
        fix.Empty();
        fix.SetPosition(fLon, fLat);
        OnFix(fix);
        UpdateLastPosition(fLon, fLat, fCourse, fCourseValid, fSpeed, fSpeedValid);
    }

    test::ScopedSettings m_settings;
    CMapPoint m_ptReference{};
};

TEST_F(MapSourcesTest, CursorFollowsTheLastPositionAndHidesAnInvalidSpeed) {
    CCursorPosition p;
    EXPECT_FALSE(CursorPositionFromLastFix(p)) << "no position yet";
    EXPECT_FALSE(p.fAvailable);

    Receive(37.625f, 55.75f, 90.0f, true, 30.0f, true);
    ASSERT_TRUE(CursorPositionFromLastFix(p));
    EXPECT_TRUE(p.fAvailable);
    EXPECT_FLOAT_EQ(static_cast<float>(p.dLongitude), 37.625f);
    EXPECT_FLOAT_EQ(static_cast<float>(p.dLatitude), 55.75f);
    EXPECT_FLOAT_EQ(p.fHeading, 90.0f);
    EXPECT_TRUE(p.fHeadingValid);
    EXPECT_FLOAT_EQ(p.fSpeed, 30.0f);

    // A receiver that gives no valid speed or course: the cursor shows no
    // speed, and says the heading is not known.
    Receive(37.75f, 55.5f, 180.0f, false, 50.0f, false);
    CCursorPosition q;
    ASSERT_TRUE(CursorPositionFromLastFix(q));
    EXPECT_FLOAT_EQ(static_cast<float>(q.dLongitude), 37.75f);
    EXPECT_FLOAT_EQ(q.fSpeed, 0.0f);
    EXPECT_FALSE(q.fHeadingValid);
}

TEST_F(MapSourcesTest, NewWaypointGoesToTheGpsPositionOnlyWhileTheViewFollowsIt) {
    g_ptReference = {1000, -2000};
    // Without positioning, or without a position, the view's point.
    EXPECT_EQ(NewWaypointPosition(false), (CMapPoint{1000, -2000}));
    EXPECT_EQ(NewWaypointPosition(true), (CMapPoint{1000, -2000}));

    Receive(45.0f, -30.0f, 0, false, 0, false);
    // 45 degrees are 2^28 map units, -30 degrees -2^30 / 6.
    const CMapPoint ptGps{268435456, -178956971};
    EXPECT_EQ(NewWaypointPosition(true), ptGps);
    EXPECT_EQ(NewWaypointPosition(false), (CMapPoint{1000, -2000})) << "positioning stopped";

    // The view does not follow the GPS: the view's point, though a position is known.
    WriteSettingBool(u"KeepVisible", false);
    EXPECT_EQ(NewWaypointPosition(true), (CMapPoint{1000, -2000}));
}

TEST_F(MapSourcesTest, MapStatisticsForTheGauges) {
    g_FrameStats.msMap = 120;
    g_FrameStats.msTrack = 7;
    g_FrameStats.msWaypoints = 3;
    g_FrameStats.msRoutes = 2;
    g_FrameStats.cPolygons = 10;
    g_FrameStats.cPolylines = 20;
    g_FrameStats.cPoints = 5;
    g_FrameStats.cFrames = 4;
    g_msMapOpen = 250;

    CMapStatistics m = GatherMapStatistics();
    EXPECT_FALSE(m.fMap);
    EXPECT_TRUE(m.strMapFile.empty());
    EXPECT_EQ(m.msOpen, 250u);
    EXPECT_EQ(m.msMap, 120u);
    EXPECT_EQ(m.msTrack, 7u);
    EXPECT_EQ(m.msWaypoints, 3u);
    EXPECT_EQ(m.msRoutes, 2u);
    EXPECT_EQ(m.cObjects, 35u) << "areas, lines and points together";
    EXPECT_EQ(m.cFrames, 4u);
    EXPECT_EQ(m.nLevel, 0) << "no map page";

    // The file name without its folder, whichever separator the path has.
    CNamedMap map(u"/home/user/maps/Москва.zem");
    g_pMapParser = &map;
    m = GatherMapStatistics();
    EXPECT_TRUE(m.fMap);
    EXPECT_EQ(m.strMapFile, u"Москва.zem");
    CNamedMap mapWin(u"C:\\Maps\\Region.img");
    g_pMapParser = &mapWin;
    EXPECT_EQ(GatherMapStatistics().strMapFile, u"Region.img");
    CNamedMap mapBare(u"Bare.zem");
    g_pMapParser = &mapBare;
    EXPECT_EQ(GatherMapStatistics().strMapFile, u"Bare.zem");

    ResetMapRenderings();
    EXPECT_EQ(GatherMapStatistics().cFrames, 0u);
    EXPECT_EQ(GatherMapStatistics().msMap, 120u) << "only the frame count starts again";
}

} // namespace
} // namespace velka
