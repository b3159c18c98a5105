// The main window on the offscreen Qt platform: page switching, the
// off-screen bitmap, menu state, notifications, night mode and the exit
// request, driven through the real Qt window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QKeySequence>
#include <QWheelEvent>
#include <thread>
#include <vector>

#include "app/qt_main_window.h"
#include "platform/qt/qt_canvas.h"
#include "shell/menu_commands.h"
#include "shell/settings.h"
#include "shell/subsystem_hooks.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

class CTestPage : public CTitlePage {
public:
    explicit CTestPage(UINT uTitle) : CTitlePage(uTitle) {}
    bool CanShow() const override { return m_fCanShow; }
    bool HasScrollBar() const override { return m_fScroll; }
    bool CanZoomIn() const override { return m_fCanZoomIn; }
    void Activate() override { ++m_cActivate; }
    void Deactivate() override { ++m_cDeactivate; }
    void OnSize(int, int) override { ++m_cOnSize; }
    void ZoomIn() override { ++m_cZoomIn; }
    void ZoomOut() override { ++m_cZoomOut; }
    void OnVScroll(int nCode, int nPos) override {
        m_vecScroll.push_back(nCode);
        m_nScrollPos = nPos;
    }
    void OnDown(int x, int y) override { m_vecPointer.push_back("down " + Xy(x, y)); }
    void OnMove(int x, int y) override { m_vecPointer.push_back("move " + Xy(x, y)); }
    void OnUp(int x, int y) override { m_vecPointer.push_back("up " + Xy(x, y)); }
    void OnDblClick(int x, int y) override { m_vecPointer.push_back("dbl " + Xy(x, y)); }
    void OnRButtonUp(int x, int y) override { m_vecPointer.push_back("rup " + Xy(x, y)); }
    void OnPositioningStarted() override { s_vecPositioning.push_back("+" + std::to_string(GetTitle())); }
    void OnPositioningStopped() override { s_vecPositioning.push_back("-" + std::to_string(GetTitle())); }
    // What the pages heard of positioning, in order.
    static inline std::vector<std::string> s_vecPositioning;
    static std::string Xy(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
    std::vector<std::string> m_vecPointer;
    int m_nScrollPos = 0;
    void OnGpsFix() override { ++m_cGpsFix; }
    void OnGpsStatus() override { ++m_cGpsStatus; }
    void OnPeriodic() override { ++m_cPeriodic; }
    void Refresh(bool fForce) override { m_vecRefresh.push_back(fForce); }
    bool OnMapOpened() override { return m_fWantsMap; }
    void OnCommand(UINT uId) override { m_vecCommands.push_back(uId); }

    bool m_fCanShow = true, m_fScroll = false, m_fCanZoomIn = false, m_fWantsMap = false;
    int m_cActivate = 0, m_cDeactivate = 0, m_cOnSize = 0, m_cZoomIn = 0, m_cZoomOut = 0;
    int m_cGpsFix = 0, m_cGpsStatus = 0, m_cPeriodic = 0;
    std::vector<int> m_vecScroll;
    std::vector<bool> m_vecRefresh;
    std::vector<UINT> m_vecCommands;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SubsystemHooks() = CSubsystemHooks{};
        SetUiHost(&m_host);
    }
    void TearDown() override {
        m_pQt.reset();
        m_pWnd.reset();
        SetUiHost(nullptr);
        SubsystemHooks() = CSubsystemHooks{};
    }
    // Creates the window (after the test stored what start-up reads).
    void Create() {
        std::array<std::unique_ptr<CPage>, c_cPages> pages;
        const UINT auTitles[] = {2200, 2204, 2201, 2203};
        for (UINT i = 0; i < c_cPages; ++i) {
            auto p = std::make_unique<CTestPage>(auTitles[i]);
            m_apPages[i] = p.get();
            pages[i] = std::move(p);
        }
        m_pWnd = std::make_unique<CMainWindow>(std::move(pages));
        m_pQt = std::make_unique<CQtMainWindow>(*m_pWnd, m_host);
        ASSERT_TRUE(m_pQt->Create(QStringLiteral("VELKA"), 248, 330));
        m_pWnd->InitPages();
        m_pQt->show();
        Pump();
    }
    void Pump() {
        for (int k = 0; k < 3; ++k) QCoreApplication::processEvents();
    }
    void Key(int nKey) {
        QKeyEvent ev(QEvent::KeyPress, nKey, Qt::NoModifier);
        QCoreApplication::sendEvent(m_pQt.get(), &ev);
    }

