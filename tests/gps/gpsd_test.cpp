// gpsd as a position source: the decoder over gpsd's own reports of real
// receiver captures (the gpsdecode oracles), its guards against malformed
// input, and the whole path against a real gpsd serving a capture on a
// pseudo-terminal: found, followed, and followed again after gpsd restarts.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "gps/gpsd.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace velka {
namespace {

using namespace std::chrono_literals;
using json = nlohmann::json;

int FeedText(CGpsdDecoder& decoder, const std::string& s) {
    return decoder.OnData(reinterpret_cast<const BYTE*>(s.data()), s.size());
}

TEST(GpsdDecoder, GpsdReportsOfRealCapturesBecomeTheSameFixesAndSatellites) {
    for (const char* szName : {"bu353-glonass", "haicom-305N", "ublox-neo-m9n-nmea"}) {
        const auto path = test::CorpusPath(std::string("gps/nmea/") + szName + ".gpsdecode.json");
        VELKA_REQUIRE_CORPUS(path);
        const std::string text = test::ReadFile(path);
        test::CRecordingSink sink;
        CGpsdDecoder decoder(sink);
        // In pieces of 7 bytes: lines are put together across reads.
        for (std::size_t i = 0; i < text.size(); i += 7) FeedText(decoder, text.substr(i, 7));
        std::istringstream lines(text);
        std::string line;
        std::size_t cTpv = 0, cWithPosition = 0, cSkyWithSats = 0;
        std::vector<std::pair<double, double>> positions;
        while (std::getline(lines, line)) {
            const json j = json::parse(line, nullptr, false);
            if (j.is_discarded() || !j.contains("class")) continue;
            if (j["class"] == "TPV") {
                ++cTpv;
                if (j.value("mode", 0) >= 2 && j.contains("lat")) positions.emplace_back(j["lon"], j["lat"]);
            } else if (j["class"] == "SKY" && j.contains("satellites")) {
                ++cSkyWithSats;
            }
        }
        SCOPED_TRACE(szName);
        EXPECT_TRUE(decoder.Recognised());
        ASSERT_EQ(sink.fixes.size(), cTpv);
        for (const GpsFix& fix : sink.fixes) cWithPosition += fix.Has(gfPosition);
        ASSERT_EQ(cWithPosition, positions.size());
        ASSERT_EQ(sink.positions.size(), positions.size());
        for (std::size_t i = 0; i < positions.size(); ++i) {
            EXPECT_NEAR(sink.positions[i].fLon, positions[i].first, 1e-5);
            EXPECT_NEAR(sink.positions[i].fLat, positions[i].second, 1e-5);
        }
        EXPECT_EQ(static_cast<std::size_t>(sink.cCompleted), cSkyWithSats);
        if (cSkyWithSats) {
            EXPECT_FALSE(sink.satellites.empty());
        }
    }
}

TEST(GpsdDecoder, OneTpvGivesEveryValueInTheFixUnits) {
    test::CRecordingSink sink;
    CGpsdDecoder decoder(sink);
    EXPECT_EQ(FeedText(decoder, "{\"class\":\"VERSION\",\"release\":\"3.22\"}\n"), c_nGpsUndecided);
    FeedText(decoder,
             "{\"class\":\"SKY\",\"hdop\":1.5,\"vdop\":2.5,\"satellites\":[{\"PRN\":5,\"el\":45.4,\"az\":120,"
             "\"ss\":38,\"used\":true},{\"PRN\":7,\"el\":10,\"az\":300,\"ss\":0,\"used\":false}]}\n");
    ASSERT_EQ(sink.satellites.size(), 2u);
    EXPECT_EQ(sink.satellites[0].nPRN, 5);
    EXPECT_EQ(sink.satellites[0].nElevation, 45);
    EXPECT_EQ(sink.satellites[0].nState, 2);
    EXPECT_EQ(sink.satellites[1].nState, 1);
    EXPECT_EQ(FeedText(decoder, "{\"class\":\"TPV\",\"mode\":3,\"status\":2,\"time\":\"2024-05-01T12:00:30.500Z\","
                                "\"lat\":55.75,\"lon\":37.62,\"altMSL\":150.5,\"geoidSep\":14.5,\"eph\":4.2,"
                                "\"epv\":6,\"speed\":10,\"track\":90.5,\"climb\":-0.5}\r\n"),
              c_nGpsRecognised);
    ASSERT_EQ(sink.fixes.size(), 1u);
    const GpsFix& fix = sink.fixes[0];
    EXPECT_EQ(fix.nQuality, 5); // 3D, differential
    EXPECT_FLOAT_EQ(fix.fLatitude, 55.75f);
    EXPECT_FLOAT_EQ(fix.fAltitude, 150.5f);
    EXPECT_FLOAT_EQ(fix.fSpeed, 36.0f); // km/h
    EXPECT_FLOAT_EQ(fix.fCourse, 90.5f);
    EXPECT_FLOAT_EQ(fix.fVertSpeed, -0.5f);
    EXPECT_FLOAT_EQ(fix.fHorzError, 4.2f);
    EXPECT_FLOAT_EQ(fix.fHDOP, 1.5f);
    EXPECT_EQ(fix.nSatellites, 1);
    SYSTEMTIME st{};
    st.wYear = 2024, st.wMonth = 5, st.wDay = 1, st.wHour = 12, st.wSecond = 30;
    double dExpected = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(st, &dExpected));
    EXPECT_NEAR(fix.dTime, dExpected + 0.5 / 86400, 1e-9);
    ASSERT_EQ(sink.clockTimes.size(), 1u);

