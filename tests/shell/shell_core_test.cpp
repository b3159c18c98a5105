// The shell apart from the window system: the start-up order and its
// reverse at shutdown, crash detection with the reset, the map at
// start-up, file-name patterns, guards and the file-type registration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/ui_host.h"
#include "shell/at_exit.h"
#include "shell/file_pattern.h"
#include "shell/file_types.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "shell/subsystem_hooks.h"
#include "tests/support/fake_window_port.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

using Log = std::vector<std::string>;

class CFakePort : public test::CFakeWindowPort {
public:
    CFakePort(CMainWindow& wnd, Log& log) : m_wnd(wnd), m_log(log) { m_size = {240, 300}; }
    bool BuildMenuBar(const std::vector<CMenuPopup>&) override { return m_fMenuOk; }
    void Destroy() override {
        m_fDestroyed = true;
        m_log.push_back("destroy");
        m_wnd.WndProc(WM_DESTROY, 0, 0);
    }
    bool StartRestartedProcess() override {
        m_log.push_back(m_fDestroyed ? "restart after destroy" : "restart");
        return true;
    }
    bool m_fMenuOk = true;

private:
    CMainWindow& m_wnd;
    Log& m_log;
    bool m_fDestroyed = false;
};

class CFakePlatform : public IAppPlatform {
public:
    explicit CFakePlatform(Log& log) : m_log(log) {}
    bool HandOverToRunningInstance(const std::u16string&) override {
        m_log.push_back("handover");
        return m_fOtherInstance;
    }
    CScreenMetrics ReadScreenMetrics() override { return {1920, 1080, 192, 96}; }
    void ShowCrashWarning(const std::function<void()>& fnReset) override {
        m_log.push_back("crash dialog");
        if (m_fPressReset) fnReset();
    }
    bool ShowSafetyWarning() override {
        m_log.push_back("safety");
        return true;
    }
    std::unique_ptr<IWindowPort> CreateMainWindow(CMainWindow& wnd, const std::u16string&, int cx, int cy) override {
        m_log.push_back("window " + std::to_string(cx) + "x" + std::to_string(cy));
        auto p = std::make_unique<CFakePort>(wnd, m_log);
        p->m_fMenuOk = m_fMenuOk;
        wnd.Attach(p.get());
        if (wnd.WndProc(WM_CREATE, 0, 0) != 0) return nullptr;
        return p;
    }
    void ShowMainWindow(int) override { m_log.push_back("show"); }
    int RunMessageLoop() override {
        m_log.push_back("loop");
        if (m_uExit) {
            // The exit request as the loop would deliver it.
            g_hWnd->WndProc(WM_EXIT_REQUEST, m_uExit - 1, 0);
        }
        return 0;
    }
    UINT m_uExit = 0; // 1: exit, 2: exit and restart
    bool m_fOtherInstance = false, m_fPressReset = false, m_fMenuOk = true;

private:
    Log& m_log;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        SubsystemHooks() = CSubsystemHooks{};
        setenv("XDG_DATA_HOME", m_dataHome.Path().c_str(), 1);
        setenv("XDG_STATE_HOME", m_dataHome.File("state").c_str(), 1);
        HeadlessUiHost().ClearBoxes();
        CSubsystemHooks& h = SubsystemHooks();
        auto Rec = [this](const char* sz) { return [this, sz] { m_log.push_back(sz); }; };
        h.vecSelfChecks.push_back(Rec("selfcheck"));
        h.gauges.fnRegister = Rec("+gauges");
        h.gauges.fnUnregister = Rec("-gauges");
        h.gauges.fnReadUnitOptions = Rec("units");
        h.gauges.fnCreateFonts = Rec("+gaugefonts");
        h.gauges.fnDeleteFonts = Rec("-gaugefonts");
        h.sound.fnStop = Rec("-sound");
        h.tracks.fnStartRecording = Rec("+track");
        h.tracks.fnStopRecording = Rec("-track");
        h.tracks.fnStartOnScreen = Rec("+screentrack");
        h.tracks.fnCloseOnScreen = Rec("-screentrack");
        h.navigation.fnStart = Rec("+navigation");
        h.navigation.fnStop = Rec("-navigation");
        h.positioning.fnStart = [this](bool fThread) { m_log.push_back(fThread ? "+gps thread" : "+gps"); };
        h.positioning.fnStop = Rec("-gps");
        h.map.fnOpen = [this](const std::u16string& s, bool fAtlas) {
            m_log.push_back(std::string(fAtlas ? "atlas " : "map ") + std::string(s.begin(), s.end()));
            return true;
        };
    }
    void TearDown() override {
        SubsystemHooks() = CSubsystemHooks{};
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_STATE_HOME");
    }

    test::ScopedSettings m_settings;
    test::TempDir m_dataHome;
    Log m_log;
};

