// The gauge catalogue: the 77 keys in their groups and order, look-up,
// resets through trip gauges, the export text and bytes, the gauge page's
// layouts and hit test, cell drawing, and values that must not crash.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "gauges/gauge.h"
#include "gauges/gauge_export.h"
#include "gauges/gauge_page.h"
#include "gauges/gauge_sources.h"
#include "gauges/trip_computer.h"
#include "gps/positioning.h"
#include "platform/recording_canvas.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

constexpr const char16_t* c_aszOrder[] = {
    u"avespeed_moving", u"avespeed_moving2", u"avespeed_overall", u"avespeed_overall2", u"avespeed_5sec",
    u"odometer", u"tripodometer", u"tripodometer2", u"triptime_measured", u"triptime_measured2",
    u"triptime_moving", u"triptime_moving2", u"triptime_stopped", u"triptime_stopped2", u"maxelev", u"minelev",
    u"maxspeed", u"maxvaccent", u"maxvdecent", u"bearing", u"wpt_next", u"wpt_final", u"distance_cur",
    u"distance_final", u"ete", u"ete_final", u"eta", u"eta_final", u"maneuver", u"pointer", u"route", u"sunrise",
    u"sunset", u"vmg", u"azimuth", u"y", u"x", u"speed", u"time", u"date", u"time_utc", u"date_utc", u"gpsfix",
    u"hdop", u"xyprec", u"satellites", u"magvar", u"vdop", u"elev", u"elevprec", u"geoid", u"glideratio",
    u"incline", u"vspeed", u"area", u"depth", u"temperature", u"clockdrift", u"clockfixups", u"cpu", u"inittime",
    u"memory", u"power", u"protocolerrors", u"dgpsupdateage", u"dgpsstationid", u"mapopeningtime",
    u"maprenderingtime", u"trackrenderingtime", u"waypointrenderingtime", u"routesrenderingtime",
    u"objectsrendered", u"maprenderings", u"mapfile", u"maplevel", u"mapsincache", u"routingtime"};

class GaugeCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsOpen();
        TripComputer() = CTripComputer();
        RegisterGauges();
        ASSERT_NE(Gauges(), nullptr);
    }
    void TearDown() override {
        UnregisterGauges();
        SettingsClose();
    }
    std::u16string Value(const char16_t* szKey) { return GaugeValueText(szKey); }
    test::ScopedSettings m_settings;
};

TEST_F(GaugeCatalogueTest, SeventySevenKeysInRegistrationOrder) {
    const auto& list = Gauges()->Entries();
    ASSERT_EQ(list.size(), std::size(c_aszOrder));
    // The global list walks newest first.
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[list.size() - 1 - i]->strKey, c_aszOrder[i]) << i;
    std::set<std::u16string> keys;
    for (CGaugeEntry* p : list) keys.insert(p->strKey);
    EXPECT_EQ(keys.size(), 77u);
    // trip1 in reverse registration order.
    std::vector<std::u16string> trip1;
    for (CGaugeEntry* p : Gauges()->Group(ggTrip1).vecGauges) trip1.push_back(p->strKey);
    EXPECT_EQ(trip1, (std::vector<std::u16string>{u"triptime_stopped", u"triptime_moving", u"triptime_measured",
                                                  u"tripodometer", u"avespeed_5sec", u"avespeed_overall",
                                                  u"avespeed_moving"}));
    EXPECT_EQ(Gauges()->Find(u"tripodometer2")->strTitle, u"Путь (2)");
    EXPECT_EQ(Gauges()->Find(u"Tripodometer2"), nullptr);
    EXPECT_EQ(Gauges()->Find(static_cast<const char16_t*>(nullptr)), nullptr);
    EXPECT_EQ(Gauges()->Find(u"avespeed_5sec")->strDescription, u"Средняя скорость за последние 5 секунд");
    int cResettable = 0;
    for (CGaugeEntry* p : list) cResettable += p->fResettable;
    EXPECT_EQ(cResettable, 17);
}

TEST_F(GaugeCatalogueTest, StoredTotalsLoadBeforeTheFirstFix) {
    UnregisterGauges();
    WriteSettingInt(u"Odometer", 12345);
    WriteSettingString(u"TripTimeMoving", u"0.5");
    TripComputer() = CTripComputer();
    RegisterGauges();
    EXPECT_EQ(Value(u"odometer"), u"12.35");
    EXPECT_EQ(Value(u"triptime_moving"), u"12:00:00");
    GpsFix f;
    f.SetTime(45000);
    f.SetPosition(10, 50);
    f.SetSpeed(30);
    Gauges()->UpdateAll(f);
    EXPECT_EQ(ReadSettingInt(u"Odometer", 0), 12345);
}

