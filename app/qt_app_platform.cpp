#include "app/qt_app_platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"
#include "platform/termination.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString ToQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::string EnvOr(const char* szName, const char* szDefault) {
    const char* v = std::getenv(szName);
    return v && *v ? v : szDefault;
}

void Say(const std::string& strLine) {
    std::fprintf(stderr, "%s\n", strLine.c_str());
    std::fflush(stderr);
}

// Texts of the safety warning dialog.

} // namespace

bool IsHeadlessEnvironment() {
    const char* h = std::getenv("VELKA_HEADLESS");
    if (h && *h && std::strcmp(h, "0") != 0) return true;
    const char* p = std::getenv("QT_QPA_PLATFORM");
    return p && std::strncmp(p, "offscreen", 9) == 0;
}

CQtAppPlatform::CQtAppPlatform(CQtUiHost& host) : m_host(host), m_fHeadless(host.IsHeadless()) {
    if (m_fHeadless) {
        HeadlessUiHost().m_fEcho = true;
        HeadlessUiHost().m_nDefaultYesNo = EnvOr("VELKA_HEADLESS_YESNO", "no") == "yes" ? IDYES : IDNO;
    }
    // SIGTERM and SIGINT become the orderly exit request.
    int fd = InstallTerminationPipe();
    if (fd >= 0) {
        m_pTermNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(m_pTermNotifier.get(), &QSocketNotifier::activated, [this] {
            if (!DrainTerminationPipe()) return;
            // A signal during start-up, before the window exists, waits for it.
            if (m_pWindow)
                RequestExit(false);
            else
                m_fExitBeforeWindow = true;
        });
    }
}

CQtAppPlatform::~CQtAppPlatform() = default;

bool CQtAppPlatform::HandOverToRunningInstance(const std::u16string& strCmdLine) {
    m_instance.LockStartup();
    const HandOverResult result = CSingleInstance::HandOver(strCmdLine);
    if (result == HandOverResult::NoInstance) return false;
    m_instance.UnlockStartup();
    if (result == HandOverResult::NotAnswering) {
        // Running beside a frozen instance would share its settings and
        // falsely report an unclean exit: say so and leave it alone.
        if (m_fHeadless) Say("velka: the running instance does not answer");
        ShowError(IDS_NOT_ANSWERING);
        return true;
    }
    if (m_fHeadless) Say("velka: handed over to the running instance");
    return true;
}

CScreenMetrics CQtAppPlatform::ReadScreenMetrics() {
    CScreenMetrics m;
    if (QScreen* pScreen = QGuiApplication::primaryScreen()) {
        // Pages draw in device pixels: the factors follow the real device
        // pixel ratio (2 on a 2x screen), not Qt's scaled logical inch.
        m = ScreenMetricsFor(pScreen->size().width(), pScreen->size().height(),
                             pScreen->logicalDotsPerInchX(), pScreen->logicalDotsPerInchY(),
                             pScreen->devicePixelRatio());
    }
    return m;
}

void CQtAppPlatform::ShowCrashWarning(const std::function<void()>& fnReset) {
    const std::u16string strText = LoadStr(IDS_CRASH_DIALOG_TEXT);
    if (m_fHeadless) {
        Say("dialog: 102: " + ToUtf8(strText));
        if (EnvOr("VELKA_HEADLESS_CRASH_DIALOG", "continue") == "reset") {
            Say("dialog: 102: reset");
            fnReset();
        }
        Say("dialog: 102: continue");
        return;
    }
    QDialog dlg;
    dlg.setWindowTitle(ToQString(MainCaption()));
    auto* pLayout = new QVBoxLayout(&dlg);
    auto* pLabel = new QLabel(ToQString(strText));
    pLabel->setWordWrap(true);
    pLayout->addWidget(pLabel);
    auto* pContinue = new QPushButton(ToQString(LoadStr(IDS_CRASH_CONTINUE)));
    auto* pReset = new QPushButton(ToQString(LoadStr(IDS_CRASH_RESET_SETTINGS)));
    pContinue->setDefault(true);
    pLayout->addWidget(pContinue);
    pLayout->addWidget(pReset);
    QObject::connect(pContinue, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(pReset, &QPushButton::clicked, &dlg, [&fnReset] { fnReset(); });
    dlg.exec();
}

bool CQtAppPlatform::ShowSafetyWarning() {
    const std::u16string strText = LoadStr(IDS_SAFETY_WARNING);
    if (m_fHeadless) {
        Say("dialog: safety warning: " + ToUtf8(strText));
        return EnvOr("VELKA_HEADLESS_SAFETY", "keep") == "hide";
    }
    QDialog dlg(m_pWindow);
    dlg.setWindowTitle(ToQString(MainCaption()));
    auto* pLayout = new QVBoxLayout(&dlg);
    auto* pLabel = new QLabel(ToQString(strText));
    pLabel->setWordWrap(true);
    pLayout->addWidget(pLabel);
    auto* pCheck = new QCheckBox(ToQString(LoadStr(IDS_SAFETY_DONT_SHOW)));
    pLayout->addWidget(pCheck);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok);
    pLayout->addWidget(pButtons);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    dlg.exec();
    return pCheck->isChecked();
}