TEST_F(StartupTest, StartsInOrderAndStopsInReverse) {
    WriteSettingBool(u"RecordTrack", true);
    WriteSettingBool(u"ScanCOMPorts", false);
    WriteSettingString(u"MapFileName", u"/maps/last.zem");
    CFakePlatform platform(m_log);
    EXPECT_EQ(VelkaMain(u"", SW_SHOWDEFAULT, platform), 0);
    const Log expected = {"selfcheck", "handover", "+gauges", "window 248x330", "units", "+gaugefonts", "show",
                          "map /maps/last.zem", "safety", "+track", "+screentrack", "+navigation", "+gps",
                          "loop", "-gps", "-navigation", "-screentrack", "-track", "-sound", "-gaugefonts", "-gauges"};
    EXPECT_EQ(m_log, expected);
    // The ticked safety warning is not shown again; the screen factors are integer.
    EXPECT_FALSE(ReadSettingBool(u"SafetyWarning", true));
    EXPECT_EQ(ScreenFactorX(), 2);
    EXPECT_EQ(ScreenFactorY(), 1);
    // Start-up alone leaves the running mark; only the exit request clears it.
    EXPECT_FALSE(ReadSettingBool(u"SafeExit", true));
    EXPECT_EQ(g_hWnd, nullptr);
}

TEST_F(StartupTest, SecondInstanceAndCommandLines) {
    CFakePlatform platform(m_log);
    platform.m_fOtherInstance = true;
    WriteSettingBool(u"SafeExit", true);
    EXPECT_EQ(VelkaMain(u"/maps/a.zem", SW_SHOWDEFAULT, platform), 0);
    EXPECT_EQ(m_log, (Log{"selfcheck", "handover"}));
    EXPECT_TRUE(ReadSettingBool(u"SafeExit", false)); // no setting touched

    // "/Start" never asks for another instance and opens the stored map.
    m_log.clear();
    WriteSettingString(u"MapFileName", u"/maps/Index.zidx");
    WriteSettingBool(u"MapIsAtlas", true);
    VelkaMain(u"/Start", SW_SHOWDEFAULT, platform);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "handover"), 0);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "atlas /maps/Index.zidx"), 1);

    platform.m_fOtherInstance = false;
    for (auto [szCmd, szExpect] : {std::pair{u"-D/maps/Index.zidx", "atlas /maps/Index.zidx"},
                                   std::pair{u"-D", "atlas "}, std::pair{u"/maps/x y.zem", "map /maps/x y.zem"},
                                   std::pair{u"/start", "map /start"}}) {
        m_log.clear();
        VelkaMain(szCmd, SW_SHOWDEFAULT, platform);
        EXPECT_EQ(std::count(m_log.begin(), m_log.end(), szExpect), 1) << szExpect;
    }
}

TEST_F(StartupTest, UncleanExitShowsTheDialogAndResetEmptiesTheSettings) {
    WriteSettingBool(u"SafeExit", false);
    WriteSettingInt(u"MapZoom", 12);
    WriteSettingInt(u"SafetyWarning", 0);
    CFakePlatform platform(m_log);
    platform.m_fPressReset = true;
    HeadlessUiHost().ScriptAnswers({IDNO});
    VelkaMain(u"", SW_SHOWDEFAULT, platform);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "crash dialog"), 1);
    EXPECT_EQ(ReadSettingInt(u"MapZoom", -1), 12); // "no" keeps everything

    m_log.clear();
    HeadlessUiHost().ScriptAnswers({IDYES});
    VelkaMain(u"", SW_SHOWDEFAULT, platform);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "crash dialog"), 1);
    EXPECT_EQ(ReadSettingInt(u"MapZoom", -1), -1);
    // The reset happened before the safety setting was read: it shows again.
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "safety"), 1);
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes.back().uStyle & 0xF, MB_YESNO);
}

TEST_F(StartupTest, ExitRequestWritesSafeExitAndARestartStartsBeforeTheWindowGoes) {
    CFakePlatform platform(m_log);
    platform.m_uExit = 2;
    VelkaMain(u"", SW_SHOWDEFAULT, platform);
    auto it = std::find(m_log.begin(), m_log.end(), "loop");
    ASSERT_NE(it, m_log.end());
    EXPECT_EQ(*++it, "restart");
    EXPECT_EQ(*++it, "destroy");
    EXPECT_EQ(*++it, "-gps"); // then the guards
    EXPECT_TRUE(ReadSettingBool(u"SafeExit", false));
}

