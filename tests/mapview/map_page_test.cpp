#include <gtest/gtest.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "geometry/point_algorithms.h"
#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "platform/clock.h"
#include "platform/qt/qt_canvas.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"
#include "tools/commands.h"
#include "tools/render.h"

namespace velka {
namespace {


// A map that draws a water stripe at x 100..139 of the screen, slowly
// enough that every object passes a message pump.
class CSlowMap : public CMapParser {
public:
    explicit CSlowMap(int cSteps) : CMapParser(CMapCreateInfo{u"slow", nullptr, nullptr, 0}), m_cSteps(cSteps) {
        m_rcBounds = {-1000000, -1000000, 1000000, 1000000};
    }
    bool Open(DWORD) override { return true; }
    bool Draw(CPaintContext& pc, CLabelStore&) override {
        ++m_cDraws;
        for (int i = 0; i < m_cSteps; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(21));
            if (pc.PumpMessages()) return true;
        }
        const POINT pts[4] = {{100, 0}, {140, 0}, {140, 600}, {100, 600}};
        pc.DrawPolygon(0x3C, pts, 4);
        return false;
    }
    int GetLabel(unsigned, int, WORD, DWORD, char16_t* p, int* pn) override {
        p[0] = 0;
        *pn = 0;
        return 0;
    }
    int m_cDraws = 0;

private:
    int m_cSteps;
};

class MapPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SetScreenMetrics({});
        WriteSettingBool(u"ShowMapGauges", false);
        m_page = std::make_unique<CMapPage>();
        m_page->SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
        m_page->SetClientSize(400, 300);
        m_page->Init();
        m_page->Position().SetScale(10);
    }
    void TearDown() override {
        MapLayers().fnPumpMessages = nullptr;
        MapLayers().fnCurrentPosition = nullptr;
        if (g_pMapParser == m_pMap.get()) g_pMapParser = nullptr;
        m_page.reset();
    }
    void UseSlowMap(int cSteps) {
        m_pMap = std::make_unique<CSlowMap>(cSteps);
        g_pMapParser = m_pMap.get();
    }
    test::ScopedSettings m_settings;
    std::unique_ptr<CMapPage> m_page;
    std::unique_ptr<CSlowMap> m_pMap;
};

TEST_F(MapPageTest, ThreeQuickZoomsGiveOneFrameAtTheFinalScale) {
    UseSlowMap(4);
    int cPumps = 0;
    MapLayers().fnPumpMessages = [&] {
        // Three zoom commands arrive while the frame draws.
        if (cPumps++ < 3) m_page->ZoomIn();
    };
    const unsigned cBefore = m_page->FinishedFrames();
    m_page->RefreshMap(true);
    EXPECT_EQ(m_page->FinishedFrames(), cBefore + 1);
    EXPECT_EQ(m_page->FinishedScale(), 7u);
    EXPECT_EQ(m_pMap->m_cDraws, 4); // three abandoned frames
    EXPECT_FALSE(m_page->IsRendering());
    // An unchanged view draws nothing.
    m_page->RefreshMap(false);
    EXPECT_EQ(m_page->FinishedFrames(), cBefore + 1);
}

