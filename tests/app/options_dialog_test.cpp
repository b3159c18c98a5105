// The options dialog on the offscreen Qt platform: the page it opens on and
// the index it stores, each page writing its settings, what applying sets
// in motion (units re-read, positioning restarted, the restart request),
// and the GPS page's port states on real pseudo-terminals made by socat.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTabWidget>
#include <QTreeWidget>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

#include <gtest/gtest.h>

#include "app/composition_root.h"
#include "app/qt_options_dialog.h"
#include "gauges/units.h"
#include "gps/com_port.h"
#include "gps/com_port.h"
#include "gps/gps_options.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/language.h"
#include "shell/main_window.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/subsystem_hooks.h"
#include "shell/notifications.h"
#include "shell/string_ids.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace velka {
namespace {

using namespace std::chrono_literals;

QString Text(UINT uId) { return ToOptionsQString(LoadStr(uId)); }

// One end of a socat pseudo-terminal pair, reachable through a link.
class CPty {
public:
    explicit CPty(const std::string& strLink) : m_strLink(strLink) {
        const std::string a = "pty,raw,echo=0,link=" + strLink, b = "pty,raw,echo=0,link=" + strLink + "-far";
        const char* argv[] = {"socat", a.c_str(), b.c_str(), nullptr};
        if (posix_spawnp(&m_pid, "socat", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) m_pid = -1;
        for (int i = 0; i < 300 && m_pid > 0 && !Ready(); ++i) std::this_thread::sleep_for(10ms);
    }
    ~CPty() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;
    bool Ready() const { return std::filesystem::exists(m_strLink) && std::filesystem::exists(m_strLink + "-far"); }
    const std::string& Path() const { return m_strLink; }

private:
    std::string m_strLink;
    pid_t m_pid = -1;
};

// A screen page that counts what it is told.
class CCountingPage : public CTitlePage {
public:
    CCountingPage() : CTitlePage(2200) {}
    void OnUnitsChanged() override { ++m_cUnits; }
    void OnSettingsChanged() override { ++m_cSettings; }
    int m_cUnits = 0, m_cSettings = 0;
};

// The main window's logic without a window: the pages the dialog tells.
class CPagesWindow {
public:
    CPagesWindow() {
        std::array<std::unique_ptr<CPage>, c_cPages> pages;
        for (std::size_t i = 0; i < c_cPages; ++i) {
            auto p = std::make_unique<CCountingPage>();
            m_apPages[i] = p.get();
            pages[i] = std::move(p);
        }
        m_pWnd = std::make_unique<CMainWindow>(std::move(pages));
        g_hWnd = m_pWnd.get();
        SetPageHost(m_pWnd.get());
    }
    ~CPagesWindow() {
        g_hWnd = nullptr;
        SetPageHost(nullptr);
    }
    CPagesWindow(const CPagesWindow&) = delete;
    CPagesWindow& operator=(const CPagesWindow&) = delete;
    // Counts of page i.
    int Units(std::size_t i) const { return m_apPages[i]->m_cUnits; }
    int Settings(std::size_t i) const { return m_apPages[i]->m_cSettings; }

private:
    std::unique_ptr<CMainWindow> m_pWnd;
    std::array<CCountingPage*, c_cPages> m_apPages{};
};

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        SubsystemHooks() = CSubsystemHooks{};
        SetUserDefaultLangIdOverride(c_langBuiltin);
        ResetResourceSelection();
        HeadlessUiHost().TakePosted();
        // No port of this machine takes part: every index names a missing device.
        for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i)
            WriteSettingString(FormatW(u"Device_COM%d", i).c_str(), FromUtf8(dir.File("none")).c_str());
    }
    void TearDown() override {
        SubsystemHooks() = CSubsystemHooks{};
        PositioningHooks() = CPositioningHooks{};
        SetUserDefaultLangIdOverride(0);
        ResetResourceSelection();
    }
    void UseDevice(int nIndex, const std::string& strPath) {
        WriteSettingString(FormatW(u"Device_COM%d", nIndex).c_str(), FromUtf8(strPath).c_str());
    }
    static QTreeWidgetItem* Row(QTreeWidget* pList, const QString& strFirstColumn) {
        for (int i = 0; i < pList->topLevelItemCount(); ++i)
            if (pList->topLevelItem(i)->text(0) == strFirstColumn ||
                pList->topLevelItem(i)->data(0, Qt::UserRole).toString() == strFirstColumn)
                return pList->topLevelItem(i);
        return nullptr;
    }
    // Saves the picture of a page when VELKA_TEST_SCREENSHOTS names a folder.
    static void Grab(COptionsDialog& dlg, int nPage, const char* szName) {
        dlg.Tabs()->setCurrentWidget(dlg.PageAt(nPage));
        dlg.show();
        QApplication::processEvents();
        const QImage image = dlg.grab().toImage();
        EXPECT_EQ(image.width(), dlg.width());
        if (const char* szDir = std::getenv("VELKA_TEST_SCREENSHOTS"))
            image.save(QString::fromStdString(std::string(szDir) + "/options-" + szName + ".png"));
    }

    test::ScopedSettings settings;
    test::TempDir dir;
};

