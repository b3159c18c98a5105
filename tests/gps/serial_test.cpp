// Reader threads on real pseudo-terminal pairs made by socat: a capture
// paced at 4800 baud is found, recognised and decoded into fixes that reach
// a stand-in for the user-interface thread; of two ports the live one wins;
// when the far end closes the no-data status comes and probing resumes.
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace velka {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return pred();
}

// A pseudo-terminal pair: the program reads Reader(), the test writes Writer().
class CPtyPair {
public:
    explicit CPtyPair(const test::TempDir& dir, const std::string& strName)
        : m_strWriter(dir.File(strName + "-w")), m_strReader(dir.File(strName + "-r")) {
        std::string a = "pty,raw,echo=0,link=" + m_strWriter;
        std::string b = "pty,raw,echo=0,link=" + m_strReader;
        const char* argv[] = {"socat", a.c_str(), b.c_str(), nullptr};
        if (posix_spawnp(&m_pid, "socat", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) m_pid = -1;
        WaitFor([&] { return std::filesystem::exists(m_strWriter) && std::filesystem::exists(m_strReader); }, 3s);
    }
    ~CPtyPair() {
        StopWriting();
        Close();
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool Ready() const {
        return m_pid > 0 && std::filesystem::exists(m_strWriter) && std::filesystem::exists(m_strReader);
    }
    const std::string& Reader() const { return m_strReader; }

    // Writes the bytes at 480 bytes a second (4800 baud, 8N1) in 48-byte
    // pieces, over and over until stopped.
    void StartWriting(std::string bytes) {
        m_fWriting = true;
        m_writer = std::thread([this, bytes = std::move(bytes)] {
            int fd = ::open(m_strWriter.c_str(), O_WRONLY | O_NOCTTY);
            if (fd < 0) return;
            std::size_t i = 0;
            while (m_fWriting) {
                std::size_t n = std::min<std::size_t>(48, bytes.size() - i);
                if (::write(fd, bytes.data() + i, n) < 0) break;
                i = (i + n) % bytes.size();
                std::this_thread::sleep_for(100ms);
            }
            ::close(fd);
        });
    }
    void StopWriting() {
        m_fWriting = false;
        if (m_writer.joinable()) m_writer.join();
    }
    // Ends socat: both ends of the pair close.
    void Close() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

private:
    std::string m_strWriter, m_strReader;
    pid_t m_pid = -1;
    std::atomic<bool> m_fWriting{false};
    std::thread m_writer;
};

// Stands in for the user-interface thread: takes the posted notifications,
// clears their pending flags and reads the state back, as the window does.
class CUiStandIn {
public:
    CUiStandIn() {
        HeadlessUiHost().TakePosted();
        for (UINT u = WM_GPS_STATUS; u <= WM_GPS_INDICATOR; ++u) ClearNotificationPending(u);
        m_thread = std::thread([this] {
            while (!m_fStop) {
                for (const PostedMessage& m : HeadlessUiHost().TakePosted()) {
                    ClearNotificationPending(m.uMsg);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    if (m.uMsg == WM_GPS_FIX) {
                        GpsFix fix = GetCurrentFix();
                        if (fix.Has(gfPosition)) m_fixes.push_back(fix);
                    } else if (m.uMsg == WM_GPS_STATUS) {
                        std::u16string s = GetGpsStatusText();
                        if (m_statuses.empty() || m_statuses.back() != s) m_statuses.push_back(s);
                    }
                }
                std::this_thread::sleep_for(5ms);
            }
        });
    }
    ~CUiStandIn() {
        m_fStop = true;
        m_thread.join();
        for (UINT u = WM_GPS_STATUS; u <= WM_GPS_INDICATOR; ++u) ClearNotificationPending(u);
    }
    CUiStandIn(const CUiStandIn&) = delete;
    CUiStandIn& operator=(const CUiStandIn&) = delete;

    std::size_t FixCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_fixes.size();
    }
    GpsFix LastFix() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_fixes.back();
    }
    bool SawStatus(const std::u16string& s, std::size_t iFrom = 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = iFrom; i < m_statuses.size(); ++i)
            if (m_statuses[i] == s) return true;
        return false;
    }
    std::size_t StatusIndex(const std::u16string& s) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = 0; i < m_statuses.size(); ++i)
            if (m_statuses[i] == s) return i;
        return m_statuses.size();
    }

private:
    std::mutex m_mutex;
    std::vector<GpsFix> m_fixes;
    std::vector<std::u16string> m_statuses;
    std::atomic<bool> m_fStop{false};
    std::thread m_thread;
};