TEST_F(MapPageTest, CourseUpTurnsTheViewWithEachFix) {
    WriteSettingBool(u"RotateMap", true);
    m_page->Position().SetAngle(200); // kept from an earlier drive
    CCursorPosition fix;
    fix.fAvailable = true;
    fix.dLongitude = UnitsToDegrees(m_page->Position().CenterX());
    fix.dLatitude = UnitsToDegrees(m_page->Position().CenterY());
    fix.fHeadingValid = true;
    fix.fSpeed = 40;
    fix.fHeading = 0;
    MapLayers().fnCurrentPosition = [&](CCursorPosition& p) {
        p = fix;
        return true;
    };
    // The first fix turns the view to its course, even to 0 degrees.
    m_page->OnGpsPosition();
    EXPECT_EQ(m_page->Position().Angle(), 0);
    EXPECT_EQ(m_page->FinishedAngle(), 0);
    // A fix arriving while a frame is drawn restarts it at the new course.
    UseSlowMap(3);
    int cPumps = 0;
    MapLayers().fnPumpMessages = [&] {
        if (cPumps++ == 0) {
            fix.fHeading = 93.4f;
            m_page->OnGpsPosition();
        }
    };
    fix.fHeading = 45;
    const unsigned cBefore = m_page->FinishedFrames();
    m_page->OnGpsPosition();
    EXPECT_EQ(m_page->FinishedFrames(), cBefore + 1);
    EXPECT_EQ(m_page->FinishedAngle(), 93);
    EXPECT_EQ(m_page->Position().Angle(), 93);
    // Back to north-up: the next fix straightens the view.
    MapLayers().fnPumpMessages = nullptr;
    WriteSettingBool(u"RotateMap", false);
    m_page->OnGpsPosition();
    EXPECT_EQ(m_page->FinishedAngle(), 0);
    MapLayers().fnCurrentPosition = nullptr;
}

TEST_F(MapPageTest, AStopRequestEndsTheFrameWithoutCopying) {
    UseSlowMap(4);
    MapLayers().fnPumpMessages = [&] { m_page->StopRendering(); };
    m_page->RefreshMap(true);
    EXPECT_EQ(m_page->FinishedFrames(), 0u);
    EXPECT_EQ(m_page->FinishedFrame(), nullptr);
    EXPECT_FALSE(m_page->IsRendering());
}

TEST_F(MapPageTest, MapHandedOverDuringAFrameOpensAfterIt) {
    // A second start hands over a missing map while a frame of the open
    // one is drawn (its message pump runs the hand-over): the open map must
    // outlive the frame, which still runs in its code.
    const auto img = test::CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    ASSERT_TRUE(m_page->LoadMap(FromUtf8(img.string()), false));
    const CMapParser* pOpen = g_pMapParser;
    int cPumps = 0;
    bool fKeptDuringFrame = true;
    MapLayers().fnPumpMessages = [&] {
        if (cPumps++ == 0) {
            m_page->LoadMap(u"/nonexistent/map.zem", false);
            fKeptDuringFrame = g_pMapParser == pOpen;
        }
    };
    HeadlessUiHost().ClearBoxes();
    // A frame of a fast map can end before its first pump is due: let the
    // clock run 25 ms a reading so that the frame pumps.
    DWORD dwTick = 0;
    SetTickSourceForTest([&] { return dwTick += 25; });
    m_page->RefreshMap(true);
    SetTickSourceForTest({});
    ASSERT_GT(cPumps, 0) << "the frame pumps messages";
    EXPECT_TRUE(fKeptDuringFrame) << "the map was closed under its own frame";
    EXPECT_EQ(g_pMapParser, nullptr) << "opened (and failed) once the frame ended";
    EXPECT_FALSE(m_page->IsRendering());
    EXPECT_FALSE(HeadlessUiHost().Boxes().empty()) << "the missing map is reported";
    HeadlessUiHost().ClearBoxes();
}

TEST_F(MapPageTest, DraggingShowsTheOldFrameMovedAtOnce) {
    UseSlowMap(0);
    m_page->RefreshMap(true);
    const auto* pFrame = dynamic_cast<const CQtCanvas*>(m_page->FinishedFrame());
    ASSERT_NE(pFrame, nullptr);
    const COLORREF crWater = MapStyles().PolygonBrush(0x3C).crColor;
    EXPECT_EQ(pFrame->GetPixel(120, 150), crWater);
    m_page->OnDown(200, 150);
    m_page->OnMove(210, 150);
    CQtCanvas out(400, 300);
    m_page->OnPaint(out);
    // The stripe moved 10 pixels right before any new frame.
    EXPECT_EQ(m_page->FinishedFrames(), 1u);
    EXPECT_EQ(out.GetPixel(145, 150), crWater);
    EXPECT_NE(out.GetPixel(105, 150), crWater);
    m_page->OnUp(210, 150);
    EXPECT_EQ(m_page->FinishedFrames(), 2u);
}