TEST_F(OptionsDialogTest, OpensOnTheStoredPageAndStoresEveryPageShown) {
    WriteSettingInt(u"OptionsPage", c_nOptionsPageClock);
    {
        COptionsDialog dlg(nullptr, ReadSettingInt(u"OptionsPage", 0));
        ASSERT_EQ(dlg.Tabs()->count(), c_cOptionsPages);
        EXPECT_EQ(dlg.Tabs()->currentWidget(), dlg.PageAt(c_nOptionsPageClock));
        EXPECT_EQ(dlg.Tabs()->tabText(c_nOptionsPageGps), Text(IDS_OPTIONS_PAGE_GPS));
        dlg.Tabs()->setCurrentWidget(dlg.PageAt(c_nOptionsPageGps));
        EXPECT_EQ(ReadSettingInt(u"OptionsPage", -1), c_nOptionsPageGps);
        dlg.Tabs()->setCurrentWidget(dlg.PageAt(c_nOptionsPageUnits));
        EXPECT_EQ(ReadSettingInt(u"OptionsPage", -1), c_nOptionsPageUnits);
        for (int i = 0; i < c_cOptionsPages; ++i) EXPECT_EQ(dlg.PageAt(i), dlg.Tabs()->widget(i)) << i;
    }
    // An index no page has opens the first page, and showing it stores it.
    WriteSettingInt(u"OptionsPage", 9);
    COptionsDialog dlg(nullptr, 9);
    EXPECT_EQ(dlg.Tabs()->currentIndex(), 0);
    EXPECT_EQ(ReadSettingInt(u"OptionsPage", -1), 0);
}

TEST_F(OptionsDialogTest, ClockThreshold) {
    COptionsDialog dlg(nullptr, c_nOptionsPageClock);
    auto* pThreshold = dlg.PageAt(c_nOptionsPageClock)->findChild<QLineEdit*>(QStringLiteral("FixupClockThreshold"));
    ASSERT_NE(pThreshold, nullptr);
    EXPECT_EQ(pThreshold->text(), QStringLiteral("1500"));
    pThreshold->setText(QStringLiteral("499"));
    dlg.ApplyAll();
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 500);
    EXPECT_EQ(pThreshold->text(), QStringLiteral("500")) << "the field shows what was stored";
    pThreshold->setText(QStringLiteral("abc"));
    dlg.ApplyAll();
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 500);
    pThreshold->setText(QStringLiteral("2000"));
    dlg.ApplyAll();
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 2000);
    // The check boxes are written too.
    auto boxes = dlg.PageAt(c_nOptionsPageClock)->findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 3);
    for (QCheckBox* p : boxes) p->setChecked(!p->isChecked());
    dlg.ApplyAll();
    EXPECT_FALSE(ReadSettingBool(u"FixupClock", true));
    EXPECT_FALSE(ReadSettingBool(u"FixupGPSEpoch", true));
    EXPECT_TRUE(ReadSettingBool(u"FixupTimezone", false));
    Grab(dlg, c_nOptionsPageClock, "clock");
}