    test::ScopedSettings m_settings;
    CQtUiHost m_host{true};
    std::array<CTestPage*, c_cPages> m_apPages{};
    std::unique_ptr<CMainWindow> m_pWnd;
    std::unique_ptr<CQtMainWindow> m_pQt;
};

TEST_F(MainWindowTest, ArrowKeysWrapAroundAndSkipPagesThatCannotShow) {
    Create();
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 0u);
    Key(Qt::Key_Left);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 3u); // before 0 comes 3
    EXPECT_EQ(ReadSettingInt(u"Page", -1), 3);
    Key(Qt::Key_Right);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 0u); // after 3 comes 0

    m_apPages[1]->m_fCanShow = false;
    m_apPages[2]->m_fCanShow = false;
    Key(Qt::Key_Right);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 3u);
    Key(Qt::Key_Left);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 0u);
    EXPECT_EQ(m_apPages[1]->m_cActivate, 0);
    EXPECT_EQ(m_apPages[3]->m_cActivate, 2);
    EXPECT_EQ(m_apPages[3]->m_cDeactivate, 2);

    // With no other page to show the current one stays (and is activated again).
    m_apPages[3]->m_fCanShow = false;
    Key(Qt::Key_Right);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 0u);
    // The menu shows the pages that cannot be shown disabled, the current checked.
    EXPECT_FALSE(m_pQt->MenuAction(ID_PAGE_FIRST + 1)->isEnabled());
    EXPECT_TRUE(m_pQt->MenuAction(ID_PAGE_FIRST + 0)->isEnabled());
    EXPECT_TRUE(m_pQt->MenuAction(ID_PAGE_FIRST + 0)->isChecked());
    EXPECT_FALSE(m_pQt->MenuAction(ID_PAGE_FIRST + 3)->isChecked());
}

TEST_F(MainWindowTest, StoredPageAboveThreeStartsOnThreeAndCommandsClamp) {
    WriteSettingInt(u"Page", 7);
    Create();
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 3u);
    EXPECT_EQ(ReadSettingInt(u"Page", -1), 3); // the page-switch steps store it again
    EXPECT_EQ(m_apPages[3]->m_cActivate, 1);

    m_pQt->Send(WM_COMMAND, ID_PAGE_FIRST + 1);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 1u);
    m_pQt->Send(WM_COMMAND, ID_PAGE_LAST); // 2009
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 3u);
    // Selecting the current page changes nothing.
    const int cActivate = m_apPages[3]->m_cActivate;
    m_pWnd->SelectPage(3);
    EXPECT_EQ(m_apPages[3]->m_cActivate, cActivate);
    EXPECT_TRUE(m_pQt->MenuAction(ID_PAGE_FIRST + 3)->isChecked());
    // Commands the shell does not know go to the current page.
    m_pQt->Send(WM_COMMAND, 40017);
    EXPECT_EQ(m_apPages[3]->m_vecCommands, std::vector<UINT>{40017});
}

TEST_F(MainWindowTest, UpAndDownZoomOrScrollAndRedrawRearmsThePeriodicTimer) {
    Create();
    Key(Qt::Key_Up);
    Key(Qt::Key_Down);
    EXPECT_EQ(m_apPages[0]->m_cZoomIn, 1);
    EXPECT_EQ(m_apPages[0]->m_cZoomOut, 1);
    m_apPages[0]->m_fScroll = true;
    Key(Qt::Key_Up);
    Key(Qt::Key_Down);
    EXPECT_EQ(m_apPages[0]->m_vecScroll, (std::vector<int>{SB_LINEUP, SB_LINEDOWN}));
    EXPECT_EQ(m_apPages[0]->m_cZoomIn, 1);

    EXPECT_TRUE(m_pQt->TimerActive(c_uTimerPeriodic));
    m_pQt->Send(WM_TIMER, c_uTimerPeriodic);
    EXPECT_EQ(m_apPages[0]->m_cPeriodic, 1);
    EXPECT_TRUE(m_pQt->TimerActive(c_uTimerPeriodic));
    m_pWnd->RedrawNow();
    EXPECT_TRUE(m_pQt->TimerActive(c_uTimerPeriodic));

    // Timer 16 clears the selection once and redraws; it never repeats.
    int cClear = 0;
    SubsystemHooks().map.fnClearSelection = [&] { return ++cClear == 1; };
    m_pQt->SetTimer(c_uTimerSelection, 15000);
    m_pQt->Send(WM_TIMER, c_uTimerSelection);
    EXPECT_EQ(cClear, 1);
    EXPECT_FALSE(m_pQt->TimerActive(c_uTimerSelection));
}