TEST_F(MapPageTest, ZoomingStretchesTheOldFrame) {
    UseSlowMap(0);
    m_page->RefreshMap(true);
    m_page->Position().SetScale(9); // twice... nearly: 300 m to 500 m bars
    CQtCanvas out(400, 300);
    m_page->OnPaint(out);
    const COLORREF crWater = MapStyles().PolygonBrush(0x3C).crColor;
    // The stripe 60..100 pixels left of the anchor is now about 5/3 as far.
    EXPECT_EQ(out.GetPixel(200 - 80 * 5 / 3, 150), crWater);
    EXPECT_NE(out.GetPixel(120, 150), crWater);
}

TEST_F(MapPageTest, ResizingRecreatesTheBitmapsAndForcesAFrame) {
    UseSlowMap(0);
    m_page->RefreshMap(true);
    m_page->OnSize(500, 320);
    EXPECT_EQ(m_page->FinishedFrames(), 2u);
    const ICanvas* pFrame = m_page->FinishedFrame();
    ASSERT_NE(pFrame, nullptr);
    EXPECT_EQ(pFrame->Width(), 500);
}

TEST_F(MapPageTest, GaugePanelCells) {
    WriteSettingBool(u"ShowMapGauges", true);
    m_page->SetClientSize(640, 400);
    EXPECT_EQ(m_page->GaugeCells().size(), 8u); // 400 / 33 = 12, at most 8
    EXPECT_EQ(m_page->MapArea().right, 560);
    m_page->SetClientSize(240, 320);
    const auto cells = m_page->GaugeCells();
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[1].left, 239 / 3);
    EXPECT_EQ(m_page->MapArea().bottom, 320 - 33);
    m_page->OnCommand(40023);
    EXPECT_FALSE(ReadSettingBool(u"ShowMapGauges", true));
    EXPECT_TRUE(m_page->GaugeCells().empty());
}

TEST_F(MapPageTest, OpeningAFileThatIsNotAMapLeavesNoMap) {
    test::TempDir dir;
    const std::string strPath = dir.File("not-a-map.zem");
    std::ofstream(strPath) << "this is text, not a map";
    WriteSettingString(u"MapFileName", u"old.zem");
    HeadlessUiHost().ClearBoxes();
    EXPECT_FALSE(m_page->LoadMap(FromUtf8(strPath), false));
    EXPECT_EQ(g_pMapParser, nullptr);
    EXPECT_EQ(ReadSettingString(u"MapFileName", 260, u"x"), u"");
    ASSERT_FALSE(HeadlessUiHost().Boxes().empty());
    // The frame still draws: background and overlays only.
    m_page->RefreshMap(true);
    EXPECT_EQ(m_page->FinishedFrames(), 1u);
}

TEST_F(MapPageTest, MessagesDrawIntoTheRunningFrame) {
    UseSlowMap(2);
    MapLayers().fnPumpMessages = [&] { m_page->DrawMessageText(u"Не удается прочитать данные"); };
    HeadlessUiHost().ClearBoxes();
    m_page->RefreshMap(true);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    const auto* pFrame = dynamic_cast<const CQtCanvas*>(m_page->FinishedFrame());
    ASSERT_NE(pFrame, nullptr);
    int cRed = 0;
    for (int y = 40; y < 70; ++y)
        for (int x = 0; x < 400; ++x) {
            const COLORREF c = pFrame->GetPixel(x, y);
            if (GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90) ++cRed;
        }
    EXPECT_GT(cRed, 20);
    // Without a frame the text goes to a box.
    m_page->DrawMessageText(u"x");
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 1u);
}

// ---------------------------------------------------------------- overlays

class OverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SetScreenMetrics({});
        m_pos.SetScale(10);
        m_pos.SetScreen(200, 200, {0, 0, 200, 200}, false);
    }
    void TearDown() override { SetScreenMetrics({}); }
    static int Span(const CQtCanvas& dc, int y, COLORREF cr) {
        int first = -1, last = -1;
        for (int x = 0; x < dc.Width(); ++x)
            if (dc.GetPixel(x, y) == cr) {
                if (first < 0) first = x;
                last = x;
            }
        return first < 0 ? 0 : last - first + 1;
    }
    CMapPosition m_pos;
};

