#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "mapdata/img_parser.h"
#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapdata/recording_paint.h"
#include "mapview/waypoint_icons.h"
#include "mapview/waypoint_layer.h"
#include "platform/qt/qt_canvas.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/main_window.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "tests/support/fake_window_port.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {


constexpr COLORREF c_crGround = RGB(250, 250, 250);

// The bounding box of the pixels that differ from the ground.
RECT InkBox(const CQtCanvas& dc) {
    RECT rc{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < dc.Height(); ++y)
        for (int x = 0; x < dc.Width(); ++x)
            if (dc.GetPixel(x, y) != c_crGround) {
                rc.left = std::min<LONG>(rc.left, x);
                rc.top = std::min<LONG>(rc.top, y);
                rc.right = std::max<LONG>(rc.right, x + 1);
                rc.bottom = std::max<LONG>(rc.bottom, y + 1);
            }
    return rc;
}

RECT DrawnIcon(WORD wType, int x, int y, int s) {
    CQtCanvas dc(200, 200);
    CBrushDesc ground;
    ground.crColor = c_crGround;
    dc.FillRect({0, 0, 200, 200}, ground);
    DrawWaypointIcon(dc, wType, x, y, s);
    return InkBox(dc);
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(WaypointIcons, CornerOffsetsAtScreenFactorsOneAndTwo) {
    test::QtApp();
    for (int s : {1, 2}) {
        // Symbols: 18 s square from (x - 9s + 1, y - 9s + 1).
        EXPECT_EQ(WaypointIconRect(15, 100, 90, s), (RECT{100 - 9 * s + 1, 90 - 9 * s + 1, 100 + 9 * s + 1, 90 + 9 * s + 1}));
        // Types 18 and above 220: the program's 32 s icon from (x - 16s + 1, y - 16s + 1).
        for (WORD w : {WORD{18}, WORD{221}, WORD{0x3FFF}})
            EXPECT_EQ(WaypointIconRect(w, 100, 90, s),
                      (RECT{100 - 16 * s + 1, 90 - 16 * s + 1, 100 + 16 * s + 1, 90 + 16 * s + 1}));
        EXPECT_EQ(WaypointIconRect(220, 100, 90, s).right - WaypointIconRect(220, 100, 90, s).left, 18 * s);
        // The green square (type 15) is drawn 2 units in from that corner.
        const RECT ink = DrawnIcon(15, 100, 90, s);
        const RECT rc = WaypointIconRect(15, 100, 90, s);
        EXPECT_NEAR(ink.left, rc.left + 2 * s, 1) << "s=" << s;
        EXPECT_NEAR(ink.top, rc.top + 2 * s, 1) << "s=" << s;
        EXPECT_NEAR(ink.right, rc.left + 16 * s, 1) << "s=" << s;
        // The program's flag: its top 2 units below the corner, its base
        // 10 units in from the left.
        const RECT flag = DrawnIcon(18, 100, 90, s);
        const RECT rcFlag = WaypointIconRect(18, 100, 90, s);
        EXPECT_NEAR(flag.top, rcFlag.top + 2 * s, 1) << "s=" << s;
        EXPECT_NEAR(flag.left, rcFlag.left + 10 * s, 1) << "s=" << s;
        EXPECT_EQ(DrawnIcon(300, 100, 90, s), flag);
    }
}

TEST(WaypointIcons, EveryIconDrawsInsideItsRectangle) {
    test::QtApp();
    for (int s : {1, 2}) {
        for (int t = 0; t <= 222; ++t) {
            const WORD w = static_cast<WORD>(t);
            const RECT ink = DrawnIcon(w, 100, 100, s);
            ASSERT_LT(ink.left, ink.right) << "type " << t << " draws nothing";
            EXPECT_TRUE(Inside(ink, WaypointIconRect(w, 100, 100, s)))
                << "type " << t << " s=" << s << " ink " << ink.left << "," << ink.top << "-" << ink.right << ","
                << ink.bottom;
        }
    }
}

TEST(WaypointIcons, ColouredShapesTakeTheirColour) {
    test::QtApp();
    auto centre = [](WORD w) {
        CQtCanvas dc(60, 60);
        DrawWaypointIcon(dc, w, 30, 30, 1);
        return dc.GetPixel(30, 30);
    };
    for (WORD w : {WORD{3}, WORD{16}, WORD{165}, WORD{169}, WORD{172}, WORD{220}}) {
        const COLORREF cr = centre(w);
        EXPECT_GT(GetRValue(cr), 150) << w;
        EXPECT_LT(GetGValue(cr), 100) << w;
    }
    for (WORD w : {WORD{2}, WORD{15}, WORD{166}, WORD{170}, WORD{173}, WORD{219}})
        EXPECT_GT(GetGValue(centre(w)), GetRValue(centre(w)) + 60) << w;
    for (WORD w : {WORD{168}, WORD{167}, WORD{171}, WORD{174}, WORD{175}, WORD{218}})
        EXPECT_GT(GetBValue(centre(w)), GetRValue(centre(w)) + 60) << w;
    // Neighbouring letters and digits differ.
    CQtCanvas a(40, 40), b(40, 40);
    DrawWaypointIcon(a, 176, 20, 20, 1);
    DrawWaypointIcon(b, 179, 20, 20, 1);
    EXPECT_NE(a.Image(), b.Image());
}

// A paint context whose canvas remembers the extent of what was drawn.
class CExtentCanvas : public CNullCanvas {
public:
    CExtentCanvas() : CNullCanvas(400, 300) {}
    void Add(int x, int y) {
        m_rc.left = std::min<LONG>(m_rc.left, x);
        m_rc.top = std::min<LONG>(m_rc.top, y);
        m_rc.right = std::max<LONG>(m_rc.right, x);
        m_rc.bottom = std::max<LONG>(m_rc.bottom, y);
        ++m_cShapes;
    }
    void Polygon(const POINT* p, int c) override {
        for (int i = 0; i < c; ++i) Add(p[i].x, p[i].y);
    }
    void Polyline(const POINT* p, int c) override { Polygon(p, c); }
    void Rectangle(const RECT& rc) override {
        Add(rc.left, rc.top);
        Add(rc.right, rc.bottom);
    }
    void Ellipse(const RECT& rc) override { Rectangle(rc); }
    RECT m_rc{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    int m_cShapes = 0;
};

class CExtentPaintContext : public CRecordingPaintContext {
public:
    CExtentPaintContext() : CRecordingPaintContext({0, 0, 40000, 30000}, 400, 300, 10, 20) {}
    ICanvas& Canvas() override { return m_extent; }
    CExtentCanvas m_extent;
};

Waypoint* AddAt(CWaypointStore& store, LONG lMapX, LONG lMapY, WORD wType, BYTE btShow) {
    Waypoint* p = store.CreateWaypoint(lMapX * 2, lMapY * 2, 0, std::nullopt, nullptr);
    p->wType = wType;
    p->btShow = btShow;
    p->strComment = u"comment " + p->strName;
    return p;
}

class WaypointLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SetScreenMetrics({});
        m_labels.Clear(400, 300);
    }
    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> v;
        for (const CLabelRecord& r : m_labels.Records())
            if (r.nKind == lkWaypoint) v.push_back(r.strText);
        return v;
    }
    test::ScopedSettings m_settings;
    CWaypointStore m_store;
    CMapLabelStore m_labels;
    CExtentPaintContext m_pc;
};