TEST_F(GaugeCatalogueTest, ResetThroughAnyTripGaugeResetsTheTrip) {
    for (const char16_t* sz : {u"tripodometer", u"triptime_moving", u"triptime_measured", u"triptime_stopped"}) {
        WriteSettingInt(u"TripOdometer", 5000);
        UnregisterGauges();
        TripComputer() = CTripComputer();
        RegisterGauges();
        EXPECT_EQ(Value(u"tripodometer"), u"5.00");
        Gauges()->Find(sz)->m_pGauge->Reset();
        EXPECT_EQ(Value(u"tripodometer"), u"0") << ToUtf8(sz);
        EXPECT_EQ(Value(u"avespeed_moving"), u"");
    }
    // The average gauges have nothing to reset.
    Gauges()->Find(u"avespeed_moving")->m_pGauge->Reset();
}

TEST_F(GaugeCatalogueTest, ResetAllAsksFirst) {
    GpsFix f;
    f.SetSpeed(55);
    Gauges()->UpdateAll(f);
    EXPECT_EQ(Value(u"maxspeed"), u"55.0");
    HeadlessUiHost().ScriptAnswers({IDNO});
    EXPECT_FALSE(AskResetAllGauges());
    EXPECT_EQ(Value(u"maxspeed"), u"55.0");
    HeadlessUiHost().ScriptAnswers({IDYES});
    EXPECT_TRUE(AskResetAllGauges());
    EXPECT_EQ(Value(u"maxspeed"), u"0.0");
    EXPECT_EQ(Value(u"maxelev"), u"");
}

TEST_F(GaugeCatalogueTest, FixValuesAndGuards) {
    GpsFix f;
    f.SetCourse(360.0f);
    f.SetSpeed(0);
    f.SetVertSpeed(1.5f);
    f.SetSatellites(-1);
    Gauges()->UpdateAll(f);
    EXPECT_EQ(Value(u"azimuth"), u"0.0°");
    EXPECT_EQ(Value(u"glideratio"), u"0.0");
    EXPECT_EQ(Value(u"incline"), u"");
    EXPECT_EQ(Value(u"satellites"), u"");
    f.SetCourse(-90.0f);
    f.SetVertSpeed(0);
    f.SetSpeed(36);
    Gauges()->UpdateAll(f);
    EXPECT_EQ(Value(u"azimuth"), u"270.0°");
    EXPECT_EQ(Value(u"glideratio"), u"");
    EXPECT_EQ(Value(u"incline"), u"0.0");
    // Not navigating: every navigation gauge shows nothing.
    for (const char16_t* sz : {u"bearing", u"wpt_next", u"distance_cur", u"eta", u"vmg", u"pointer", u"maneuver"})
        EXPECT_EQ(Value(sz), u"") << ToUtf8(sz);
}

TEST_F(GaugeCatalogueTest, PositioningsFixAndItsLossReachTheGauges) {
    ResetPositioningForTest();
    auto Receive = [](float fLon) {
        GpsFix f;
        f.Empty();
        f.SetPosition(fLon, 55.75f);
        f.SetCourse(90.0f);
        f.SetSpeed(36);
        OnFix(f);
    };
    Receive(37.60f);
    EXPECT_EQ(Value(u"azimuth"), u"") << "not passed on yet";
    PassFixToGauges();
    EXPECT_EQ(Value(u"azimuth"), u"90.0°");
    Receive(37.61f);
    PassFixToGauges();
    const double dOdometer = TripComputer().Odometer();
    EXPECT_NEAR(dOdometer, 627, 5) << "0.01 degrees east at 55.75 N";
    // After the loss the next position starts the distance again.
    TellGaugesPositionLost();
    Receive(37.62f);
    PassFixToGauges();
    EXPECT_DOUBLE_EQ(TripComputer().Odometer(), dOdometer);

    // The map's status icon: nothing while positioning is stopped.
    CRecordingCanvas dc(64, 64);
    DrawGpsStatus(dc, 8, 8);
    EXPECT_TRUE(dc.Calls().empty());
    ResetPositioningForTest();
}

class CFakeNavigation : public INavigationSource {
public:
    const NavigationValues& NavValues() const override { return m_values; }
    NavigationValues m_values;
};

TEST_F(GaugeCatalogueTest, NavigationGaugesFollowGuidance) {
    CFakeNavigation nav;
    GaugeSources().pNavigation = &nav;
    nav.m_values.dwDistNextWaypoint = 1500;
    nav.m_values.strFinalName = u"Дом";
    nav.m_values.bearing = 360.0f;
    nav.m_values.eteFinal = 1.5 / 24;
    EXPECT_EQ(Value(u"distance_cur"), u"") << "not navigating";
    nav.m_values.fNavigating = true;
    EXPECT_EQ(Value(u"distance_cur"), u"1.50");
    EXPECT_EQ(Value(u"wpt_final"), u"Дом");
    EXPECT_EQ(Value(u"bearing"), u"0.0°");
    EXPECT_EQ(Value(u"ete_final"), u"1:30:00");
    EXPECT_EQ(Value(u"vmg"), u"");
    GaugeSources().pNavigation = nullptr;
}

