// The start-up's window-system side on Qt: the single-instance socket,
// the screen metrics, the crash warning and safety warning dialogs, the
// main window and the message loop. In headless mode (VELKA_HEADLESS=1 or
// the offscreen platform) dialogs are not shown: each is written to stderr
// as "dialog: ..." and answered as the environment scripts it
// (VELKA_HEADLESS_CRASH_DIALOG=continue|reset,
// VELKA_HEADLESS_SAFETY=keep|hide; yes/no boxes: VELKA_HEADLESS_YESNO=yes|no).
#pragma once
#include <QSocketNotifier>
#include <memory>

#include "app/qt_main_window.h"
#include "platform/qt/qt_ui_host.h"
#include "platform/qt/single_instance.h"
#include "shell/startup.h"

namespace velka {

bool IsHeadlessEnvironment();

class CQtAppPlatform : public IAppPlatform {
public:
    explicit CQtAppPlatform(CQtUiHost& host);
    ~CQtAppPlatform() override;

    bool HandOverToRunningInstance(const std::u16string& strCmdLine) override;
    CScreenMetrics ReadScreenMetrics() override;
    void ShowCrashWarning(const std::function<void()>& fnReset) override;
    bool ShowSafetyWarning() override;
    std::unique_ptr<IWindowPort> CreateMainWindow(CMainWindow& wnd, const std::u16string& strTitle, int cx,
                                                  int cy) override;
    void ShowMainWindow(int nShowCmd) override;
    int RunMessageLoop() override;
    std::string CrashReporterProgram() override;

    // Saves a picture of the window this many milliseconds after the loop
    // starts, then asks for the orderly exit (--screenshot).
    void ScheduleScreenshot(const QString& strPath, int msDelay);

private:
    CQtUiHost& m_host;
    bool m_fHeadless;
    CSingleInstance m_instance;
    CQtMainWindow* m_pWindow = nullptr;
    std::unique_ptr<QSocketNotifier> m_pTermNotifier;
    QString m_strScreenshot;
    int m_msScreenshot = 0;
    bool m_fExitBeforeWindow = false;
};

} // namespace velka