TEST_F(MainWindowTest, DesktopKeysAndTheWheelZoomOrScrollAndMenusShowShortcuts) {
    Create();
    CTestPage& page = *m_apPages[0];
    page.m_fCanZoomIn = true;
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_Plus);
    Key(Qt::Key_Minus);
    EXPECT_EQ(page.m_cZoomIn, 2);
    EXPECT_EQ(page.m_cZoomOut, 2);

    // Two notches away from the user zoom in twice; a touchpad's half
    // notches add up; one notch back zooms out only where it can.
    QWidget* pClient = m_pQt->Client();
    auto Wheel = [&](int nDelta) {
        const QPointF pt(30, 40);
        QWheelEvent ev(pt, pClient->mapToGlobal(pt), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pClient, &ev);
    };
    Wheel(240);
    EXPECT_EQ(page.m_cZoomIn, 4);
    Wheel(60);
    EXPECT_EQ(page.m_cZoomIn, 4);
    Wheel(60);
    EXPECT_EQ(page.m_cZoomIn, 5);
    Wheel(-120); // CanZoomOut is false on the test page
    EXPECT_EQ(page.m_cZoomOut, 2);

    // On a scrolling page the same keys page and the wheel scrolls.
    page.m_fScroll = true;
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageDown);
    Wheel(-120);
    EXPECT_EQ(page.m_vecScroll, (std::vector<int>{SB_PAGEUP, SB_PAGEDOWN, SB_LINEDOWN}));

    // The shortcuts are the menu's: shown beside the items.
    EXPECT_EQ(m_pQt->MenuAction(ID_OPEN_MAP)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(m_pQt->MenuAction(ID_EXIT)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(m_pQt->MenuAction(ID_ZOOM_IN)->shortcuts().size(), 3);
}

TEST_F(MainWindowTest, PointerAndScrollReachTheCurrentPage) {
    Create();
    QWidget* pClient = m_pQt->Client();
    auto Mouse = [&](QEvent::Type type, Qt::MouseButton button, QPointF pt) {
        QMouseEvent ev(type, pt, pClient->mapToGlobal(pt), button,
                       type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        QCoreApplication::sendEvent(pClient, &ev);
    };
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {10, 20});
    Mouse(QEvent::MouseMove, Qt::NoButton, {11, 22});
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {12, 23});
    Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, {12, 23});
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, {5, 6});
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {-3, -4}); // dragged out of the window
    EXPECT_EQ(m_apPages[0]->m_vecPointer, (std::vector<std::string>{"down 10,20", "move 11,22", "up 12,23",
                                                                       "dbl 12,23", "rup 5,6", "up -3,-4"}));
    m_pQt->Send(WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, 42));
    EXPECT_EQ(m_apPages[0]->m_vecScroll, std::vector<int>{SB_THUMBPOSITION});
    EXPECT_EQ(m_apPages[0]->m_nScrollPos, 42);
}

TEST_F(MainWindowTest, TheScrollBarShowsWhileItemsDoNotFitAndItsUseReachesThePage) {
    Create();
    m_apPages[0]->m_fScroll = m_apPages[1]->m_fScroll = true;
    QScrollBar* pBar = m_pQt->ScrollBar();
    ASSERT_NE(pBar, nullptr);
    EXPECT_TRUE(pBar->isHidden());
    const int cxWide = m_pQt->ClientSize().cx;
    // 20 items (0..19), 5 to a page: tops 0..15.
    m_pQt->SetScrollBar(19, 5, 3);
    Pump();
    EXPECT_FALSE(pBar->isHidden());
    EXPECT_EQ(pBar->maximum(), 15);
    EXPECT_EQ(pBar->value(), 3);
    EXPECT_LT(m_pQt->ClientSize().cx, cxWide); // the bar takes its place beside the page
    pBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    pBar->triggerAction(QAbstractSlider::SliderPageStepSub);
    pBar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(m_apPages[0]->m_vecScroll, (std::vector<int>{SB_LINEDOWN, SB_PAGEUP, SB_BOTTOM}));
    pBar->setSliderPosition(7);
    EXPECT_EQ(m_apPages[0]->m_vecScroll.back(), SB_THUMBTRACK);
    EXPECT_EQ(m_apPages[0]->m_nScrollPos, 7);
    // Everything fits: hidden; a page without a scroll bar hides it too.
    m_pQt->SetScrollBar(4, 5, 0);
    EXPECT_TRUE(pBar->isHidden());
    m_pQt->SetScrollBar(19, 5, 3);
    m_apPages[2]->m_fScroll = false;
    m_pWnd->SelectPage(2);
    EXPECT_TRUE(pBar->isHidden());
}