std::unique_ptr<IWindowPort> CQtAppPlatform::CreateMainWindow(CMainWindow& wnd, const std::u16string& strTitle,
                                                              int cx, int cy) {
    auto pWindow = std::make_unique<CQtMainWindow>(wnd, m_host);
    m_pWindow = pWindow.get();
    pWindow->m_fnReleaseInstance = [this] { m_instance.Close(); };
    if (!pWindow->Create(ToQString(strTitle), cx, cy)) {
        m_pWindow = nullptr;
        m_instance.UnlockStartup();
        return nullptr;
    }
    // The window exists: a later start finds this instance from now on.
    CQtMainWindow* pRaw = pWindow.get();
    const bool fHeadless = m_fHeadless;
    m_instance.Listen(
        [pRaw] {
            if (!pRaw->IsDestroyed()) pRaw->SetForeground();
        },
        [pRaw, fHeadless](const std::u16string& strCmdLine) {
            if (fHeadless) Say("velka: command line received: " + ToUtf8(strCmdLine));
            if (pRaw->IsDestroyed()) return;
            COPYDATASTRUCT cds;
            cds.dwData = 0;
            cds.cbData = static_cast<DWORD>((strCmdLine.size() + 1) * 2);
            cds.lpData = strCmdLine.c_str();
            pRaw->Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
        });
    m_instance.UnlockStartup();
    if (m_fExitBeforeWindow) RequestExit(false);
    return pWindow;
}

void CQtAppPlatform::ShowMainWindow(int) {
    if (!m_pWindow) return;
    m_pWindow->show();
    // The first WM_SIZE comes with the shown client size.
    const SIZE size = m_pWindow->Client()->DeviceSize();
    m_pWindow->Send(WM_SIZE, 0, MakeLParam(size.cx, size.cy));
}

int CQtAppPlatform::RunMessageLoop() {
    if (m_pWindow && m_pWindow->QuitPosted()) return m_pWindow->QuitCode();
    if (!m_strScreenshot.isEmpty() && m_pWindow) {
        CQtMainWindow* pWindow = m_pWindow;
        QString strPath = m_strScreenshot;
        QTimer::singleShot(m_msScreenshot, pWindow, [pWindow, strPath] {
            const bool fOk = pWindow->grab().save(strPath);
            Say(std::string("velka: screenshot ") + (fOk ? "saved: " : "failed: ") + strPath.toStdString());
            RequestExit(false);
        });
    }
    // Headless, VELKA_HEADLESS_COMMANDS ("57601,40037") runs menu commands
    // as soon as the loop runs, in order, as if chosen from the menu.
    const char* szCommands = std::getenv("VELKA_HEADLESS_COMMANDS");
    if (m_fHeadless && m_pWindow && szCommands && *szCommands) {
        CQtMainWindow* pWindow = m_pWindow;
        const QStringList ids = QString::fromUtf8(szCommands).split(QLatin1Char(','), Qt::SkipEmptyParts);
        QTimer::singleShot(0, pWindow, [pWindow, ids] {
            for (const QString& strId : ids) {
                if (pWindow->IsDestroyed()) break;
                Say("velka: command " + strId.trimmed().toStdString());
                pWindow->Send(WM_COMMAND, strId.trimmed().toUInt(), 0);
            }
        });
    }
    if (m_fHeadless) Say("velka: message loop");
    return QApplication::exec();
}

std::string CQtAppPlatform::CrashReporterProgram() {
    return m_fHeadless ? std::string() : ProgramDir() + "/velka";
}

void CQtAppPlatform::ScheduleScreenshot(const QString& strPath, int msDelay) {
    m_strScreenshot = strPath;
    m_msScreenshot = msDelay;
}

} // namespace velka