std::string CaptureWithoutComments(const std::string& name) {
    std::string all = test::ReadFile(test::CorpusPath("gps/nmea/" + name));
    std::string out;
    std::size_t i = 0;
    while (i < all.size()) {
        std::size_t nl = all.find('\n', i);
        std::size_t end = nl == std::string::npos ? all.size() : nl + 1;
        if (all[i] != '#') out.append(all, i, end - i);
        i = end;
    }
    return out;
}

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::system("command -v socat >/dev/null 2>&1") != 0) GTEST_SKIP() << "socat is not installed";
        capture = test::CorpusPath("gps/nmea/haicom-305N.log");
        VELKA_REQUIRE_CORPUS(capture);
        ResetPositioningForTest();
        for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i) SetPortEnabled(i, false);
        WriteSettingBool(u"FixupClock", false);
        EnableDemoTrack(false);
    }
    void TearDown() override {
        ShutdownPositioning();
        ResetPositioningForTest();
        EnableDemoTrack(true);
    }
    void UsePort(int nIndex, const CPtyPair& pair) {
        WriteSettingString(FormatW(u"Device_COM%d", nIndex).c_str(), FromUtf8(pair.Reader()).c_str());
        SetPortEnabled(nIndex, true);
    }

    test::ScopedSettings settings;
    test::TempDir dir;
    std::filesystem::path capture;
};

TEST_F(SerialTest, CaptureAt4800BaudIsFoundAndDecoded) {
    CPtyPair pair(dir, "a");
    ASSERT_TRUE(pair.Ready());
    UsePort(0, pair);
    CUiStandIn ui;
    pair.StartWriting(CaptureWithoutComments("haicom-305N.log"));
    InitPositioning();
    ASSERT_TRUE(IsPositioningRunning()) << "ScanCOMPorts defaults to on";
    std::u16string found = FormatW(LoadStr(2119).c_str(), LoadStr(2241).c_str(), 0);
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s)) << ToUtf8(found);
    EXPECT_TRUE(ui.SawStatus(FormatW(LoadStr(2116).c_str(), LoadStr(2241).c_str())));
    EXPECT_TRUE(IsPortInUse(0));
    ASSERT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 6s)) << "fixes reach the window";
    GpsFix fix = ui.LastFix();
    EXPECT_NEAR(fix.fLatitude, -27.2108, 0.001);
    EXPECT_NEAR(fix.fLongitude, 153.0522, 0.001);
    EXPECT_GE(GetGpsIndicator(), 0);
    ShutdownPositioning();
    EXPECT_FALSE(IsPortInUse(0));
    EXPECT_EQ(GetGpsStatusText(), LoadStr(2115));
}

TEST_F(SerialTest, OfTwoPortsTheLiveOneWins) {
    CPtyPair silent(dir, "s"), live(dir, "l");
    ASSERT_TRUE(silent.Ready() && live.Ready());
    UsePort(0, silent);
    UsePort(1, live);
    CUiStandIn ui;
    live.StartWriting(CaptureWithoutComments("haicom-305N.log"));
    StartPositioning();
    EXPECT_TRUE(WaitFor([] { return IsPortInUse(0) && IsPortInUse(1); }, 2s)) << "both ports probed at once";
    std::u16string found = FormatW(LoadStr(2119).c_str(), LoadStr(2241).c_str(), 1);
    ASSERT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s));
    // The silent port's reader ends at its next wait.
    EXPECT_TRUE(WaitFor([] { return !IsPortInUse(0); }, 500ms));
    EXPECT_TRUE(IsPortInUse(1));
    EXPECT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 6s));
}

TEST_F(SerialTest, ClosedFarEndGivesNoDataAndProbingResumes) {
    CPtyPair pair(dir, "c");
    ASSERT_TRUE(pair.Ready());
    UsePort(0, pair);
    CUiStandIn ui;
    // The decoder's clock runs four times as fast, so that its 5 s silence
    // limit passes in little more than a second.
    auto t0 = std::chrono::steady_clock::now();
    SetTickSourceForTest([t0] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
        return static_cast<DWORD>(1000000 + 4 * ms.count());
    });
    pair.StartWriting(CaptureWithoutComments("haicom-305N.log"));
    StartPositioning();
    std::u16string found = FormatW(LoadStr(2119).c_str(), LoadStr(2241).c_str(), 0);
    ASSERT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s));
    std::size_t iFound = ui.StatusIndex(found);
    pair.StopWriting();
    pair.Close();
    std::u16string noData = LoadStr(2117);
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(noData, iFound); }, 5s));
    EXPECT_EQ(GetGpsIndicator(), -1);
    std::size_t iNoData = ui.StatusIndex(noData);
    std::u16string searching = FormatW(LoadStr(2116).c_str(), LoadStr(2241).c_str());
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(searching, iNoData + 1); }, 5s)) << "probing again";
    EXPECT_TRUE(IsPortInUse(0));
    StopPositioning();
    SetTickSourceForTest({});
}

TEST_F(SerialTest, NoPortOpensGivesItsStatus) {
    WriteSettingString(u"Device_COM3", u"/nonexistent/tty");
    SetPortEnabled(3, true);
    CUiStandIn ui;
    StartPositioning();
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(LoadStr(2113)); }, 2s));
    EXPECT_EQ(GetGpsIndicator(), -1);
}

} // namespace
} // namespace velka
