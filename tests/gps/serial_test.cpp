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
#include <memory>
#include <stdexcept>
#include <poll.h>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "gps/gps_options.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/posted_boxes.h"
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
    const std::string& Writer() const { return m_strWriter; }

    // Writes the bytes at 480 bytes a second (4800 baud, 8N1) in 48-byte
    // pieces, over and over until stopped.
    void StartWriting(std::string bytes) {
        m_fWriting = true;
        m_writer = std::thread([this, bytes = std::move(bytes)] {
            int fd = ::open(m_strWriter.c_str(), O_WRONLY | O_NOCTTY);
            if (fd < 0) return;
            std::size_t i = 0;
            while (m_fWriting) {
                if (m_fPaused) {
                    std::this_thread::sleep_for(20ms);
                    continue;
                }
                std::size_t n = std::min<std::size_t>(48, bytes.size() - i);
                if (::write(fd, bytes.data() + i, n) < 0) break;
                i = (i + n) % bytes.size();
                std::this_thread::sleep_for(100ms);
            }
            ::close(fd);
        });
    }
    // A receiver that stays connected but sends nothing.
    void PauseWriting() { m_fPaused = true; }
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
    std::atomic<bool> m_fWriting{false}, m_fPaused{false};
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
                    } else if (m.uMsg == WM_POSTED_ERROR) {
                        for (std::u16string& text : TakePostedErrors()) m_errors.push_back(std::move(text));
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
    // The boxes the window would have shown for WM_POSTED_ERROR.
    std::vector<std::u16string> PostedErrors() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_errors;
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
    std::vector<std::u16string> m_errors;
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
    std::u16string found = FormatW(LoadStr(204201).c_str(), LoadStr(2241).c_str(), ComPortDisplayName(0).c_str());
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

TEST_F(SerialTest, AReaderThatFailsIsToldOnTheWindowThread) {
    CPtyPair pair(dir, "f");
    ASSERT_TRUE(pair.Ready());
    UsePort(0, pair);
    HeadlessUiHost().ClearBoxes();
    TakePostedErrors();
    // The first fix reaches the track hook on the reader thread, which fails.
    struct HookGuard {
        ~HookGuard() { PositioningHooks().pfnTrackAddFix = nullptr; }
    } guard;
    PositioningHooks().pfnTrackAddFix = [](const GpsFix&) { throw std::runtime_error("track hook failed"); };
    CUiStandIn ui;
    pair.StartWriting(CaptureWithoutComments("haicom-305N.log"));
    StartPositioning();
    const std::vector<std::u16string> expected{FormatMessageId(2009, 0)};
    EXPECT_TRUE(WaitFor([&] { return ui.PostedErrors() == expected; }, 6s)) << "message 2009 with the port";
    EXPECT_TRUE(WaitFor([] { return !IsPortInUse(0); }, 2s)) << "the failed reader lets its port go";
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty()) << "the reader thread shows no box itself";
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
    std::u16string found = FormatW(LoadStr(204201).c_str(), LoadStr(2241).c_str(), ComPortDisplayName(1).c_str());
    ASSERT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s));
    // The silent port's reader ends at its next wait.
    EXPECT_TRUE(WaitFor([] { return !IsPortInUse(0); }, 500ms));
    EXPECT_TRUE(IsPortInUse(1));
    EXPECT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 6s));
}

TEST_F(SerialTest, SilentReceiverGivesNoDataAndProbingResumes) {
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
    std::u16string found = FormatW(LoadStr(204201).c_str(), LoadStr(2241).c_str(), ComPortDisplayName(0).c_str());
    ASSERT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s));
    std::size_t iFound = ui.StatusIndex(found);
    pair.PauseWriting();
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

