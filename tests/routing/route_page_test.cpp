// The route page drawn into a recording canvas: the notice without a route,
// the rows it shows (manoeuvres, waypoints, the destination), distances
// only with a position, and scrolling with its clamps and auto-scroll.
#include <gtest/gtest.h>

#include "platform/recording_canvas.h"
#include "routing/route_geometry.h"
#include "routing/route_page.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

RoutePoint Pt(double dLon, double dLat, BYTE btKind, long lAngle = 0, const char16_t* szName = u"") {
    RoutePoint p;
    p.lX = DegreesToSemicircles(dLon);
    p.lY = DegreesToSemicircles(dLat);
    p.btKind = btKind;
    p.lAngle = lAngle;
    p.strName = szName;
    return p;
}

class RoutePageTest : public ::testing::Test {
protected:
    RoutePageTest() {
        m_route.strName = u"R";
        m_route.points = {Pt(9.50, 47.10, rkVia, 0, u"Start"),   Pt(9.50, 47.11, rkRouting),
                          Pt(9.50, 47.12, rkRouting | rkManoeuvre, 90, u"Landstrasse"),
                          Pt(9.51, 47.12, rkRouting),              Pt(9.52, 47.12, rkRouting),
                          Pt(9.53, 47.12, rkVia, 0, u"Vaduz")};
        RoutePageSource src;
        src.fnRoute = [this]() -> const Route* { return m_fActive ? &m_route : nullptr; };
        src.fnNextPoint = [this] { return m_iNext; };
        src.fnPosition = [this](float& lon, float& lat, float& course, bool& fCourse) {
            lon = 9.5f;
            lat = 47.105f;
            course = 0;
            fCourse = true;
            return m_fPosition;
        };
        src.fnAverageSpeed = [] { return 36.0f; };
        src.fnSetScrollBar = [this](int nMax, int nPage, int nPos) { m_scroll = {nMax, nPage, nPos}; };
        src.fnRedraw = [this] { ++m_cRedraws; };
        m_page = std::make_unique<CRoutePage>(src);
        m_page->Init();
    }
    std::vector<std::u16string> Texts() {
        CRecordingCanvas dc(480, 640);
        m_page->OnSize(480, 640);
        m_page->OnPaint(dc);
        std::vector<std::u16string> v;
        for (const CCanvasCall& c : dc.Calls())
            if (c.strOp == "DrawText" || c.strOp == "TextOut") v.push_back(c.strText);
        return v;
    }

    test::ScopedSettings m_settings;
    Route m_route;
    bool m_fActive = true, m_fPosition = true;
    std::uint32_t m_iNext = 1;
    std::array<int, 3> m_scroll{};
    int m_cRedraws = 0;
    std::unique_ptr<CRoutePage> m_page;
};

TEST_F(RoutePageTest, NoRouteShowsTheNotice) {
    m_fActive = false;
    EXPECT_EQ(Texts(), std::vector<std::u16string>{LoadStr(2191)});
}

TEST_F(RoutePageTest, RowsForManoeuvresAndTheDestination) {
    const std::vector<std::u16string> t = Texts();
    // Next point (plain, no row), the manoeuvre, then the destination.
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0], u"Landstrasse");
    EXPECT_EQ(t[3], FormatMessageId(2192, u"Vaduz"));
    EXPECT_EQ(m_scroll[0], 5);
    // Without a position: names, but no distances or times.
    m_fPosition = false;
    const std::vector<std::u16string> t2 = Texts();
    EXPECT_EQ(t2, (std::vector<std::u16string>{u"Landstrasse", FormatMessageId(2192, u"Vaduz")}));
}

TEST_F(RoutePageTest, ScrollClampsAndAutoScroll) {
    Texts();
    // 640 / 64 = 10 rows a page, 6 points: the range is 0 .. 0, not inverted.
    EXPECT_EQ(m_page->PageRows(), 10);
    EXPECT_EQ(m_page->MaxScroll(), 0);
    m_page->OnVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(m_page->ScrollPos(), 0);
    m_page->OnVScroll(SB_BOTTOM, 0);
    EXPECT_EQ(m_page->ScrollPos(), 0);
    // Longer route: scrolling turns auto-scroll off; a double click resumes.
    for (int i = 0; i < 30; ++i) m_route.points.insert(m_route.points.begin() + 1, Pt(9.5, 47.1, rkRouting));
    m_page->OnVScroll(SB_PAGEDOWN, 0);
    EXPECT_EQ(m_page->ScrollPos(), 9);
    EXPECT_FALSE(m_page->AutoScroll());
    m_iNext = 4;
    m_page->OnGpsPosition();
    EXPECT_EQ(m_page->ScrollPos(), 9);
    m_page->OnDblClick(0, 0);
    EXPECT_TRUE(m_page->AutoScroll());
    EXPECT_EQ(m_page->ScrollPos(), 4);
    m_page->OnCommand(c_uCmdAutoScroll);
    EXPECT_FALSE(m_page->AutoScroll());
    // Zoom switches the row size and the setting.
    EXPECT_TRUE(m_page->CanZoomOut());
    m_page->ZoomOut();
    EXPECT_TRUE(m_page->CanZoomIn());
    EXPECT_EQ(m_page->PageRows(), 640 / 48);
}

} // namespace
} // namespace velka