TEST_F(OptionsDialogTest, GpsPagePortStates) {
    if (std::system("command -v socat >/dev/null 2>&1") != 0) GTEST_SKIP() << "socat is not installed";
    CPty free3(dir.File("gps3")), busy5(dir.File("gps5")), locked6(dir.File("gps6"));
    ASSERT_TRUE(free3.Ready() && busy5.Ready() && locked6.Ready());
    UseDevice(3, free3.Path());
    UseDevice(5, busy5.Path());
    UseDevice(6, locked6.Path());
    std::fclose(std::fopen(dir.File("plain").c_str(), "wb"));
    UseDevice(7, dir.File("plain")); // no terminal: left out like a missing device
    for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i) SetPortEnabled(i, i == 5);
    WriteSettingBool(u"FixupClock", false);

    // A reader holds port 5 (its lock would make an opening fail); port 6 is held by someone else.
    ResetPositioningForTest();
    EnableDemoTrack(false);
    struct CStop {
        ~CStop() {
            ShutdownPositioning();
            ResetPositioningForTest();
            EnableDemoTrack(true);
        }
    } stop;
    StartPositioning();
    for (int i = 0; i < 300 && !IsPortInUse(5); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(IsPortInUse(5));
    CComPort other;
    ASSERT_TRUE(other.Open(6, GENERIC_READ_ | GENERIC_WRITE_));
    SetPortEnabled(3, true);
    bool fRestarted = false;
    // The program's positioning hooks, with the restart recorded instead.
    WirePositioning(SubsystemHooks());
    SubsystemHooks().positioning.fnStart = [&](bool fThread) { fRestarted = fThread; };

    {
        COptionsDialog dlg(nullptr, c_nOptionsPageGps);
        auto* pPorts = dlg.PageAt(c_nOptionsPageGps)->findChild<QTreeWidget*>(QStringLiteral("ports"));
        ASSERT_NE(pPorts, nullptr);
        EXPECT_EQ(pPorts->headerItem()->text(0), Text(2018));
        EXPECT_EQ(pPorts->headerItem()->text(2), Text(2020));
        ASSERT_EQ(pPorts->topLevelItemCount(), 3) << "missing devices and non-terminals are left out";
        QTreeWidgetItem* p3 = Row(pPorts, QStringLiteral("COM3:"));
        QTreeWidgetItem* p5 = Row(pPorts, QStringLiteral("COM5:"));
        QTreeWidgetItem* p6 = Row(pPorts, QStringLiteral("COM6:"));
        ASSERT_TRUE(p3 && p5 && p6);
        EXPECT_EQ(p3->text(1), Text(2022));
        EXPECT_EQ(p3->text(1), QStringLiteral("Свободен"));
        EXPECT_EQ(p3->text(2), QStringLiteral("-")) << "a pseudo-terminal has no device name";
        EXPECT_EQ(p3->text(0).toStdString(), ComPortDevicePath(3)) << "the device path names the port";
        EXPECT_EQ(p3->toolTip(0), QStringLiteral("COM3:"));
        EXPECT_EQ(p5->text(1), Text(2022)) << "a port in use counts as free without being opened";
        EXPECT_EQ(p6->text(1), Text(2023));
        EXPECT_EQ(p3->checkState(0), Qt::Checked);
        EXPECT_EQ(p6->checkState(0), Qt::Unchecked);
        Grab(dlg, c_nOptionsPageGps, "gps");

        // Unchanged rows restart nothing; a changed port restarts running positioning.
        dlg.ApplyAll();
        EXPECT_FALSE(fRestarted);
        p6->setCheckState(0, Qt::Checked);
        p3->setCheckState(0, Qt::Unchecked);
        dlg.ApplyAll();
        EXPECT_TRUE(fRestarted);
        EXPECT_TRUE(IsPortEnabled(6));
        EXPECT_FALSE(IsPortEnabled(3));
        EXPECT_TRUE(IsPortEnabled(5));
    }
}