TEST_F(OverlayTest, ScaleBarIsFortyPixelsTimesTheFactor) {
    CQtCanvas dc(200, 100);
    DrawScaleBar(dc, 10, 80, m_pos, 0);
    EXPECT_EQ(Span(dc, 80, RGB(0, 0, 0)), 41);
    SetScreenMetrics({0, 0, 192, 192});
    CQtCanvas big(200, 100);
    DrawScaleBar(big, 10, 80, m_pos, 0);
    EXPECT_GE(Span(big, 80, RGB(0, 0, 0)), 81);
    EXPECT_LE(Span(big, 80, RGB(0, 0, 0)), 82);
}

TEST_F(OverlayTest, CompassNeedlePointsToMapNorth) {
    CQtCanvas dc(100, 100);
    DrawCompass(dc, 50, 50, 15, 5, 0);
    EXPECT_EQ(dc.GetPixel(50, 40), RGB(0, 0, 255));
    EXPECT_EQ(dc.GetPixel(50, 60), RGB(255, 0, 0));
    // The map turned by 90 degrees: the needle turns against it.
    CQtCanvas turned(100, 100);
    DrawCompass(turned, 50, 50, 15, 5, -90);
    EXPECT_EQ(turned.GetPixel(40, 50), RGB(0, 0, 255));
    EXPECT_EQ(turned.GetPixel(60, 50), RGB(255, 0, 0));
}

TEST_F(OverlayTest, PositionCursor) {
    CCursorPosition p;
    p.fAvailable = true;
    p.dLatitude = UnitsToDegrees(m_pos.CenterY());
    p.dLongitude = UnitsToDegrees(m_pos.CenterX());
    p.fHeadingValid = true;
    p.fHeading = 90;
    p.fSpeed = 30;
    CQtCanvas right(200, 200);
    DrawPositionCursor(right, m_pos, p, false);
    EXPECT_EQ(right.GetPixel(100 + 7, 100), RGB(0, 0, 0)); // tip to the east
    EXPECT_NE(right.GetPixel(100, 100 - 7), RGB(0, 0, 0));
    EXPECT_NE(right.GetPixel(100 - 7, 100), RGB(0, 0, 0)); // an arrow, not a disc
    // The view turned course-up: the course points up.
    m_pos.SetAngle(90);
    CQtCanvas up(200, 200);
    DrawPositionCursor(up, m_pos, p, false);
    EXPECT_EQ(up.GetPixel(100, 100 - 7), RGB(0, 0, 0));
    EXPECT_NE(up.GetPixel(100 + 7, 100), RGB(0, 0, 0));
    // The course 45 degrees right of the view's: up and to the right.
    p.fHeading = 135;
    CQtCanvas turned(200, 200);
    DrawPositionCursor(turned, m_pos, p, false);
    EXPECT_EQ(turned.GetPixel(100 + 5, 100 - 5), RGB(0, 0, 0));
    EXPECT_NE(turned.GetPixel(100 - 5, 100 - 5), RGB(0, 0, 0));
    m_pos.SetAngle(0);
    // At night the arrow is bright on the dark ground.
    p.fHeading = 0;
    CQtCanvas night(200, 200);
    CBrushDesc dark;
    dark.crColor = RGB(28, 31, 38);
    night.FillRect({0, 0, 200, 200}, dark);
    DrawPositionCursor(night, m_pos, p, true);
    EXPECT_EQ(night.GetPixel(100, 100 - 7), c_crNightCursor);
    EXPECT_EQ(night.GetPixel(100, 100 + 20), RGB(28, 31, 38));
    // Too slow for a direction: a circle.
    p.fSpeed = 1.5f;
    CQtCanvas slow(200, 200);
    DrawPositionCursor(slow, m_pos, p, false);
    EXPECT_EQ(slow.GetPixel(100 - 4, 100), RGB(0, 0, 0));
    EXPECT_EQ(slow.GetPixel(100 + 4, 100), RGB(0, 0, 0));
    EXPECT_EQ(slow.GetPixel(100, 100), RGB(255, 255, 255));
}