TEST_F(SerialTest, UnpluggedReceiverResumesWhenPluggedBack) {
    auto pair = std::make_unique<CPtyPair>(dir, "u");
    ASSERT_TRUE(pair->Ready());
    UsePort(0, *pair);
    CUiStandIn ui;
    const std::string bytes = CaptureWithoutComments("haicom-305N.log");
    pair->StartWriting(bytes);
    StartPositioning();
    std::u16string found = FormatW(LoadStr(2119).c_str(), LoadStr(2241).c_str(), 0);
    ASSERT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 8s));

    // Unplugged: the device disappears; the no-data status comes at once
    // and the dead port is closed instead of being polled.
    std::size_t iFound = ui.StatusIndex(found);
    pair.reset();
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(LoadStr(2117), iFound); }, 2s));
    EXPECT_TRUE(WaitFor([] { return !IsPortInUse(0); }, 1s)) << "the vanished device is let go";
    EXPECT_EQ(GetGpsIndicator(), -1);
    std::this_thread::sleep_for(3s);

    // Plugged back (the same device name): fixes resume within 5 s, no restart.
    std::size_t cFixes = ui.FixCount();
    pair = std::make_unique<CPtyPair>(dir, "u");
    ASSERT_TRUE(pair->Ready());
    pair->StartWriting(bytes);
    auto tPlugged = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitFor([&] { return ui.FixCount() > cFixes; }, 5s)) << "fixes resume";
    EXPECT_LT(std::chrono::steady_clock::now() - tPlugged, 5s);
    EXPECT_TRUE(IsPositioningRunning());
}

TEST_F(SerialTest, ReceiverPluggedInAfterStartIsFound) {
    // The device named for the port does not exist yet.
    WriteSettingString(u"Device_COM0", FromUtf8(dir.File("late-r")).c_str());
    SetPortEnabled(0, true);
    CUiStandIn ui;
    StartPositioning();
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(LoadStr(2113)); }, 2s));
    std::this_thread::sleep_for(2500ms);
    CPtyPair pair(dir, "late");
    ASSERT_TRUE(pair.Ready());
    pair.StartWriting(CaptureWithoutComments("haicom-305N.log"));
    EXPECT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 5s)) << "found without a restart";
}

// A Garmin receiver on the far end of a pair: it answers each PVT request
// as told, then sends the recorded capture at 9600 baud.
class CScriptedGarmin {
public:
    enum Mode { Answer, Echo, Reject, Silent };
    CScriptedGarmin(const std::string& strPath, Mode mode, std::string capture)
        : m_mode(mode), m_capture(std::move(capture)) {
        m_fd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~CScriptedGarmin() {
        m_fStop = true;
        m_thread.join();
        if (m_fd >= 0) ::close(m_fd);
    }
    CScriptedGarmin(const CScriptedGarmin&) = delete;
    CScriptedGarmin& operator=(const CScriptedGarmin&) = delete;
    int Requests() const { return m_cRequests; }
    int Acks() const { return m_cAcks; }

private:
    static std::size_t Count(const std::string& s, const std::string& what) {
        std::size_t c = 0;
        for (std::size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1)) ++c;
        return c;
    }
    void Write(const std::string& bytes) {
        if (::write(m_fd, bytes.data(), bytes.size()) < 0) return;
    }
    void Run() {
        const std::string request("\x10\x0A\x02\x31\x00\xC3\x10\x03", 8);
        const std::string ack("\x10\x06\x02\x33\x00\xC5\x10\x03", 8);
        const std::string ackRequest("\x10\x06\x02\x0A\x00\xEE\x10\x03", 8);
        const std::string nakRequest("\x10\x15\x02\x0A\x00\xDF\x10\x03", 8);
        std::string received;
        std::size_t iCapture = 0;
        bool fStreaming = false;
        while (!m_fStop && m_fd >= 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char buf[256];
                ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0) received.append(buf, static_cast<std::size_t>(n));
            }
            int cRequests = static_cast<int>(Count(received, request));
            m_cAcks = static_cast<int>(Count(received, ack));
            while (m_cRequests < cRequests) {
                ++m_cRequests;
                if (m_mode == Echo) {
                    Write(request);
                    std::this_thread::sleep_for(100ms);
                }
                if (m_mode == Answer || m_mode == Echo) {
                    Write(ackRequest);
                    fStreaming = true;
                } else if (m_mode == Reject) {
                    Write(nakRequest);
                }
            }
            if (fStreaming && !m_capture.empty()) {
                // 9600 baud: 960 bytes a second, 48 every 50 ms.
                std::size_t n = std::min<std::size_t>(48, m_capture.size() - iCapture);
                Write(m_capture.substr(iCapture, n));
                iCapture = (iCapture + n) % m_capture.size();
            }
        }
    }

    Mode m_mode;
    std::string m_capture;
    int m_fd = -1;
    std::atomic<bool> m_fStop{false};
    std::atomic<int> m_cRequests{0}, m_cAcks{0};
    std::thread m_thread;
};