TEST_F(OptionsDialogTest, GpsPageProtocolsSortedAndWritten) {
    bool fRestarted = false;
    SubsystemHooks().positioning.fnIsRunning = [] { return false; };
    SubsystemHooks().positioning.fnStart = [&](bool) { fRestarted = true; };
    COptionsDialog dlg(nullptr, c_nOptionsPageGps);
    auto* pList = dlg.PageAt(c_nOptionsPageGps)->findChild<QTreeWidget*>(QStringLiteral("protocols"));
    ASSERT_NE(pList, nullptr);
    // Sorted by id: garmin, nmea, nmea9600, sirf100.
    ASSERT_EQ(pList->topLevelItemCount(), 4);
    const UINT auNames[] = {2240, 2241, 2242, 2244};
    const bool afEnabled[] = {true, true, false, false};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pList->topLevelItem(i)->text(0), Text(auNames[i])) << i;
        EXPECT_EQ(pList->topLevelItem(i)->checkState(0) == Qt::Checked, afEnabled[i]) << i;
    }
    pList->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    pList->topLevelItem(3)->setCheckState(0, Qt::Checked);
    dlg.ApplyAll();
    EXPECT_FALSE(ReadSettingBool(u"Enable_Protocol_nmea", true));
    EXPECT_TRUE(ReadSettingBool(u"Enable_Protocol_sirf100", false));
    EXPECT_TRUE(ReadSettingBool(u"Enable_Protocol_garmin", false));
    EXPECT_FALSE(ReadSettingBool(u"Enable_Protocol_nmea9600", true));
    EXPECT_FALSE(fRestarted) << "positioning that does not run is not started";
}

TEST_F(OptionsDialogTest, GpsPageAdvancedDialog) {
    COptionsDialog dlg(nullptr, c_nOptionsPageGps);
    auto* pButton = dlg.PageAt(c_nOptionsPageGps)->findChild<QPushButton*>(QStringLiteral("advanced"));
    ASSERT_NE(pButton, nullptr);
    int cBoxes = 0;
    // The small dialog is modal: it is answered from inside its own loop.
    QTimer::singleShot(0, [&cBoxes] {
        QWidget* pModal = QApplication::activeModalWidget();
        ASSERT_NE(pModal, nullptr);
        for (QCheckBox* p : pModal->findChildren<QCheckBox*>()) {
            p->setChecked(true);
            ++cBoxes;
        }
        static_cast<QDialog*>(pModal)->accept();
    });
    dlg.show();
    pButton->click();
    EXPECT_EQ(cBoxes, 2);
    EXPECT_FALSE(ReadSettingBool(u"LogCOMPorts", false)) << "written when the options are applied";
    dlg.ApplyAll();
    EXPECT_TRUE(ReadSettingBool(u"LogCOMPorts", false));
    EXPECT_TRUE(ReadSettingBool(u"GPSElevationIsOverEllipsoid", false));
}

TEST_F(OptionsDialogTest, UnitsChangeTheFormattingAfterApply) {
    ReadUnitOptions();
    std::u16string strValue, strUnit;
    FormatDistance(1609.3f, strValue, strUnit);
    EXPECT_EQ(strUnit, LoadStr(2402));
    COptionsDialog dlg(nullptr, c_nOptionsPageUnits);
    auto combos = dlg.PageAt(c_nOptionsPageUnits)->findChildren<QComboBox*>();
    ASSERT_EQ(combos.size(), 6);
    // Elevation, distance, area, azimuth, position, address order.
    EXPECT_EQ(combos[0]->currentIndex(), unMeters);
    EXPECT_EQ(combos[4]->currentText(), QStringLiteral("N55°45.234'")) << "positions show a sample";
    combos[1]->setCurrentIndex(duStatute);
    combos[4]->setCurrentIndex(pfSignedDegrees);
    FormatDistance(1609.3f, strValue, strUnit);
    EXPECT_EQ(strUnit, LoadStr(2402)) << "nothing changes before Apply";
    CPagesWindow wnd;
    dlg.ApplyAll();
    for (std::size_t i = 0; i < c_cPages; ++i) {
        EXPECT_EQ(wnd.Units(i), 1) << i;
        EXPECT_EQ(wnd.Settings(i), 0) << i;
    }
    dlg.ApplyAll();
    EXPECT_EQ(wnd.Units(0), 1) << "applying again changes nothing";
    EXPECT_EQ(ReadSettingInt(u"OptionDistanceUnit", -1), duStatute);
    FormatDistance(1609.3f, strValue, strUnit);
    EXPECT_EQ(strValue, u"1.00");
    EXPECT_EQ(strUnit, LoadStr(2404));
    FormatLatitude(-33.5, strValue);
    EXPECT_EQ(strValue, u"-33.50000");
    Grab(dlg, c_nOptionsPageUnits, "units");
}