TEST_F(OverlayTest, SelectionBalloonButtons) {
    CObjectSelection sel;
    sel.Fill({{m_pos.Center(), piFuel, u"Fuel", 0, nullptr}, {m_pos.Center(), piBank, u"Bank", 0, nullptr}});
    CQtCanvas dc(200, 200);
    sel.Draw(dc, m_pos, {0, 0, 200, 200});
    // Find the next button by scanning the balloon.
    int xNext = -1, yNext = -1;
    for (int y = 0; y < 200 && xNext < 0; ++y)
        for (int x = 0; x < 200; ++x)
            if (sel.HitTest(x, y) == CObjectSelection::btNext) {
                xNext = x + 2;
                yNext = y + 2;
                break;
            }
    ASSERT_GE(xNext, 0);
    EXPECT_FALSE(sel.ShowPrevious());
    EXPECT_TRUE(sel.ShowNext());
    EXPECT_EQ(sel.Shown()->strText, u"Bank");
    EXPECT_FALSE(sel.ShowNext()); // not beyond the end
    // An item scrolled out of the map area is not drawn but stays listed.
    m_pos.PanByPixels(500, 0);
    sel.Draw(dc, m_pos, {0, 0, 200, 200});
    EXPECT_EQ(sel.HitTest(xNext, yNext), CObjectSelection::btNone);
    EXPECT_EQ(sel.Count(), 2u);
}

// ---------------------------------------------------------------- real maps

std::filesystem::path Tool() { return std::filesystem::path(VELKA_BINARY_DIR) / "bin" / "velkatool"; }

bool RunShell(const std::string& strCommand) { return std::system(strCommand.c_str()) == 0; }

int CountPixels(const QImage& img, const QRect& rc, const std::function<bool(QColor)>& pred) {
    int n = 0;
    for (int y = std::max(0, rc.top()); y <= std::min(img.height() - 1, rc.bottom()); ++y)
        for (int x = std::max(0, rc.left()); x <= std::min(img.width() - 1, rc.right()); ++x)
            if (pred(img.pixelColor(x, y))) ++n;
    return n;
}

bool Near(QColor c, int r, int g, int b, int tol = 6) {
    return std::abs(c.red() - r) <= tol && std::abs(c.green() - g) <= tol && std::abs(c.blue() - b) <= tol;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { test::QtApp(); }
};

TEST_F(RenderTest, DemoMapDayAndNight) {
    const std::filesystem::path demo = std::filesystem::path(VELKA_BINARY_DIR) / "bin" / "demo" / "demo.zem";
    if (!std::filesystem::exists(demo)) GTEST_SKIP() << "demo map not built: " << demo;
    tool::RenderOptions o;
    o.strMap = demo.string();
    o.fCenter = true;
    o.dLat = 55.0036;
    o.dLon = 37.0063;
    o.uScale = 6;
    o.cx = 640;
    o.cy = 480;
    QImage day, night;
    ASSERT_EQ(tool::RenderMapToImage(o, day), 0);
    o.fNight = true;
    ASSERT_EQ(tool::RenderMapToImage(o, night), 0);
    const QRect all(0, 0, 640, 480);
    // The skins' grounds and the town's white streets, and dark label text.
    EXPECT_GT(CountPixels(day, all, [](QColor c) { return Near(c, 0xf2, 0xef, 0xe9, 0); }), 5000);
    EXPECT_GT(CountPixels(day, all, [](QColor c) { return Near(c, 255, 255, 255, 0); }), 500);
    EXPECT_GT(CountPixels(night, all, [](QColor c) { return Near(c, 0x1c, 0x1f, 0x26, 0); }), 5000);
    EXPECT_EQ(CountPixels(night, all, [](QColor c) { return Near(c, 0xf2, 0xef, 0xe9, 0); }), 0);
    const QRect body(0, 40, 600, 400); // without compass and scale bar
    EXPECT_GT(CountPixels(day, body, [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; }), 300);
    EXPECT_GT(CountPixels(night, body, [](QColor c) { return c.red() > 190 && c.green() > 190 && c.blue() > 190; }), 300);
}