    // No fix: no position, quality 0, and no last-position update.
    FeedText(decoder, "{\"class\":\"TPV\",\"mode\":1,\"lat\":1,\"lon\":2}\n");
    ASSERT_EQ(sink.fixes.size(), 2u);
    EXPECT_FALSE(sink.fixes[1].Has(gfPosition));
    EXPECT_EQ(sink.fixes[1].nQuality, 0);
    EXPECT_EQ(sink.positions.size(), 1u);
}

TEST(GpsdDecoder, MalformedAndOverlongReportsAreSkippedWhole) {
    test::CRecordingSink sink;
    CGpsdDecoder decoder(sink);
    for (const char* sz : {"{\"class\":\"TPV\",\"mode\":3,\"lat\":", "not json", "[1,2]", "{\"class\":5}",
                           "{\"class\":\"TPV\",\"mode\":3,\"lat\":\"x\",\"lon\":1}",
                           "{\"class\":\"TPV\",\"mode\":3,\"lat\":91,\"lon\":1}",
                           "{\"class\":\"SKY\",\"satellites\":[1,\"a\",null]}"})
        FeedText(decoder, std::string(sz) + "\n");
    // Two TPVs without a usable position and one SKY with no usable satellite.
    ASSERT_EQ(sink.fixes.size(), 2u);
    for (const GpsFix& fix : sink.fixes) EXPECT_FALSE(fix.Has(gfPosition));
    EXPECT_TRUE(sink.satellites.empty() || sink.satellites[0].nPRN == 0);
    // A line longer than any report is dropped, and the next one is read.
    FeedText(decoder, "{\"class\":\"TPV\",\"mode\":3,\"lat\":1,\"lon\":2,\"x\":\"" + std::string(70000, 'a') +
                          "\"}\n{\"class\":\"TPV\",\"mode\":2,\"lat\":3,\"lon\":4}\n");
    ASSERT_EQ(sink.fixes.size(), 3u);
    EXPECT_FLOAT_EQ(sink.fixes.back().fLatitude, 3.0f);
}

TEST(GpsdDecoder, TimesAndServerAddresses) {
    double d = 0;
    EXPECT_TRUE(ParseGpsdTime("2024-02-29T23:59:59Z", &d));
    for (const char* sz : {"2024-02-29 23:59:59Z", "2024-13-01T00:00:00Z", "2024-01-01T00:00:00", "2024-01-01T00:00:00.x5Z",
                           "", "2024-01-01T24:00:00Z"})
        EXPECT_FALSE(ParseGpsdTime(sz, &d)) << sz;

    CGpsdAddress a;
    ASSERT_TRUE(ParseGpsdAddress(u"localhost:2947", &a));
    EXPECT_EQ(a.strHost, "localhost");
    ASSERT_TRUE(ParseGpsdAddress(u" gps.lan ", &a));
    EXPECT_EQ(a.strPort, "2947");
    ASSERT_TRUE(ParseGpsdAddress(u"[::1]:3000", &a));
    EXPECT_EQ(a.strHost, "::1");
    EXPECT_EQ(a.strPort, "3000");
    for (const char16_t* sz : {u"", u":2947", u"host:0", u"host:65536", u"host:12x", u"[::1", u"[::1]x"})
        EXPECT_FALSE(ParseGpsdAddress(sz, &a)) << ToUtf8(sz);
}

// ---- A real gpsd, on a pseudo-terminal the test writes a capture into.

pid_t Spawn(const std::vector<std::string>& args, const std::string& strLog) {
    std::vector<char*> argv;
    for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// A TCP port nobody listens on just now.
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t cb = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &cb);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return pred();
}