TEST(QtUiHost, ANoticeIsANonModalBoxAndReturnsAtOnce) {
    test::QtApp();
    CQtUiHost host(false);
    host.ShowNotice(u"Sound error", u"VELKA", MB_ICONERROR);
    QMessageBox* pBox = nullptr;
    for (QWidget* p : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(p); b && b->isVisible()) pBox = b;
    ASSERT_NE(pBox, nullptr);
    EXPECT_FALSE(pBox->isModal());
    EXPECT_EQ(pBox->text(), QStringLiteral("Sound error"));
    EXPECT_EQ(pBox->icon(), QMessageBox::Critical);
    pBox->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(MainWindowTest, ResizeToTheSameSizeKeepsTheBitmap) {
    Create();
    const ICanvas* pFirst = m_pWnd->OffscreenBitmap();
    ASSERT_NE(pFirst, nullptr);
    const SIZE size = m_pWnd->BitmapSize();
    EXPECT_EQ(size.cx, m_pQt->Client()->width());
    EXPECT_EQ(size.cy, m_pQt->Client()->height());
    const int cOnSize = m_apPages[0]->m_cOnSize;

    m_pQt->Send(WM_SIZE, 0, MakeLParam(size.cx, size.cy));
    EXPECT_EQ(m_pWnd->OffscreenBitmap(), pFirst);
    EXPECT_EQ(m_apPages[0]->m_cOnSize, cOnSize);

    m_pQt->resize(300, 420);
    Pump();
    EXPECT_EQ(m_pWnd->BitmapSize().cx, m_pQt->Client()->width());
    EXPECT_EQ(m_pWnd->OffscreenBitmap()->Height(), m_pQt->Client()->height());
    EXPECT_EQ(m_apPages[0]->m_cOnSize, cOnSize + 1);
    // The page draws its title into the bitmap: some dark pixels appear.
    m_pQt->Client()->repaint();
    const auto* pBitmap = dynamic_cast<const CQtCanvas*>(m_pWnd->OffscreenBitmap());
    ASSERT_NE(pBitmap, nullptr);
    int cDark = 0;
    for (int y = 0; y < pBitmap->Height(); ++y)
        for (int x = 0; x < pBitmap->Width(); ++x) cDark += pBitmap->GetPixel(x, y) == RGB(0, 0, 0);
    EXPECT_GT(cDark, 20);
}

TEST_F(MainWindowTest, NightModeCyclesAndMenuFollowsTheRules) {
    Create();
    std::vector<int> modes, applied;
    SubsystemHooks().map.fnApplyNightMode = [&](int n) { applied.push_back(n); };
    for (int k = 0; k < 4; ++k) {
        m_pQt->Send(WM_COMMAND, ID_NIGHT_MODE);
        modes.push_back(ReadSettingInt(u"NightMode", -1));
    }
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 3, 1}));
    EXPECT_EQ(applied, modes);
    EXPECT_EQ(m_pQt->MenuItemImage(ID_NIGHT_MODE), 34);
    WriteSettingInt(u"NightMode", 0);
    m_pQt->Send(WM_COMMAND, ID_NIGHT_MODE);
    EXPECT_EQ(ReadSettingInt(u"NightMode", -1), 3);
    EXPECT_EQ(m_pQt->MenuItemImage(ID_NIGHT_MODE), 35);
    EXPECT_EQ(m_apPages[2]->m_vecRefresh, std::vector<bool>(5, true));

    // Every command of the table is in the menu bar.
    for (UINT uId : {40001u, 40002u, 40003u, 40009u, 40010u, 40011u, 40020u, 40022u, 40024u, 40026u, 40037u,
                     40051u, 40052u, 40062u, 40073u, 40075u, 40076u, 40090u, 40091u, 40127u, 40133u, 57601u,
                     2000u, 2001u, 2002u, 2003u})
        EXPECT_NE(m_pQt->MenuAction(uId), nullptr) << uId;
    // Without their subsystems the dialogs are disabled; help always is.
    EXPECT_FALSE(m_pQt->MenuAction(ID_MAP_INFO)->isEnabled());
    EXPECT_FALSE(m_pQt->MenuAction(ID_FIND_CITY)->isEnabled());
    EXPECT_FALSE(m_pQt->MenuAction(ID_RECORD_TRACK)->isEnabled());
    EXPECT_FALSE(m_pQt->MenuAction(ID_ZOOM_IN)->isEnabled());
    EXPECT_TRUE(m_pQt->MenuAction(ID_EXIT)->isEnabled());

    bool fMap = false, fGuidance = true;
    SubsystemHooks().map.fnIsOpen = [&] { return fMap; };
    SubsystemHooks().search.fnFindCity = [] {};
    SubsystemHooks().map.fnInfo = [] {};
    SubsystemHooks().navigation.fnIsGuidanceActive = [&] { return fGuidance; };
    SubsystemHooks().navigation.fnStopGuidance = [&] { fGuidance = false; };
    m_apPages[0]->m_fCanZoomIn = true;
    m_pWnd->UpdateMenu();
    EXPECT_FALSE(m_pQt->MenuAction(ID_FIND_CITY)->isEnabled()); // no map open
    EXPECT_TRUE(m_pQt->MenuAction(ID_ZOOM_IN)->isEnabled());
    EXPECT_TRUE(m_pQt->MenuAction(ID_STOP_GUIDANCE)->isEnabled());
    fMap = true;
    m_pWnd->UpdateMenu();
    EXPECT_TRUE(m_pQt->MenuAction(ID_FIND_CITY)->isEnabled());
    EXPECT_TRUE(m_pQt->MenuAction(ID_MAP_INFO)->isEnabled());
    EXPECT_FALSE(m_pQt->MenuAction(ID_HELP)->isEnabled());
    m_pQt->MenuAction(ID_STOP_GUIDANCE)->trigger();
    EXPECT_FALSE(fGuidance);
}