TEST_F(WaypointLayerTest, LabelFollowsTheShowMode) {
    // Newest first: 004 (mode 3), 003 (2), 002 (1), 001 (0).
    for (BYTE b = 0; b < 4; ++b) AddAt(m_store, 10000, 5000 + 5000 * b, 15, b);
    EXPECT_FALSE(DrawWaypoints(m_pc, m_labels, m_store));
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"comment 004", u"comment 003", u"002"}));
    // An empty comment gives no label.
    m_store.Waypoints().front()->strComment.clear();
    m_labels.Clear(400, 300);
    DrawWaypoints(m_pc, m_labels, m_store);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"comment 003", u"002"}));
    // A text over an earlier one is left out; its icon is still drawn.
    AddAt(m_store, 10000, 15000, 176, wsIconAndName);
    m_labels.Clear(400, 300);
    const int cBefore = m_pc.m_extent.m_cShapes;
    DrawWaypoints(m_pc, m_labels, m_store);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"005", u"002"}));
    EXPECT_GT(m_pc.m_extent.m_cShapes - cBefore, cBefore / 2); // two frames of four icons before
}

TEST_F(WaypointLayerTest, IconsSitAtTheWaypointsScreenPosition) {
    // Map (20000, 15000) is screen (200, 149) in this view; the store holds
    // semicircles, twice the map units.
    Waypoint* p = AddAt(m_store, 20000, 15000, 15, wsIcon);
    EXPECT_EQ(p->lX, 40000);
    DrawWaypoints(m_pc, m_labels, m_store);
    const POINT sp = m_pc.MapToScreen({20000, 15000});
    const RECT rc = WaypointIconRect(15, sp.x, sp.y, 1);
    EXPECT_GE(m_pc.m_extent.m_rc.left, rc.left);
    EXPECT_GE(m_pc.m_extent.m_rc.top, rc.top);
    EXPECT_LE(m_pc.m_extent.m_rc.right, rc.right);
    EXPECT_LE(m_pc.m_extent.m_rc.bottom, rc.bottom);
    EXPECT_LE(m_pc.m_extent.m_rc.left, rc.left + 3);
    EXPECT_TRUE(Texts().empty());
}