class RealGpsd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/sbin/gpsd")) GTEST_SKIP() << "gpsd is not installed (Debian package gpsd)";
        if (::system("command -v socat >/dev/null 2>&1") != 0) GTEST_SKIP() << "socat is not installed";
        const auto capture = test::CorpusPath("gps/nmea/haicom-305N.log");
        VELKA_REQUIRE_CORPUS(capture);
        m_strCapture = test::ReadFile(capture);
        m_strLog = m_dir.File("children.log");
        m_pidSocat = Spawn({"socat", "pty,raw,echo=0,link=" + m_dir.File("w"), "pty,raw,echo=0,link=" + m_dir.File("r")},
                           m_strLog);
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(m_dir.File("r")); }, 5s));
        // gpsd may read the device after giving up root.
        ::chmod(std::filesystem::canonical(m_dir.File("r")).c_str(), 0666);
        m_nPort = FreePort();
        m_writer = std::thread([this] {
            int fd = ::open(m_dir.File("w").c_str(), O_WRONLY | O_NOCTTY);
            if (fd < 0) return;
            for (std::size_t i = 0; m_fWriting;) {
                const std::size_t n = std::min<std::size_t>(96, m_strCapture.size() - i);
                if (::write(fd, m_strCapture.data() + i, n) < 0) break;
                i = (i + n) % m_strCapture.size();
                std::this_thread::sleep_for(50ms);
            }
            ::close(fd);
        });
        ResetPositioningForTest();
        for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i) SetPortEnabled(i, false);
        WriteSettingBool(u"FixupClock", false);
        WriteSettingInt(u"UseGpsd", 1);
        WriteSettingString(u"GpsdServer", FormatW(u"127.0.0.1:%d", m_nPort).c_str());
        EnableDemoTrack(false);
    }
    void TearDown() override {
        ShutdownPositioning();
        ResetPositioningForTest();
        EnableDemoTrack(true);
        Stop(m_pidGpsd);
        m_fWriting = false;
        if (m_writer.joinable()) m_writer.join();
        Stop(m_pidSocat);
    }
    void StartGpsd() {
        m_pidGpsd = Spawn({"/usr/sbin/gpsd", "-N", "-n", "-b", "-S", std::to_string(m_nPort), "-F",
                           m_dir.File("gpsd.sock"), std::filesystem::canonical(m_dir.File("r")).string()},
                          m_strLog);
        ASSERT_GT(m_pidGpsd, 0);
    }
    double FixTime() { return GetCurrentFix().Has(gfPosition) ? GetCurrentFix().dTime : -1; }

    test::ScopedSettings m_settings;
    test::TempDir m_dir;
    std::string m_strCapture, m_strLog;
    pid_t m_pidSocat = -1, m_pidGpsd = -1;
    int m_nPort = 0;
    std::atomic<bool> m_fWriting{true};
    std::thread m_writer;
};

TEST_F(RealGpsd, ItsFixesAreFollowedAndARestartedGpsdIsFoundAgain) {
    StartGpsd();
    StartPositioning();
    // gpsd's first reports may come before it knows the time or the sky.
    auto complete = [] { return GetCurrentFix().Has(gfPosition | gfTime) && GetSatelliteCount() > 0; };
    ASSERT_TRUE(WaitFor(complete, 30s)) << test::ReadFile(m_strLog);
    const std::u16string strVia = FormatW(u"gpsd через 127.0.0.1:%d", m_nPort);
    EXPECT_EQ(GetGpsStatusText(), strVia);
    // The capture was taken near 27.2 S, 153.05 E.
    const GpsFix fix = GetCurrentFix();
    EXPECT_NEAR(fix.fLatitude, -27.21, 0.05);
    EXPECT_NEAR(fix.fLongitude, 153.05, 0.05);
    // gpsd may report a 2D solution before its first 3D one.
    EXPECT_TRUE(fix.nQuality == 2 || fix.nQuality == 3) << fix.nQuality;

    // gpsd goes away: the data is lost; it comes back: followed again.
    Stop(m_pidGpsd);
    ASSERT_TRUE(WaitFor([] { return GetGpsStatusText() == LoadStr(2118); }, 10s)) << ToUtf8(GetGpsStatusText());
    const DWORD dwRestart = GetTickCount();
    StartGpsd();
    ASSERT_TRUE(WaitFor(
        [&] {
            const GpsFix now = GetCurrentFix();
            return now.Has(gfPosition) && static_cast<int>(now.dwCreationTick - dwRestart) > 0;
        },
        30s))
        << test::ReadFile(m_strLog);
    EXPECT_EQ(GetGpsStatusText(), strVia);
}

} // namespace
} // namespace velka