TEST_F(OptionsDialogTest, MapAndTrackPages) {
    std::vector<bool> recording;
    std::vector<int> nightModes;
    SubsystemHooks().tracks.fnStartRecording = [&] { recording.push_back(true); };
    SubsystemHooks().tracks.fnStopRecording = [&] { recording.push_back(false); };
    SubsystemHooks().map.fnApplyNightMode = [&](int n) { nightModes.push_back(n); };
    COptionsDialog dlg(nullptr, c_nOptionsPageMap);
    for (QCheckBox* p : dlg.PageAt(c_nOptionsPageMap)->findChildren<QCheckBox*>())
        if (p->text() == Text(IDS_OPT_ROTATE_MAP)) p->setChecked(true);
    auto combos = dlg.PageAt(c_nOptionsPageMap)->findChildren<QComboBox*>();
    ASSERT_EQ(combos.size(), 2);
    EXPECT_EQ(combos[0]->currentText(), Text(IDS_OPT_NIGHT_MODE + 3)) << "mode 3 by default";
    combos[0]->setCurrentIndex(1);
    combos[1]->setCurrentIndex(4);
    for (QCheckBox* p : dlg.PageAt(c_nOptionsPageTracks)->findChildren<QCheckBox*>())
        if (p->text() == Text(IDS_MENU_RECORD_TRACK)) p->setChecked(true);
    CPagesWindow wnd;
    dlg.ApplyAll();
    EXPECT_EQ(wnd.Settings(0), 1);
    EXPECT_EQ(wnd.Settings(3), 1);
    EXPECT_EQ(wnd.Units(0), 0);
    EXPECT_TRUE(ReadSettingBool(u"RotateMap", false));
    EXPECT_EQ(ReadSettingInt(u"NightMode", 0), 2);
    EXPECT_EQ(ReadSettingInt(u"MapDetail", 0), 2);
    EXPECT_TRUE(ReadSettingBool(u"RecordTrack", false));
    EXPECT_EQ(recording, std::vector<bool>{true});
    EXPECT_EQ(nightModes, std::vector<int>{2});
    dlg.ApplyAll();
    EXPECT_EQ(recording.size(), 1u) << "unchanged: recording is not started again";
    Grab(dlg, c_nOptionsPageMap, "map");
    Grab(dlg, c_nOptionsPageTracks, "tracks");
}

TEST_F(OptionsDialogTest, LanguagePageAsksForTheRestart) {
    COptionsDialog dlg(nullptr, c_nOptionsPageLanguage);
    auto* pCombo = dlg.PageAt(c_nOptionsPageLanguage)->findChild<QComboBox*>();
    ASSERT_NE(pCombo, nullptr);
    EXPECT_EQ(pCombo->currentText(), QStringLiteral("Русский"));
    const int nEnglish = pCombo->findText(QStringLiteral("English"));
    ASSERT_GE(nEnglish, 0) << "0409.rll beside the program";
    dlg.ApplyAll();
    EXPECT_TRUE(HeadlessUiHost().TakePosted().empty()) << "no change, no restart";
    pCombo->setCurrentIndex(nEnglish);
    dlg.ApplyAll();
    EXPECT_EQ(ReadSettingInt(u"Language", 0), c_langEnglish);
    std::vector<PostedMessage> posted = HeadlessUiHost().TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].uMsg, static_cast<UINT>(WM_EXIT_REQUEST));
    EXPECT_EQ(posted[0].wParam, 1u) << "the exit request with the restart flag";
    dlg.ApplyAll();
    EXPECT_TRUE(HeadlessUiHost().TakePosted().empty());
    Grab(dlg, c_nOptionsPageLanguage, "language");
}

TEST_F(OptionsDialogTest, HeadlessAnnouncesAndAppliesNothing) {
    ::unsetenv("VELKA_HEADLESS_OPTIONS");
    ::setenv("VELKA_HEADLESS", "1", 1);
    testing::internal::CaptureStderr();
    ShowOptionsDialog(c_nOptionsPageClock);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "dialog: options page 5\n");
    EXPECT_EQ(ReadSettingInt(u"OptionsPage", -1), -1) << "not even the page is stored";
    ::setenv("VELKA_HEADLESS_OPTIONS", "ok", 1);
    testing::internal::CaptureStderr();
    ShowOptionsDialog(c_nOptionsPageClock);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("dialog: options applied"), std::string::npos);
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 1500) << "the pages as they read";
    ::unsetenv("VELKA_HEADLESS_OPTIONS");
    ::unsetenv("VELKA_HEADLESS");
}

} // namespace
} // namespace velka