TEST_F(WaypointLayerTest, WaypointsOutsideTheViewAndDeletedOnesAreNotDrawn) {
    AddAt(m_store, 50000, 15000, 15, wsIconAndName);         // east of the view
    AddAt(m_store, 20000, -10, 15, wsIconAndName);           // just south of it
    AddAt(m_store, 20000, 15000, 15, wsIconAndName)->dwFlags |= wfDeleted;
    DrawWaypoints(m_pc, m_labels, m_store);
    EXPECT_EQ(m_pc.m_extent.m_cShapes, 0);
    EXPECT_TRUE(Texts().empty());
    // The corner is inside (inclusive); it takes the deleted one's name.
    AddAt(m_store, 0, 0, 15, wsIconAndName);
    DrawWaypoints(m_pc, m_labels, m_store);
    EXPECT_GT(m_pc.m_extent.m_cShapes, 0);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"003"}));
}

// A window port that records the pop-up menus, answers from a script and
// draws into Qt bitmaps.
class CPopupPort : public test::CFakeWindowPort {
public:
    CPopupPort() {
        m_fnCreateBitmap = [](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); };
    }
};

std::vector<UINT> Ids(const CMenuPopup& menu) {
    std::vector<UINT> v;
    for (const CMenuItem& item : menu.vecItems) v.push_back(item.uId);
    return v;
}

class MapWaypointTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SetScreenMetrics({});
        WriteSettingBool(u"ShowMapGauges", false);
        std::array<std::unique_ptr<CPage>, c_cPages> pages;
        pages[0] = std::make_unique<CMapPage>();
        for (UINT i = 1; i < c_cPages; ++i) pages[i] = std::make_unique<CTitlePage>(2200 + i);
        m_pPage = static_cast<CMapPage*>(pages[0].get());
        m_pWnd = std::make_unique<CMainWindow>(std::move(pages));
        m_pWnd->Attach(&m_port);
        g_hWnd = m_pWnd.get();
        SetPageHost(m_pWnd.get());
        m_pPage->SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
        m_pPage->Init();
        m_pPage->Position().SetScale(10);
        m_pPage->Position().SetCenter(0, 0);
        InstallWaypointLayer();
        m_pPage->OnSize(400, 300);
        m_strFile = m_dir.File("Waypoints.bin");
        ASSERT_EQ(TheWaypointStore().Load(m_strFile), CError());
        HeadlessUiHost().ClearBoxes();
        HeadlessUiHost().ScriptAnswers({});
    }
    void TearDown() override {
        WaypointDialogs().fnEdit = nullptr;
        WaypointDialogs().fnEditRoute = nullptr;
        MapLayers().fnDrawWaypoints = nullptr;
        MapLayers().fnDrawMovingWaypoint = nullptr;
        MapLayers().fnFindItems = nullptr;
        TheWaypointStore().Clear();
        m_pWnd.reset();
        g_hWnd = nullptr;
        SetPageHost(nullptr);
    }
    // A waypoint at a screen point, saved.
    Waypoint* AddAtScreen(int x, int y) {
        const CMapPoint pt = m_pPage->Position().ScreenToMap(x, y);
        Waypoint* p = TheWaypointStore().CreateWaypoint(pt.lX * 2, pt.lY * 2, 0, std::nullopt, nullptr);
        p->wType = 15;
        EXPECT_EQ(TheWaypointStore().Save(), CError());
        return p;
    }
    // What the file holds now.
    CWaypointStore Saved() const {
        CWaypointStore s;
        EXPECT_EQ(s.Load(m_strFile), CError());
        return s;
    }

    test::ScopedSettings m_settings;
    test::TempDir m_dir;
    std::string m_strFile;
    CPopupPort m_port;
    std::unique_ptr<CMainWindow> m_pWnd;
    CMapPage* m_pPage = nullptr;
};

