// The entry point's body: start-up in its fixed order with a CAtExit guard
// after each start call, the message loop, and shutdown in reverse order.
// The window system and the dialogs shown on the way are reached through
// IAppPlatform.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/win_types.h"
#include "shell/main_window.h"
#include "shell/screen.h"

namespace velka {

class IAppPlatform {
public:
    virtual ~IAppPlatform() = default;
    // Single instance: when another instance runs, brings it to the front,
    // hands it a non-empty command line and returns true.
    virtual bool HandOverToRunningInstance(const std::u16string& strCmdLine) = 0;
    virtual CScreenMetrics ReadScreenMetrics() = 0;
    // The warning after an unclean exit (dialog 102): returns when it is
    // closed; the reset button calls fnReset, and the dialog stays open.
    virtual void ShowCrashWarning(const std::function<void()>& fnReset) = 0;
    // The safety warning; returns true when the user ticked "do not show
    // this again".
    virtual bool ShowSafetyWarning() = 0;
    // Creates the main window (title, client size) over the window logic,
    // delivering WM_CREATE; null when creation failed.
    virtual std::unique_ptr<IWindowPort> CreateMainWindow(CMainWindow& wnd, const std::u16string& strTitle,
                                                          int cx, int cy) = 0;
    virtual void ShowMainWindow(int nShowCmd) = 0;
    // Runs the message loop until WM_QUIT; returns its exit code.
    virtual int RunMessageLoop() = 0;
    // The program that shows a fault report box ("" : stderr only).
    virtual std::string CrashReporterProgram() { return {}; }
};

constexpr int SW_SHOW = 5;
constexpr int SW_SHOWDEFAULT = 10;

// The command line as the program sees it: one wide string.
bool IsRestartCommandLine(const std::u16string& strCmdLine);

// Runs the program; returns the process's exit code.
int VelkaMain(const std::u16string& strCmdLine, int nShowCmd, IAppPlatform& platform);

// Milliseconds from the first instruction of the entry point to the end of
// start-up (shown by a gauge).
DWORD StartupDuration();

} // namespace velka