TEST_F(RenderTest, OsmExtractWaterRoadsAndLabels) {
    const std::filesystem::path pbf = test::CorpusPath("osm/andorra-20200501.osm.pbf");
    VELKA_REQUIRE_CORPUS(pbf);
    test::TempDir dir;
    const std::string strMap = dir.File("andorra.zem"), strDump = dir.File("dump.jsonl");
    ASSERT_TRUE(RunShell(Tool().string() + " mapc " + pbf.string() + " -o " + strMap + " --quiet"));
    ASSERT_TRUE(RunShell(Tool().string() + " dump " + strMap + " > " + strDump));
    // The largest lake with its centre inside, and the longest trunk road.
    std::ifstream in(strDump);
    std::string strLine;
    double dWaterLat = 0, dWaterLon = 0, dRoadLat = 0, dRoadLon = 0;
    std::size_t cBestWater = 0, cBestRoad = 0;
    while (std::getline(in, strLine)) {
        const auto j = nlohmann::json::parse(strLine);
        const auto& pts = j["points"];
        if (j["kind"] == "polygon" && j["type"] == 0x3C && pts.size() > cBestWater) {
            std::vector<CMapPoint> v;
            double sx = 0, sy = 0;
            for (const auto& p : pts) {
                v.push_back({DegreesToUnits(p[0].get<double>()), DegreesToUnits(p[1].get<double>())});
                sx += p[0].get<double>();
                sy += p[1].get<double>();
            }
            const double cx = sx / pts.size(), cy = sy / pts.size();
            if (PointInPolygon(v.data(), v.size(), {DegreesToUnits(cx), DegreesToUnits(cy)})) {
                cBestWater = pts.size();
                dWaterLon = cx;
                dWaterLat = cy;
            }
        }
        if (j["kind"] == "polyline" && j["type"] == 0x02 && pts.size() > cBestRoad) {
            cBestRoad = pts.size();
            const auto& p = pts[pts.size() / 2];
            dRoadLon = p[0].get<double>();
            dRoadLat = p[1].get<double>();
        }
    }
    ASSERT_GT(cBestWater, 0u);
    ASSERT_GT(cBestRoad, 0u);
    tool::RenderOptions o;
    o.strMap = strMap;
    o.fCenter = true;
    o.uScale = 5;
    o.cx = 300;
    o.cy = 200;
    o.fAntialias = false;
    o.dLat = dWaterLat;
    o.dLon = dWaterLon;
    QImage img;
    ASSERT_EQ(tool::RenderMapToImage(o, img), 0);
    EXPECT_GT(CountPixels(img, QRect(140, 90, 21, 21), [](QColor c) { return Near(c, 0xaa, 0xd3, 0xdf, 0); }), 100);
    o.dLat = dRoadLat;
    o.dLon = dRoadLon;
    ASSERT_EQ(tool::RenderMapToImage(o, img), 0);
    // The trunk's casing and its inner pen at the road's vertex.
    EXPECT_GT(CountPixels(img, QRect(144, 94, 13, 13), [](QColor c) { return Near(c, 0xa0, 0x50, 0x30, 0); }), 0);
    EXPECT_GT(CountPixels(img, QRect(144, 94, 13, 13), [](QColor c) { return Near(c, 0xf9, 0xb2, 0x9c, 0); }), 0);
    // Andorra la Vella: names are drawn.
    o.dLat = 42.5063;
    o.dLon = 1.5218;
    o.uScale = 8;
    o.cx = 640;
    o.cy = 480;
    ASSERT_EQ(tool::RenderMapToImage(o, img), 0);
    EXPECT_GT(CountPixels(img, QRect(0, 40, 600, 400),
                          [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; }),
              200);
}

} // namespace
} // namespace velka