TEST_F(MapWaypointTest, RightClickOnAWaypointOffersItsMenuAndDeletesAfterYes) {
    AddAtScreen(200, 150);
    ASSERT_EQ(Saved().LiveWaypointCount(), 1u);
    // "No" keeps it.
    m_port.m_answers = {40122};
    HeadlessUiHost().ScriptAnswers({IDNO});
    m_pPage->OnRButtonUp(202, 151);
    ASSERT_EQ(m_port.m_menus.size(), 1u);
    EXPECT_EQ(m_port.m_menus[0].uTitleId, 207u);
    EXPECT_EQ(Ids(m_port.m_menus[0]), (std::vector<UINT>{40121, 40122, 40148, 40146}));
    EXPECT_EQ(m_port.m_menus[0].vecItems[0].uTextId, 203000u); // "Свойства точки..."
    EXPECT_EQ(TheWaypointStore().LiveWaypointCount(), 1u);
    // "Yes" deletes and saves.
    m_port.m_answers = {40122};
    HeadlessUiHost().ScriptAnswers({IDYES});
    m_pPage->OnRButtonUp(202, 151);
    EXPECT_EQ(TheWaypointStore().LiveWaypointCount(), 0u);
    EXPECT_EQ(Saved().LiveWaypointCount(), 0u);
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].strText.find(u"001"), std::u16string::npos);
    // Now the point is open map: only "save point" (no map, no objects).
    m_pPage->OnRButtonUp(202, 151);
    EXPECT_EQ(m_port.m_menus.back().uTitleId, 101u);
    EXPECT_EQ(Ids(m_port.m_menus.back()), (std::vector<UINT>{40019, 40023}));
}

TEST_F(MapWaypointTest, NewWaypointAtTheClickIsSavedOnlyWhenConfirmed) {
    int cEdits = 0;
    bool fConfirm = false;
    WaypointDialogs().fnEdit = [&](Waypoint& wp, bool fNew) {
        ++cEdits;
        EXPECT_TRUE(fNew);
        wp.strName = u"Колодец";
        return fConfirm;
    };
    m_port.m_answers = {40019};
    m_pPage->OnRButtonUp(120, 80);
    EXPECT_EQ(cEdits, 1);
    EXPECT_EQ(TheWaypointStore().LiveWaypointCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_strFile) && Saved().LiveWaypointCount() != 0);
    fConfirm = true;
    m_port.m_answers = {40019};
    const unsigned cFrames = m_pPage->FinishedFrames();
    m_pPage->OnRButtonUp(120, 80);
    EXPECT_EQ(m_pPage->FinishedFrames(), cFrames + 1);
    CWaypointStore saved = Saved();
    ASSERT_EQ(saved.LiveWaypointCount(), 1u);
    const Waypoint& wp = *saved.Waypoints().front();
    EXPECT_EQ(wp.strName, u"Колодец");
    const CMapPoint pt = m_pPage->Position().ScreenToMap(120, 80);
    EXPECT_EQ(wp.lX, pt.lX * 2);
    EXPECT_EQ(wp.lY, pt.lY * 2);
}