TEST_F(MainWindowTest, PositioningStartAndStopReachEveryPageInIndexOrder) {
    CTestPage::s_vecPositioning.clear();
    // Before the window exists nobody hears it (positioning may stop at shutdown).
    TellPagesPositioningStarted();
    EXPECT_TRUE(CTestPage::s_vecPositioning.empty());
    Create();
    TellPagesPositioningStarted();
    TellPagesPositioningStopped();
    EXPECT_EQ(CTestPage::s_vecPositioning,
              (std::vector<std::string>{"+2200", "+2204", "+2201", "+2203", "-2200", "-2204", "-2201", "-2203"}));
}

TEST_F(MainWindowTest, NotificationsCoalesceAndTheWindowClearsTheFlagBeforeThePage) {
    Create();
    bool fPendingWhileGauges = false;
    SubsystemHooks().gauges.fnPassFix = [&] { fPendingWhileGauges = IsNotificationPending(WM_GPS_FIX); };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int k = 0; k < 200; ++k) {
                PostNotification(WM_GPS_FIX);
                PostNotification(WM_GPS_STATUS);
            }
        });
    for (auto& th : threads) th.join();
    Pump();
    EXPECT_EQ(m_apPages[0]->m_cGpsFix, 1);
    EXPECT_EQ(m_apPages[0]->m_cGpsStatus, 1);
    EXPECT_TRUE(fPendingWhileGauges); // the subsystems run before the flag is cleared
    EXPECT_FALSE(IsNotificationPending(WM_GPS_FIX));
    // Once handled, the next fix is posted again.
    EXPECT_TRUE(PostNotification(WM_GPS_FIX));
    Pump();
    EXPECT_EQ(m_apPages[0]->m_cGpsFix, 2);
}

TEST_F(MainWindowTest, ExitRequestWaitsForTheFrameAndThenWritesSafeExit) {
    WriteSettingBool(u"SafeExit", false);
    Create();
    int cRendering = 2, cStops = 0;
    SubsystemHooks().map.fnIsFrameRendering = [&] { return cRendering-- > 0; };
    SubsystemHooks().map.fnStopRenderingFrame = [&] { ++cStops; };
    RequestExit(false);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(m_pQt->IsDestroyed());
    EXPECT_FALSE(ReadSettingBool(u"SafeExit", true));
    Pump();
    EXPECT_EQ(cStops, 2);
    EXPECT_TRUE(m_pQt->IsDestroyed());
    EXPECT_TRUE(m_pQt->QuitPosted());
    EXPECT_TRUE(ReadSettingBool(u"SafeExit", false));
}

