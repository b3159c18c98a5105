// The waypoint list's columns, sort order and kept state, and reading back
// what the user types in the edit dialog.
#include <gtest/gtest.h>

#include <cmath>

#include "gauges/units.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"
#include "tracks/semicircles.h"
#include "waypoints/waypoint_list.h"

namespace velka {
namespace {

std::u16string U(const char* s) { return FromUtf8(s); }

class WaypointList : public ::testing::Test {
protected:
    void SetUp() override { g_UnitOptions = UnitOptions{}; }
    void TearDown() override { g_UnitOptions = UnitOptions{}; }
    std::optional<double> Lat(const char* s) { return ParseCoordinate(U(s), true); }
    std::optional<double> Lon(const char* s) { return ParseCoordinate(U(s), false); }
};

TEST_F(WaypointList, CoordinatesInEveryWrittenForm) {
    EXPECT_NEAR(*Lat("-33.5"), -33.5, 1e-9);
    EXPECT_NEAR(*Lat("+33.5"), 33.5, 1e-9);
    EXPECT_NEAR(*Lat("55,75"), 55.75, 1e-9);
    EXPECT_NEAR(*Lat(" N55.75000°"), 55.75, 1e-9);
    EXPECT_NEAR(*Lat("S33°30.000'"), -33.5, 1e-9);
    EXPECT_NEAR(*Lat("s33 30"), -33.5, 1e-9);
    EXPECT_NEAR(*Lat("33 30 0 S"), -33.5, 1e-9);
    EXPECT_NEAR(*Lat("33°30'00.0\"S"), -33.5, 1e-9);
    EXPECT_NEAR(*Lat("33:30:36"), 33.51, 1e-9);
    EXPECT_NEAR(*Lat("Ю10°30'"), -10.5, 1e-9);
    EXPECT_NEAR(*Lon("W0°30.000'"), -0.5, 1e-9);
    EXPECT_NEAR(*Lon("37 37 12 E"), 37.62, 1e-9);
    EXPECT_NEAR(*Lon("з37,5"), -37.5, 1e-9);
    EXPECT_NEAR(*Lon("-180"), -180.0, 1e-9);
    EXPECT_NEAR(*Lat("90"), 90.0, 1e-9);
}

TEST_F(WaypointList, CoordinatesThatAreRefused) {
    for (const char* s : {"", " ", "abc", "N", "90.0001", "-91", "N-5", "-N5", "-5S", "N5S", "55.5 30", "55 60",
                          "55 30 60", "55 30 1 2", "55°°30", "55'30", "55 30° ", "55x", "5.5.5", "1e3", "E37"})
        EXPECT_FALSE(Lat(s)) << s;
    EXPECT_FALSE(Lon("180.5"));
    EXPECT_FALSE(Lon("N37")); // a latitude's letter
}

TEST_F(WaypointList, FieldTextsReadBackInEachPositionFormat) {
    const LONG lY = DegreesToSemicircles(-33.123456), lX = DegreesToSemicircles(151.654321);
    const double adTolerance[] = {1e-5, 1e-5, 1e-5 / 0.6, 0.05 / 3600};
    for (int f = pfSignedDegrees; f <= pfDegreesMinutesSeconds; ++f) {
        g_UnitOptions.nPositionFormat = f;
        const auto lat = ParseCoordinate(LatitudeText(lY), true);
        const auto lon = ParseCoordinate(LongitudeText(lX), false);
        ASSERT_TRUE(lat && lon) << f << " " << ToUtf8(LatitudeText(lY));
        EXPECT_NEAR(*lat, -33.123456, adTolerance[f]) << f;
        EXPECT_NEAR(*lon, 151.654321, adTolerance[f]) << f;
    }
}

TEST_F(WaypointList, ValuesInTheUsersUnits) {
    EXPECT_EQ(WaypointValueText(wvAltitude, 12.0f), u"12");
    EXPECT_EQ(WaypointValueText(wvAltitude, -3.46f), u"-3.5");
    EXPECT_EQ(WaypointValueText(wvDepth, -0.01f), u"0");
    EXPECT_EQ(*ParseWaypointValue(wvAltitude, u" 1,5 "), 1.5f);
    EXPECT_FALSE(ParseWaypointValue(wvAltitude, u"12m"));
    EXPECT_FALSE(ParseWaypointValue(wvAltitude, u"1e6"));
    EXPECT_FALSE(ParseWaypointValue(wvAltitude, u"200000"));
    EXPECT_FALSE(ParseWaypointValue(wvProximity, u"-1"));
    EXPECT_FALSE(ParseWaypointValue(wvTemperature, u"-300"));
    EXPECT_EQ(*ParseWaypointValue(wvTemperature, u"-40"), -40.0f);
    EXPECT_EQ(WaypointValueUnit(wvAltitude), U("м"));

    g_UnitOptions.nElevationUnit = unFeet;
    EXPECT_EQ(WaypointValueUnit(wvDepth), U("фт"));
    EXPECT_EQ(WaypointValueText(wvAltitude, 100.0f), u"328.1");
    EXPECT_NEAR(*ParseWaypointValue(wvAltitude, u"328.084"), 100.0f, 1e-3);
    // Proximity follows the distance unit: metres, or feet for miles.
    EXPECT_EQ(WaypointValueUnit(wvProximity), U("м"));
    g_UnitOptions.nDistanceUnit = duStatute;
    EXPECT_EQ(WaypointValueUnit(wvProximity), U("фт"));
    EXPECT_NEAR(*ParseWaypointValue(wvProximity, u"3280.84"), 1000.0f, 1e-2);
    EXPECT_EQ(WaypointValueUnit(wvTemperature), U("°C"));
}

Waypoint Make(const char* szName, LONG lY, double dTime, std::optional<float> altitude) {
    Waypoint wp;
    wp.strName = FromUtf8(szName);
    wp.lY = lY;
    wp.dTime = dTime;
    if (altitude)
        wp.fAltitude = *altitude;
    else
        wp.dwFlags |= wfNoAltitude;
    return wp;
}

TEST_F(WaypointList, CellTextsAndSortOrder) {
    Waypoint a = Make("ёж", 100, 45000.5, 12.4f);
    Waypoint b = Make("Еда", -100, 0, std::nullopt);
    Waypoint c = Make("Ясень", 100, 44000, -5.0f);
    c.lX = -1;
    EXPECT_EQ(WaypointCellText(a, wcAltitude), U("12 м"));
    EXPECT_EQ(WaypointCellText(b, wcAltitude), u"");
    EXPECT_EQ(WaypointCellText(b, wcTime), u"");
    EXPECT_EQ(WaypointCellText(a, wcSymbol), U("Путевая точка"));
    g_UnitOptions.nPositionFormat = pfSignedDegrees;
    EXPECT_EQ(WaypointCellText(b, wcPosition), u"-0.00001 0.00000");
    // Local time of the OLE date.
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(UtcOleToLocal(45000.5), &st));
    EXPECT_EQ(WaypointCellText(a, wcTime),
              FormatW(u"%04d-%02d-%02d %02d:%02d:00", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute));