TEST_F(MapWaypointTest, MovingDropsTheWaypointAtTheNextClickOrPutsItBack) {
    Waypoint* p = AddAtScreen(200, 150);
    const LONG lX = p->lX, lY = p->lY;
    m_port.m_answers = {40148};
    m_pPage->OnRButtonUp(200, 150);
    EXPECT_EQ(m_pPage->MovingWaypoint(), p);
    // While moving it is drawn at the pointer.
    m_pPage->OnMove(300, 60);
    CQtCanvas out(400, 300);
    m_pPage->OnPaint(out);
    EXPECT_EQ(out.GetPixel(300, 60), RGB(20, 150, 40)); // the green square
    // Cancel: it stays where it was.
    m_port.m_answers = {40149};
    m_pPage->OnRButtonUp(300, 60);
    EXPECT_EQ(m_port.m_menus.back().uTitleId, 209u);
    EXPECT_EQ(Ids(m_port.m_menus.back()), (std::vector<UINT>{40150, 40149}));
    EXPECT_EQ(m_pPage->MovingWaypoint(), nullptr);
    EXPECT_EQ(p->lX, lX);
    EXPECT_EQ(p->lY, lY);
    // Move again and drop it at another point: saved there.
    m_port.m_answers = {40148};
    m_pPage->OnRButtonUp(200, 150);
    m_port.m_answers = {40150};
    m_pPage->OnRButtonUp(300, 60);
    EXPECT_EQ(m_pPage->MovingWaypoint(), nullptr);
    const CMapPoint pt = m_pPage->Position().ScreenToMap(300, 60);
    EXPECT_EQ(p->lX, pt.lX * 2);
    CWaypointStore saved = Saved();
    ASSERT_EQ(saved.LiveWaypointCount(), 1u);
    EXPECT_EQ(saved.Waypoints().front()->lX, pt.lX * 2);
    EXPECT_EQ(saved.Waypoints().front()->lY, pt.lY * 2);
}

TEST_F(MapWaypointTest, DoubleClickOpensThePropertiesAndSavesAChange) {
    AddAtScreen(200, 150);
    std::vector<bool> calls;
    WaypointDialogs().fnEdit = [&](Waypoint& wp, bool fNew) {
        calls.push_back(fNew);
        wp.strName = u"Дом";
        return true;
    };
    m_pPage->OnDblClick(199, 149);
    EXPECT_EQ(calls, (std::vector<bool>{false}));
    EXPECT_EQ(Saved().Waypoints().front()->strName, u"Дом");
    // Hidden waypoints are not hit: the double click zooms in about the
    // pointer instead, as it does where nothing is.
    WriteSettingBool(u"ShowWaypoints", false);
    const CMapPoint ptUnder = m_pPage->Position().ScreenToMap(100, 100);
    m_pPage->OnDblClick(100, 100);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(m_pPage->Position().ScaleIndex(), 9u);
    const POINT ptNow = m_pPage->Position().MapToScreen(ptUnder);
    EXPECT_NEAR(ptNow.x, 100, 1);
    EXPECT_NEAR(ptNow.y, 100, 1);
}