TEST_F(MainWindowTest, HandedOverFileOpensAsSingleMapAndAPageMayTakeIt) {
    Create();
    std::vector<std::pair<std::u16string, bool>> opened;
    SubsystemHooks().map.fnOpen = [&](const std::u16string& s, bool fAtlas) {
        opened.emplace_back(s, fAtlas);
        return true;
    };
    m_apPages[2]->m_fWantsMap = true;
    m_apPages[3]->m_fWantsMap = true;
    const std::u16string strPath = u"-D/maps/Index.zidx";
    COPYDATASTRUCT cds;
    cds.cbData = static_cast<DWORD>((strPath.size() + 1) * 2);
    cds.lpData = strPath.c_str();
    m_pQt->Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, strPath); // even "-D" is a single map here
    EXPECT_FALSE(opened[0].second);
    EXPECT_EQ(m_pWnd->CurrentPageIndex(), 2u); // the first page that wants it
    // Other data kinds and a missing record are ignored.
    cds.dwData = 1;
    m_pQt->Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    m_pQt->Send(WM_COPYDATA, 0, 0);
    EXPECT_EQ(opened.size(), 1u);
}

} // namespace
} // namespace velka

namespace velka {
namespace {

TEST_F(MainWindowTest, HeadlessPopupMenusAnswerFromTheEnvironment) {
    Create();
    CMenuPopup menu;
    menu.uTitleId = 207;
    CMenuItem props;
    props.uId = 40121;
    props.uTextId = 203000;
    CMenuItem del;
    del.uId = 40122;
    del.uTextId = c_uMenuTextBase + 40122;
    CMenuItem grayed = del;
    grayed.uId = 40148;
    grayed.uTextId = c_uMenuTextBase + 40148;
    grayed.fGrayed = true;
    menu.vecItems = {props, del, grayed};
    unsetenv("VELKA_HEADLESS_POPUP");
    testing::internal::CaptureStderr();
    EXPECT_EQ(m_pQt->TrackPopupMenu(menu, 10, 10), 0u); // dismissed
    const std::string strLine = testing::internal::GetCapturedStderr();
    EXPECT_NE(strLine.find("popup: 207:"), std::string::npos) << strLine;
    EXPECT_NE(strLine.find("40122"), std::string::npos) << strLine;
    EXPECT_NE(strLine.find("[-40148"), std::string::npos) << strLine;
    setenv("VELKA_HEADLESS_POPUP", "40122", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m_pQt->TrackPopupMenu(menu, 10, 10), 40122u);
    // A disabled item and one the menu does not have are not chosen.
    setenv("VELKA_HEADLESS_POPUP", "40148", 1);
    EXPECT_EQ(m_pQt->TrackPopupMenu(menu, 10, 10), 0u);
    setenv("VELKA_HEADLESS_POPUP", "40019", 1);
    EXPECT_EQ(m_pQt->TrackPopupMenu(menu, 10, 10), 0u);
    testing::internal::GetCapturedStderr();
    unsetenv("VELKA_HEADLESS_POPUP");
}

// A box raised on a worker thread (a reader that failed) is shown on the
// window's thread once its loop runs; the worker is never held, and a
// question from it answers no.
TEST_F(MainWindowTest, BoxesFromWorkerThreadsAreShownOnTheWindowsThread) {
    Create();
    HeadlessUiHost().ClearBoxes();
    HeadlessUiHost().ScriptAnswers({IDYES});
    int nOk = 0, nAnswer = 0;
    std::thread worker([&] {
        nOk = UiHost().MessageBox(u"reader stopped", u"VELKA", MB_ICONERROR);
        nAnswer = UiHost().MessageBox(u"go on?", u"VELKA", MB_YESNO | MB_ICONQUESTION);
    });
    worker.join();
    EXPECT_EQ(nOk, IDOK);
    EXPECT_EQ(nAnswer, IDNO);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    QCoreApplication::processEvents();
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].strText, u"reader stopped");
    EXPECT_EQ(boxes[1].uStyle & 0xFu, static_cast<UINT>(MB_OK));
    HeadlessUiHost().ScriptAnswers({});
}

} // namespace
} // namespace velka
