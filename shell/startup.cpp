#include "shell/startup.h"

#include <optional>

#include "platform/clock.h"
#include "platform/crash_filter.h"
#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "shell/at_exit.h"
#include "shell/file_types.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "shell/subsystem_hooks.h"

namespace velka {
namespace {

DWORD g_dwStartupDuration = 0;

// "The settings store cannot be opened ... runs on defaults".

// Page titles of the pages that only draw their title so far.
constexpr UINT c_auPageTitles[c_cPages] = {IDS_PAGE_MAP, IDS_PAGE_ROUTE, IDS_PAGE_GAUGES, IDS_PAGE_SATELLITES};

std::array<std::unique_ptr<CPage>, c_cPages> CreatePages() {
    std::array<std::unique_ptr<CPage>, c_cPages> pages;
    for (UINT i = 0; i < c_cPages; ++i) {
        const auto& fn = SubsystemHooks().afnCreatePage[i];
        if (fn) pages[i] = fn();
        if (!pages[i]) pages[i] = std::make_unique<CTitlePage>(c_auPageTitles[i]);
    }
    return pages;
}

// The map at start-up: the stored map on a restart or an empty command
// line, otherwise the file the command line names ("-D" + an atlas index).
void OpenStartupMap(const std::u16string& strCmdLine, bool fRestart) {
    const CSubsystemHooks& h = SubsystemHooks();
    if (fRestart || strCmdLine.empty()) {
        std::u16string strMap = ReadSettingString(u"MapFileName", 260, u"");
        if (!strMap.empty()) {
            bool fAtlas = ReadSettingBool(u"MapIsAtlas", false);
            CWaitCursor wait;
            CallHook(h.map.fnOpen, strMap, fAtlas);
        }
    } else if (strCmdLine.size() >= 2 && strCmdLine[0] == u'-' && strCmdLine[1] == u'D') {
        CWaitCursor wait;
        CallHook(h.map.fnOpen, strCmdLine.substr(2), true);
    } else {
        CWaitCursor wait;
        CallHook(h.map.fnOpen, strCmdLine, false);
    }
}

void CrashCleanup() {
    // The value is false from start-up on; written again as the fault
    // report's last word, then the track file is closed.
    WriteSettingBool(u"SafeExit", false);
    if (auto pfn = SubsystemHooks().tracks.pfnCrashStopRecording) pfn();
}

} // namespace

bool IsRestartCommandLine(const std::u16string& strCmdLine) { return strCmdLine == u"/Start"; }

DWORD StartupDuration() { return g_dwStartupDuration; }

int VelkaMain(const std::u16string& strCmdLine, int nShowCmd, IAppPlatform& platform) {
    CCrashContextScope crashContext(ccMain);
    const CSubsystemHooks& h = SubsystemHooks();
    CCrashFilterConfig crashConfig;
    if (EnsurePrivateDirectory(VelkaStateDir())) crashConfig.strLogPath = VelkaStateDir() + "/velka_error_log.txt";
    crashConfig.strCaption = MainCaption();
    crashConfig.strReporter = platform.CrashReporterProgram();
    InstallCrashFilter(crashConfig);

    // 1. Self-checks (assertions only).
    RunSelfChecks();
    // 2.
    const DWORD dwStart = GetTickCount();
    // 3, 4. A restart never gives way to a running instance.
    const bool fRestart = IsRestartCommandLine(strCmdLine);
    if (!fRestart && platform.HandOverToRunningInstance(strCmdLine)) return 0;
    // 5.
    SetScreenMetrics(platform.ReadScreenMetrics());
    // 6. The first lookup selects the language module.
    {
        std::u16string strCaption = LoadStr(IDS_MAIN_CAPTION);
        if (!strCaption.empty() && strCaption != FormatW(u"<??%d>", IDS_MAIN_CAPTION)) SetMainCaption(strCaption);
        crashConfig.strCaption = MainCaption();
        crashConfig.strDefaultText = LoadStr(IDS_CRASH);
        crashConfig.strWndProcText = LoadStr(IDS_CRASH_WITH_TEXT);
        InstallCrashFilter(crashConfig);
    }
    // 7. The common controls need no set-up here.
    // 8.
    SettingsOpen();
    CAtExit guardSettings([] { SettingsClose(); });
    if (const std::string strAside = RegDamagedStoreAside(); !strAside.empty()) {
        // Replaced by a new store with the defaults; the old one kept aside.
        ShowError(IDS_SETTINGS_DAMAGED, FromUtf8(RegDatabasePath()).c_str(), FromUtf8(RegLastOpenError()).c_str(),
                  FromUtf8(strAside).c_str());
    } else if (SettingsUnavailable()) {
        // The damaged or unreadable store stays as it is; the run goes on
        // with defaults, and says so this once.
        ShowError(IDS_SETTINGS_UNAVAILABLE, FromUtf8(RegDatabasePath()).c_str(),
                  FromUtf8(RegLastOpenError()).c_str());
    }

    // 9. Crash detection.
    if (!ReadSettingBool(u"SafeExit", true)) {
        platform.ShowCrashWarning([] {
            if (AskYesNo(IDS_ASK_RESET_SETTINGS) == IDYES) DeleteAllSettings();
        });
    }
    // 10. From here on the stored value says the program is running.
    WriteSettingBool(u"SafeExit", false);
    SetCrashCleanup(&CrashCleanup);
    // The gauges read their stored values and titles: after the store and
    // the language, before the pages that show them.
    CallHook(h.gauges.fnRegister);
    CAtExit guardGauges([&h] { CallHook(h.gauges.fnUnregister); });

    // 12.
    RegisterFileTypes();
    // 13. The owner-drawn menu keeps no highlight state between runs.

    // 14, 15.
    CMainWindow wnd(CreatePages());
    std::unique_ptr<IWindowPort> pPort = platform.CreateMainWindow(wnd, MainCaption(), 248, 330);
    if (!pPort || g_hWnd != &wnd) return 1;
    // 16.
    pPort->SetForeground();

    // 17.
    wnd.InitPages();
    CAtExit guardPages([&wnd] { wnd.DonePages(); });
    // 18.
    CallHook(h.gauges.fnReadUnitOptions);
    CallHook(h.gauges.fnCreateFonts);
    CAtExit guardGaugeFonts([&h] { CallHook(h.gauges.fnDeleteFonts); });
    // 20.
    platform.ShowMainWindow(nShowCmd);
    CAtExit guardBitmap([&wnd] { wnd.DeleteBitmap(); });
    // 22.
    OpenStartupMap(strCmdLine, fRestart);
    // 23.
    if (ReadSettingBool(u"SafetyWarning", true) && platform.ShowSafetyWarning())
        WriteSettingBool(u"SafetyWarning", false);
    CAtExit guardSound([&h] { CallHook(h.sound.fnStop); });
    // 24.
    if (ReadSettingBool(u"RecordTrack", false)) CallHook(h.tracks.fnStartRecording);
    CAtExit guardTrack([&h] { CallHook(h.tracks.fnStopRecording); });
    // 25.
    CallHook(h.tracks.fnStartOnScreen);
    CAtExit guardOnScreenTrack([&h] { CallHook(h.tracks.fnCloseOnScreen); });
    // 26.
    CallHook(h.navigation.fnStart);
    CAtExit guardNavigation([&h] { CallHook(h.navigation.fnStop); });
    // 27.
    CallHook(h.positioning.fnStart, ReadSettingBool(u"ScanCOMPorts", true));
    CAtExit guardPositioning([&h] { CallHook(h.positioning.fnStop); });
    // 28.
    wnd.UpdateMenu();
    // 29.
    g_dwStartupDuration = GetTickCount() - dwStart;
    // 30.
    {
        CWaitCursor wait;
        wnd.RefreshAllPages(true);
    }
    // 31.
    platform.RunMessageLoop();
    // 32.
    DebugOutput("END of message loop\n");
    // 33. The guards run in reverse order as they go out of scope.
    return 0;
}

} // namespace velka