TEST_F(MapWaypointTest, TapListsTheWaypointAndTheFrameDrawsIt) {
    Waypoint* p = AddAtScreen(200, 150);
    m_pPage->OnDown(201, 151);
    m_pPage->OnUp(201, 151);
    ASSERT_FALSE(m_pPage->Selection().Empty());
    EXPECT_EQ(m_pPage->Selection().Shown()->nRefersTo, 1);
    EXPECT_EQ(m_pPage->Selection().Shown()->pRef, p);
    EXPECT_EQ(m_pPage->Selection().Shown()->strText, u"001");
    // The frame has the green square at the waypoint.
    m_pPage->RefreshMap(true);
    const auto* pFrame = dynamic_cast<const CQtCanvas*>(m_pPage->FinishedFrame());
    ASSERT_NE(pFrame, nullptr);
    EXPECT_EQ(pFrame->GetPixel(200, 150), RGB(20, 150, 40));
    // A tap on the balloon's body opens the waypoint's properties; a
    // change clears the selection.
    int cEdits = 0;
    WaypointDialogs().fnEdit = [&](Waypoint& wp, bool fNew) {
        ++cEdits;
        EXPECT_FALSE(fNew);
        EXPECT_EQ(&wp, p);
        return false;
    };
    CQtCanvas out(400, 300);
    m_pPage->OnPaint(out);
    m_pPage->OnDown(200, 100);
    m_pPage->OnUp(200, 100);
    EXPECT_EQ(cEdits, 1);
    EXPECT_FALSE(m_pPage->Selection().Empty()); // unchanged: the balloon stays
    // A waypoint's change elsewhere clears the selection.
    WaypointDialogs().fnChanged();
    EXPECT_TRUE(m_pPage->Selection().Empty());
}

TEST_F(MapWaypointTest, ShowOnMapCentresAndTurnsWaypointsOn) {
    WriteSettingBool(u"ShowWaypoints", false);
    WaypointDialogs().fnShowOnMap({123456, -654321});
    EXPECT_EQ(m_pPage->Position().CenterX(), 123456);
    EXPECT_EQ(m_pPage->Position().CenterY(), -654321);
    EXPECT_TRUE(ReadSettingBool(u"ShowWaypoints", false));
    EXPECT_GE(m_pPage->FinishedFrames(), 1u);
}

TEST_F(MapWaypointTest, ShutdownSavesButNeverReplacesAnUnreadableFileWithNothing) {
    // Loaded, changed in memory only, saved at shutdown.
    StartWaypoints(m_strFile);
    TheWaypointStore().CreateWaypoint(2, 4, 0, std::nullopt, nullptr);
    StopWaypoints();
    EXPECT_EQ(Saved().LiveWaypointCount(), 1u);
    // A path that cannot be read: reported once at start-up, and shutdown
    // neither writes nor reports again.
    const std::string strBlocked = m_dir.File("plain") + "/Waypoints.bin";
    { std::ofstream(m_dir.File("plain")) << "x"; }
    HeadlessUiHost().ClearBoxes();
    StartWaypoints(strBlocked);
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(TheWaypointStore().LiveWaypointCount(), 0u);
    StopWaypoints();
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    // Once the user adds a waypoint it is saved (here the save fails and says so).
    TheWaypointStore().CreateWaypoint(2, 4, 0, std::nullopt, nullptr);
    StopWaypoints();
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 2u);
}