    // ё sorts with е and case is ignored.
    EXPECT_LT(CompareWaypoints(b, a, wcName), 0);
    EXPECT_LT(CompareWaypoints(a, c, wcName), 0);
    EXPECT_LT(CompareWaypoints(b, c, wcAltitude), 0); // no altitude first
    EXPECT_LT(CompareWaypoints(c, a, wcAltitude), 0);
    EXPECT_LT(CompareWaypoints(b, a, wcPosition), 0); // latitude first
    EXPECT_LT(CompareWaypoints(c, a, wcPosition), 0); // then longitude
    EXPECT_EQ(CompareWaypoints(a, a, wcTime), 0);

    std::vector<Waypoint*> v = {&a, &b, &c};
    SortWaypoints(v, -1, false);
    EXPECT_EQ(v, (std::vector<Waypoint*>{&a, &b, &c}));
    SortWaypoints(v, wcTime, true);
    EXPECT_EQ(v, (std::vector<Waypoint*>{&a, &c, &b}));
    // Equal keys keep their order (stable) in both directions.
    Waypoint d = a;
    v = {&d, &c, &a};
    SortWaypoints(v, wcSymbol, true);
    EXPECT_EQ(v, (std::vector<Waypoint*>{&d, &c, &a}));
}

TEST_F(WaypointList, LiveWaypointsInListOrder) {
    CWaypointStore store;
    Waypoint* p1 = store.CreateWaypoint(0, 0, 0, std::nullopt, nullptr);
    Waypoint* p2 = store.CreateWaypoint(0, 0, 0, std::nullopt, nullptr);
    Waypoint* p3 = store.CreateWaypoint(0, 0, 0, std::nullopt, nullptr);
    store.DeleteWaypoint(p2);
    EXPECT_EQ(LiveWaypoints(store), (std::vector<Waypoint*>{p3, p1}));
}

TEST_F(WaypointList, ColumnStateText) {
    ListColumnState state{{2, 0, 1, 3, 4, 5}, {80, 0, 150, 60, 100, 120}};
    const std::u16string text = FormatListState(state);
    EXPECT_EQ(text, u"6 2 0 1 3 4 5 80 0 150 60 100 120 ");
    const auto back = ParseListState(text, 6);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->order, state.order);
    EXPECT_EQ(back->widths, state.widths);