TEST_F(StartupTest, UnopenableSettingsRunOnDefaultsAndSaySoOnce) {
    RegSetDatabasePath("/proc/velka-none/settings.db");
    CFakePlatform platform(m_log);
    EXPECT_EQ(VelkaMain(u"", SW_SHOWDEFAULT, platform), 0);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "loop"), 1);
    std::size_t cSaid = 0;
    for (const RecordedBox& box : HeadlessUiHost().Boxes())
        cSaid += box.strText.find(u"/proc/velka-none/settings.db") != std::u16string::npos;
    EXPECT_EQ(cSaid, 1u);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "crash dialog"), 0);
}

TEST_F(StartupTest, MenuBarFailureUndoesTheStartAndReturns) {
    CFakePlatform platform(m_log);
    platform.m_fMenuOk = false;
    EXPECT_NE(VelkaMain(u"", SW_SHOWDEFAULT, platform), 0);
    EXPECT_EQ(m_log, (Log{"selfcheck", "handover", "+gauges", "window 248x330", "destroy", "-gauges"}));
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().strText, u"Couldn't create menu bar");
}

TEST(FilePattern, MatchesWithStarsQuestionMarksAndWithoutCase) {
    EXPECT_TRUE(MatchFileName(u"ar.e.zem", u"*.zem"));
    EXPECT_TRUE(MatchFileName(u"MAP.ZEM", u"*.zem"));
    EXPECT_TRUE(MatchFileName(u"Карта.zem", u"карта.*"));
    EXPECT_TRUE(MatchFileName(u"index.zidx", u"*"));
    EXPECT_TRUE(MatchFileName(u"", u"*"));
    EXPECT_TRUE(MatchFileName(u"0409.rll", u"????.rll"));
    EXPECT_TRUE(MatchFileName(u"a.b.c.img", u"*.*.img"));
    EXPECT_FALSE(MatchFileName(u"map.zem.bak", u"*.zem"));
    EXPECT_FALSE(MatchFileName(u"zem", u"*.zem"));
    EXPECT_FALSE(MatchFileName(u"409.rll", u"????.rll"));
    // A pathological pattern stays fast (no exponential back-tracking).
    std::u16string name(5000, u'a');
    EXPECT_FALSE(MatchFileName(name, u"*a*a*a*a*a*a*a*a*b"));
}

TEST(AtExit, GuardsRunInReverseOrderOnceEach) {
    std::vector<int> order;
    {
        CAtExit a([&] { order.push_back(1); });
        CAtExit b([&] { order.push_back(2); });
        CAtExit c([&] { order.push_back(3); });
        b.Run();
    }
    EXPECT_EQ(order, (std::vector<int>{2, 3, 1}));
}

TEST(FileTypes, WritesTheMimePackageAndDesktopEntryOnlyWhenChanged) {
    test::TempDir home;
    setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    EXPECT_TRUE(RegisterFileTypes());
    const std::string xml = test::ReadFile(home.Path() / "mime/packages/velka.xml");
    for (const char* sz : {"*.zem", "*.img", "*.mps", "*.gdb", "*.wpt", "Карта ГИС Велка", "Карта Garmin",
                           "MapSource Document", "Garmin GPS Database", "Путевые точки OziExplorer"})
        EXPECT_NE(xml.find(sz), std::string::npos) << sz;
    const std::string desktop = test::ReadFile(home.Path() / "applications/velka.desktop");
    EXPECT_NE(desktop.find("MimeType=application/x-velka-img;application/x-velka-zem;\n"), std::string::npos);
    EXPECT_NE(desktop.find("/velka\" %f\n"), std::string::npos);
    // The entry names the icon installed into the user's theme, a copy of
    // the program's own.
    EXPECT_NE(desktop.find("\nIcon=velka\n"), std::string::npos);
    const std::string icon = test::ReadFile(home.Path() / "icons/hicolor/scalable/apps/velka.svg");
    EXPECT_EQ(icon, test::ReadFile(test::SourcePath("data/runtime/velka.svg")));
    EXPECT_NE(icon.find("<svg"), std::string::npos);
    // Unchanged content is not written again.
    auto t0 = std::filesystem::last_write_time(home.Path() / "mime/packages/velka.xml");
    EXPECT_FALSE(RegisterFileTypes());
    EXPECT_EQ(std::filesystem::last_write_time(home.Path() / "mime/packages/velka.xml"), t0);
    // An unwritable data home never stops the start-up.
    setenv("XDG_DATA_HOME", "/proc/velka-none", 1);
    EXPECT_FALSE(RegisterFileTypes());
    unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace velka