TEST_F(MapWaypointTest, SelectionListsTheWaypointFirstThenMapPointsByDistance) {
    const auto img = test::CorpusPath("img/monaco-latin1-plain.img");
    VELKA_REQUIRE_CORPUS(img);
    ASSERT_TRUE(m_pPage->LoadMap(FromUtf8(img.string()), false));
    const CMapPoint centre{g_pMapParser->Bounds().CenterX(), g_pMapParser->Bounds().CenterY()};
    m_pPage->Position().SetScale(3);
    m_pPage->Position().SetCenter(centre.lX, centre.lY);
    // Some point of the map near its centre, and a waypoint beside it.
    auto pList = g_pMapParser->FindNearest(m_pPage->Position().LevelForDrawing(), true, centre.lX, centre.lY, 2000,
                                           nullptr, u"", nullptr);
    auto* pFound = dynamic_cast<CImgFindList*>(pList.get());
    ASSERT_NE(pFound, nullptr);
    ASSERT_FALSE(pFound->m_items.empty());
    const CMapPoint pt = pFound->m_items.front().pt;
    // A right click on it offers its properties, disabled while no one
    // shows map objects' properties.
    m_pPage->Position().SetCenter(pt.lX, pt.lY);
    const POINT sp = m_pPage->Position().MapToScreen(pt);
    m_pPage->OnRButtonUp(sp.x, sp.y);
    ASSERT_EQ(m_port.m_menus.size(), 1u);
    EXPECT_EQ(m_port.m_menus[0].uTitleId, 101u);
    EXPECT_EQ(Ids(m_port.m_menus[0]), (std::vector<UINT>{40019, 40023, 40121}));
    EXPECT_TRUE(m_port.m_menus[0].vecItems[2].fGrayed);
    Waypoint* pWp = TheWaypointStore().CreateWaypoint((pt.lX + 3) * 2, pt.lY * 2, 0, std::nullopt, nullptr);
    const auto items = FindItemsNear(TheWaypointStore(), pt, 300.0f, m_pPage->Position());
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0].nRefersTo, 1);
    EXPECT_EQ(items[0].pRef, pWp);
    bool fNamed = false;
    double dLast = -1;
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_EQ(items[i].nRefersTo, 0);
        const double dx = double(items[i].pt.lX) - pt.lX, dy = double(items[i].pt.lY) - pt.lY;
        const double d = dx * dx * 0.5 + dy * dy; // cos(43.7 degrees)^2 is about 0.52
        EXPECT_GE(d, dLast * 0.9) << i;
        dLast = d;
        fNamed = fNamed || !items[i].strText.empty();
    }
    EXPECT_TRUE(fNamed);
    // With waypoints hidden only the map's points are listed.
    WriteSettingBool(u"ShowWaypoints", false);
    const auto mapOnly = FindItemsNear(TheWaypointStore(), pt, 300.0f, m_pPage->Position());
    EXPECT_EQ(mapOnly.size(), items.size() - 1);
    m_pPage->CloseMap();
}

TEST_F(MapWaypointTest, GaugeCellsHaveTheirOwnMenu) {
    WriteSettingBool(u"ShowMapGauges", true);
    m_pPage->OnRButtonUp(390, 10);
    ASSERT_EQ(m_port.m_menus.size(), 1u);
    EXPECT_EQ(m_port.m_menus[0].uTitleId, 103u);
    // Choose, reset this one, reset all, show, defaults; without a chooser
    // dialog and a catalogue the first three are grayed.
    EXPECT_EQ(Ids(m_port.m_menus[0]), (std::vector<UINT>{40016, 40025, 40021, 40023, 40017}));
    EXPECT_TRUE(m_port.m_menus[0].vecItems[0].fGrayed);
    EXPECT_TRUE(m_port.m_menus[0].vecItems[1].fGrayed);
    EXPECT_FALSE(m_port.m_menus[0].vecItems[3].fGrayed);
    EXPECT_TRUE(m_port.m_menus[0].vecItems[3].fChecked);
}