    for (const char16_t* bad : {u"", u"5 0 1 2 3 4 1 1 1 1 1 ", u"6 0 0 1 2 3 4 1 1 1 1 1 1 ",
                                u"6 0 1 2 3 4 6 1 1 1 1 1 1 ", u"6 0 1 2 3 4 5 1 1 1 1 1 -1 ",
                                u"6 0 1 2 3 4 5 1 1 1 1 1 10001 ", u"6 0 1 2 3 4 5 1 1 1 1 1 ",
                                u"6 0 1 2 3 4 5 1 1 1 1 1 1 7 ", u"6 0 1 2 3 4 5 1 1 1 1 1 x",
                                u"6 0 1 2 3 4 5 1 1 1 1 1 99999999999999999999 "})
        EXPECT_FALSE(ParseListState(bad, 6)) << ToUtf8(bad);

    // Writing stops when the text is full: whole numbers only, and such a
    // cut state is not taken back.
    ListColumnState wide;
    for (int i = 0; i < 40; ++i) {
        wide.order.push_back(i);
        wide.widths.push_back(1000 + i);
    }
    const std::u16string cut = FormatListState(wide);
    EXPECT_LE(cut.size(), c_cchListState - 1);
    EXPECT_GT(cut.size(), c_cchListState - 7);
    EXPECT_EQ(cut.back(), u' ');
    EXPECT_FALSE(ParseListState(cut, 40));
}

TEST_F(WaypointList, SortAndHeadersKeptInTheSettings) {
    test::ScopedSettings settings;
    EXPECT_EQ(ReadWaypointListSort().iColumn, -1);
    EXPECT_FALSE(ReadWaypointListHeaders());
    WriteWaypointListSort({wcTime, true});
    EXPECT_EQ(ReadSettingInt(u"Waypoints_SortCol", 0), wcTime);
    EXPECT_EQ(ReadSettingInt(u"Waypoints_SortOrder", 0), 1);
    const WaypointListSort sort = ReadWaypointListSort();
    EXPECT_EQ(sort.iColumn, wcTime);
    EXPECT_TRUE(sort.fDescending);
    WriteSettingInt(u"Waypoints_SortCol", 6);
    EXPECT_EQ(ReadWaypointListSort().iColumn, -1);

    WriteWaypointListHeaders({{5, 4, 3, 2, 1, 0}, {1, 2, 3, 4, 5, 6}});
    EXPECT_EQ(ReadSettingString(u"Waypoints_Headers", 256, u""), u"6 5 4 3 2 1 0 1 2 3 4 5 6 ");
    EXPECT_EQ(ReadWaypointListHeaders()->order[0], 5);
}

} // namespace
} // namespace velka