TEST_F(GaugeCatalogueTest, ExportListsGroupsInOrderWithPaddedTitles) {
    const std::u16string text = GaugeExportText(*Gauges(), u"08.12.2026 10:00:00");
    EXPECT_EQ(text.rfind(u"08.12.2026 10:00:00\r\n\r\nПутевой компьютер 1\r\n-------------------\r\n"
                         u"Время остановок      0:00:00 \r\n",
                         0),
              0u);
    EXPECT_LT(text.find(u"Путевой компьютер 2\r\n"), text.find(u"Система\r\n"));
    // A title longer than 20 characters is not cut.
    EXPECT_NE(text.find(u"Ср. скорость за 5с.  0.0 км/ч\r\n"), std::u16string::npos);
    test::TempDir dir;
    int nError = 0;
    ASSERT_TRUE(WriteGaugeExport(*Gauges(), dir.File("g.txt"), &nError));
    const std::string bytes = test::ReadFile(dir.File("g.txt"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.substr(bytes.size() - 8), std::string("\r\0\n\0\r\0\n\0", 8));
    EXPECT_FALSE(WriteGaugeExport(*Gauges(), dir.File("missing/g.txt"), &nError));
    SYSTEMTIME st{};
    st.wYear = 2026;
    st.wMonth = 1;
    st.wDay = 2;
    st.wHour = 3;
    st.wMinute = 4;
    st.wSecond = 5;
    EXPECT_EQ(GaugeExportFileName(st), u"2026-01-02_03-04-05.txt");
}

TEST_F(GaugeCatalogueTest, EmptyValueDrawsADashWithoutUnit) {
    CRecordingCanvas dc(200, 100);
    DrawGaugeCell(dc, false, 0, 0, 120, 52, Gauges()->Find(u"maxelev"), 0);
    std::vector<std::u16string> texts;
    for (const auto& call : dc.CallsOf("TextOut")) texts.push_back(call.strText);
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"Макс. высота", u"-"}));
}

TEST(GaugeLayout, GridAndHitTestAtTheEdges) {
    SetScreenMetrics({});
    // 480 x 640 portrait, big cells 120 x 52: 4 columns, 8 rows.
    const CGaugeLayout l = GaugeLayout(480, 640, true);
    EXPECT_EQ(l.cColumns, 4);
    EXPECT_EQ(l.cRows, 8);
    EXPECT_EQ(l.HitTest(0, 0, 480, 640), 0);
    EXPECT_EQ(l.HitTest(479, 639, 480, 640), 31);  // the last cell, not one past it
    EXPECT_EQ(l.HitTest(480, 640, 480, 640), 31);  // outside: clamped
    EXPECT_EQ(l.HitTest(-5, -5, 480, 640), 0);
    EXPECT_EQ(l.HitTest(130, 100, 480, 640), 3);   // column 1, row 1 (rows are 80 high)
    EXPECT_EQ(l.HitTest(250, 100, 480, 640), 17);  // column 2, row 1
    // Narrower than one cell and one pixel wide: one column, no division by zero.
    const CGaugeLayout n = GaugeLayout(50, 20, true);
    EXPECT_EQ(n.cColumns, 1);
    EXPECT_EQ(n.cRows, 1);
    EXPECT_EQ(n.HitTest(0, 0, 1, 1), 0);
    EXPECT_EQ(n.HitTest(49, 19, 50, 20), 0);
    EXPECT_EQ(GaugeLayout(240, 320, false).cColumns, 3);
    // Cells share their frames and stay inside the page.
    const RECT a = l.Cell(0, 0, 480, 640), b = l.Cell(1, 0, 480, 640), z = l.Cell(3, 7, 480, 640);
    EXPECT_EQ(a.right, b.left);
    EXPECT_EQ(z.right, 479);
    EXPECT_EQ(z.bottom, 639);
}

TEST(GaugeLayout, DefaultKeysAreCatalogueKeys) {
    test::ScopedSettings settings;
    SettingsOpen();
    RegisterGauges();
    EXPECT_EQ(std::u16string(DefaultGaugeKey(0, true)), u"speed");
    EXPECT_EQ(std::u16string(DefaultGaugeKey(15, true)), u"bearing");
    EXPECT_EQ(std::u16string(DefaultGaugeKey(16, true)), u"pointer");
    EXPECT_EQ(std::u16string(DefaultGaugeKey(23, true)), u"distance_cur");
    EXPECT_EQ(std::u16string(DefaultGaugeKey(31, false)), u"pointer");
    EXPECT_EQ(std::u16string(DefaultGaugeKey(24, true)), u"");
    for (bool fPortrait : {true, false}) {
        for (int i = 0; i < c_cGauges; ++i) {
            const std::u16string k = DefaultGaugeKey(i, fPortrait);
            if (!k.empty()) {
                EXPECT_NE(Gauges()->Find(k), nullptr) << ToUtf8(k);
            }
        }
    }
    // A stored key that names nothing leaves its cell empty.
    WriteSettingString(u"Gauge_0", u"nosuchgauge");
    CGaugePage page;
    page.OnSize(240, 320);
    page.Init();
    EXPECT_EQ(page.CellGauge(0), nullptr);
    EXPECT_EQ(page.CellGauge(1), Gauges()->Find(u"tripodometer"));
    UnregisterGauges();
    SettingsClose();
}

} // namespace
} // namespace velka