TEST_F(MapWaypointTest, RoutesAreEditedFromTheMenusOfWaypointsAndRoutes) {
    Waypoint* pA = AddAtScreen(100, 150);
    Waypoint* pB = AddAtScreen(300, 150);
    Waypoint* pC = AddAtScreen(200, 100);
    // Start a route at A; while it is edited a waypoint has the editing menu.
    m_port.m_answers = {40146};
    m_pPage->OnRButtonUp(100, 150);
    Route* pRoute = m_pPage->EditedRoute();
    ASSERT_NE(pRoute, nullptr);
    m_port.m_answers = {40143};
    m_pPage->OnRButtonUp(300, 150);
    EXPECT_EQ(m_port.m_menus.back().uTitleId, 208u);
    EXPECT_EQ(Ids(m_port.m_menus.back()), (std::vector<UINT>{40143, 40151, 40144, 40145}));
    // C lies between A and B: inserted, not appended.
    m_port.m_answers = {40151};
    m_pPage->OnRButtonUp(200, 100);
    ASSERT_EQ(pRoute->points.size(), 3u);
    EXPECT_EQ(pRoute->points[1].pWaypoint, pC);
    EXPECT_EQ(pC->cRefs, 1);
    // A waypoint of the route can only be removed.
    m_pPage->OnRButtonUp(300, 150);
    EXPECT_TRUE(m_port.m_menus.back().vecItems[0].fGrayed);
    EXPECT_FALSE(m_port.m_menus.back().vecItems[2].fGrayed);
    m_port.m_answers = {40144};
    m_pPage->OnRButtonUp(200, 100);
    ASSERT_EQ(pRoute->points.size(), 2u);
    EXPECT_EQ(pC->cRefs, 0);
    // Ending the edit saves the route with its waypoints.
    m_port.m_answers = {40145};
    m_pPage->OnRButtonUp(20, 280);
    EXPECT_EQ(m_pPage->EditedRoute(), nullptr);
    {
        const CWaypointStore saved = Saved();
        ASSERT_EQ(saved.Routes().size(), 1u);
        ASSERT_EQ(saved.Routes().front()->points.size(), 2u);
        EXPECT_EQ(saved.Routes().front()->points[0].X(), pA->lX);
        EXPECT_EQ(saved.Routes().front()->points[1].X(), pB->lX);
    }
    // A double click on its leg opens its properties; a change is saved.
    WaypointDialogs().fnEditRoute = [](Route& route) {
        route.strName = u"Home";
        return true;
    };
    m_pPage->OnDblClick(200, 152);
    EXPECT_EQ(pRoute->strName, u"Home");
    EXPECT_EQ(Saved().Routes().front()->strName, u"Home");
    // A click on its leg offers the route's menu; continue, then delete.
    m_port.m_answers = {40147};
    m_pPage->OnRButtonUp(200, 152);
    EXPECT_EQ(m_port.m_menus.back().uTitleId, 206u);
    EXPECT_EQ(Ids(m_port.m_menus.back()), (std::vector<UINT>{40121, 40130, 40139, 40159, 40147, 40141}));
    EXPECT_EQ(m_pPage->EditedRoute(), pRoute);
    m_port.m_answers = {40141};
    HeadlessUiHost().ScriptAnswers({IDYES});
    m_pPage->OnRButtonUp(200, 152);
    EXPECT_EQ(Ids(m_port.m_menus.back()), (std::vector<UINT>{40121, 40130, 40139, 40159, 40145, 40141}));
    EXPECT_TRUE(pRoute->IsDeleted());
    EXPECT_EQ(m_pPage->EditedRoute(), nullptr);
    EXPECT_TRUE(Saved().Routes().empty());
}

TEST_F(MapWaypointTest, HiddenGaugesComeBackFromTheMapMenuAndDefaultsAskFirst) {
    WriteSettingBool(u"ShowMapGauges", true);
    m_pPage->OnSize(400, 300);
    // Hidden from the gauge menu: the cells are gone, the map's menu shows
    // the item unchecked and brings them back.
    m_port.m_answers = {40023};
    m_pPage->OnRButtonUp(390, 10);
    EXPECT_FALSE(ReadSettingBool(u"ShowMapGauges", true));
    EXPECT_TRUE(m_pPage->GaugeCells().empty());
    m_port.m_answers = {40023};
    m_pPage->OnRButtonUp(390, 10);
    ASSERT_EQ(m_port.m_menus.size(), 2u);
    EXPECT_EQ(m_port.m_menus[1].uTitleId, 101u);
    ASSERT_EQ(Ids(m_port.m_menus[1]), (std::vector<UINT>{40019, 40023}));
    EXPECT_FALSE(m_port.m_menus[1].vecItems[1].fChecked);
    EXPECT_TRUE(ReadSettingBool(u"ShowMapGauges", false));
    EXPECT_FALSE(m_pPage->GaugeCells().empty());

    // The default set (landscape) replaces a chosen gauge only after "yes".
    WriteSettingString(u"MapGauge_0", u"altitude");
    HeadlessUiHost().ScriptAnswers({IDNO, IDYES});
    m_pPage->OnCommand(40017);
    EXPECT_EQ(ReadSettingString(u"MapGauge_0", 32, u""), u"altitude");
    m_pPage->OnCommand(40017);
    EXPECT_EQ(m_pPage->GaugeKeys()[0], u"speed");
    EXPECT_EQ(m_pPage->GaugeKeys()[4], u"sunrise");
    EXPECT_EQ(ReadSettingString(u"MapGauge_0", 32, u""), u"speed");
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 2u);
}

} // namespace
} // namespace velka