std::string BinaryCapture(const std::string& name) {
    std::string all = test::ReadFile(test::CorpusPath("gps/" + name));
    std::size_t i = 0;
    while (i < all.size() && all[i] == '#') {
        std::size_t nl = all.find('\n', i);
        i = nl == std::string::npos ? all.size() : nl + 1;
    }
    return all.substr(i);
}

class GarminSerialTest : public SerialTest, public ::testing::WithParamInterface<CScriptedGarmin::Mode> {};

TEST_P(GarminSerialTest, HandshakeThroughTheReader) {
    auto log = test::CorpusPath("gps/garmin-binary/garmin18x-bin.log");
    VELKA_REQUIRE_CORPUS(log);
    CPtyPair pair(dir, "g");
    ASSERT_TRUE(pair.Ready());
    UsePort(0, pair);
    WriteSettingBool(u"Enable_Protocol_nmea", false);
    CUiStandIn ui;
    // The decoders' clock runs four times as fast (the 3 s wait for an answer).
    auto t0 = std::chrono::steady_clock::now();
    SetTickSourceForTest([t0] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
        return static_cast<DWORD>(1000000 + 4 * ms.count());
    });
    CScriptedGarmin::Mode mode = GetParam();
    CScriptedGarmin receiver(pair.Writer(), mode, BinaryCapture("garmin-binary/garmin18x-bin.log"));
    StartPositioning();
    std::u16string found = FormatW(LoadStr(204201).c_str(), LoadStr(2240).c_str(), ComPortDisplayName(0).c_str());
    if (mode == CScriptedGarmin::Answer || mode == CScriptedGarmin::Echo) {
        EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s));
        EXPECT_TRUE(WaitFor([&] { return ui.FixCount() >= 2; }, 6s)) << "fixes reach the window";
        EXPECT_GE(receiver.Acks(), 1) << "each record is acknowledged";
        if (ui.FixCount() > 0) {
            EXPECT_NEAR(ui.LastFix().fLatitude, 29.4456, 1e-3);
            EXPECT_NEAR(ui.LastFix().fLongitude, -98.6066, 1e-3);
        }
    } else if (mode == CScriptedGarmin::Reject) {
        // The rejection is a Garmin packet: the port is recognised, then the
        // time check ends the attempt (no data) and the port is probed again.
        EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(LoadStr(2117)); }, 5s));
        EXPECT_TRUE(ui.SawStatus(found));
        EXPECT_TRUE(WaitFor([&] { return receiver.Requests() >= 2; }, 5s));
    } else {
        // Unanswered: the attempt ends unrecognised and the port is probed
        // again with a new request.
        EXPECT_TRUE(WaitFor([&] { return receiver.Requests() >= 2; }, 5s));
        EXPECT_FALSE(ui.SawStatus(found));
        EXPECT_FALSE(ui.SawStatus(LoadStr(2118)));
    }
    StopPositioning();
    SetTickSourceForTest({});
}

INSTANTIATE_TEST_SUITE_P(Receivers, GarminSerialTest,
                         ::testing::Values(CScriptedGarmin::Answer, CScriptedGarmin::Echo, CScriptedGarmin::Reject,
                                           CScriptedGarmin::Silent));

TEST_F(SerialTest, SirfPortIsFoundByThePortSearch) {
    auto log = test::CorpusPath("sirf/bu303-moving.log");
    VELKA_REQUIRE_CORPUS(test::CorpusPath("gps/sirf/bu303-moving.log"));
    CPtyPair silent(dir, "s"), pair(dir, "f");
    ASSERT_TRUE(pair.Ready() && silent.Ready());
    UsePort(0, silent);
    UsePort(2, pair);
    WriteSettingBool(u"Enable_Protocol_sirf100", true);
    CUiStandIn ui;
    pair.StartWriting(BinaryCapture("sirf/bu303-moving.log"));
    StartPositioning();
    std::u16string found = FormatW(LoadStr(204201).c_str(), LoadStr(2244).c_str(), ComPortDisplayName(2).c_str());
    EXPECT_TRUE(WaitFor([&] { return ui.SawStatus(found); }, 5s)) << ToUtf8(found);
    EXPECT_TRUE(WaitFor([&] { return ui.FixCount() >= 1; }, 6s));
    EXPECT_TRUE(WaitFor([] { return !IsPortInUse(0); }, 1s));
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
