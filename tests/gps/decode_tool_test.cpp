// velkatool decode nmea end to end: JSON lines of the fixes, then the summary.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

std::string RunCommand(const std::string& strCommand) {
    std::string out;
    if (std::FILE* p = ::popen(strCommand.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

const char* const c_szFix = "GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

TEST(DecodeTool, JsonLinesAndSummary) {
    std::string tool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "velkatool not built";
    test::TempDir dir;
    std::ofstream(dir.File("in.nmea"), std::ios::binary)
        << "# recorded capture\n"
        << test::Nmea("GPRMC,123519.5,A,4807.038,N,01131.000,E,022.4,084.4,230321,003.1,W")
        << test::Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
        << "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*00\r\n"
        << test::Nmea("SDMTW,17.5,C");
    std::string out = RunCommand(tool + " --settings-db " + dir.File("s.db") + " decode nmea " + dir.File("in.nmea"));
    EXPECT_EQ(out,
              "{\"time\":\"2021-03-23T12:35:19.500Z\",\"lat\":48.1173,\"lon\":11.516666,\"alt\":545.4,"
              "\"geoid\":46.9,\"hdop\":0.9,\"speed_kmh\":41.4848,\"course\":84.4,\"magvar\":-3.1,"
              "\"sats_used\":8,\"quality\":3,\"temp\":17.5}\n"
              "{\"summary\":{\"sentences\":3,\"checksum_errors\":1,\"fixes\":1}}\n");
    // From standard input, and bad usage.
    std::string piped = RunCommand("printf '' | " + tool + " --settings-db " + dir.File("s.db") + " decode nmea -");
    EXPECT_EQ(piped, "{\"summary\":{\"sentences\":0,\"checksum_errors\":0,\"fixes\":0}}\n");
    EXPECT_NE(std::system((tool + " decode gpx x 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((tool + " decode nmea /nonexistent/file 2>/dev/null >/dev/null").c_str()), 0);
}

int ExitCode(const std::string& strCommand) {
    int rc = std::system(strCommand.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class DecodeToolExits : public ::testing::Test {
protected:
    void SetUp() override {
        tool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool";
        if (!std::filesystem::exists(tool)) GTEST_SKIP() << "velkatool not built";
        run = tool + " --settings-db " + dir.File("s.db") + " ";
    }
    test::TempDir dir;
    std::string tool, run;
};

TEST_F(DecodeToolExits, HistoricalDatesAndTheEpochWindow) {
    std::ofstream(dir.File("1999.nmea"), std::ios::binary)
        << test::Nmea("GPRMC,120000,A,4807.038,N,01131.000,E,0,0,220899,,") << test::Nmea("GPGLL,,,,,120001,V");
    std::string fixed = RunCommand(run + "decode nmea " + dir.File("1999.nmea") + " 2>" + dir.File("err"));
    EXPECT_EQ(fixed.find("\"time\":\"1999-"), std::string::npos) << "moved by the rollover repair: " << fixed;
    EXPECT_NE(test::ReadFile(dir.File("err")).find("--no-epoch-fix"), std::string::npos) << "the window is told";
    std::string kept = RunCommand(run + "decode --no-epoch-fix nmea " + dir.File("1999.nmea"));
    EXPECT_NE(kept.find("\"time\":\"1999-08-22T12:00:00.000Z\""), std::string::npos) << kept;
}

TEST_F(DecodeToolExits, NothingRecognisedIsAFailure) {
    // Random bytes, with '$' among them: no sentence, no packet, no message.
    std::string noise;
    unsigned n = 1;
    for (int i = 0; i < 20000; ++i) {
        n = n * 1103515245u + 12345u;
        noise += static_cast<char>(i % 61 == 0 ? '$' : (n >> 16) & 0xFF);
    }
    std::ofstream(dir.File("noise.bin"), std::ios::binary) << noise;
    std::string out = RunCommand(run + "decode nmea " + dir.File("noise.bin") + " 2>/dev/null");
    EXPECT_NE(out.find("\"sentences\":0,"), std::string::npos) << out;
    for (const char* szKind : {"nmea", "garmin", "sirf"})
        EXPECT_EQ(ExitCode(run + "decode " + szKind + " " + dir.File("noise.bin") + " >/dev/null 2>&1"), 1) << szKind;
    // An NMEA capture read as Garmin: the wrong protocol.
    std::ofstream(dir.File("ok.nmea"), std::ios::binary) << test::Nmea(c_szFix) << test::Nmea("GPGLL,,,,,120001,V");
    EXPECT_EQ(ExitCode(run + "decode garmin " + dir.File("ok.nmea") + " >/dev/null 2>&1"), 1);
    EXPECT_EQ(ExitCode(run + "decode nmea " + dir.File("ok.nmea") + " >/dev/null 2>&1"), 0);
}

TEST_F(DecodeToolExits, FullOutputDeviceAndMissingListenDevice) {
    std::ofstream(dir.File("ok.nmea"), std::ios::binary) << test::Nmea(c_szFix) << test::Nmea("GPGLL,,,,,120001,V");
    EXPECT_EQ(ExitCode(run + "decode nmea " + dir.File("ok.nmea") + " >/dev/full 2>/dev/null"), 1);
    EXPECT_EQ(ExitCode(run + "listen --seconds 1 /nonexistent/ttyUSB9 >/dev/null 2>&1"), 1);
}

TEST_F(DecodeToolExits, GarminSatellitesNotToldAreLeftOut) {
    auto log = test::CorpusPath("gps/garmin-binary/garmin18x-bin.log");
    VELKA_REQUIRE_CORPUS(log);
    std::string out = RunCommand(run + "decode garmin " + log.string() + " 2>/dev/null");
    EXPECT_NE(out.find("\"lat\""), std::string::npos);
    EXPECT_EQ(out.find("\"sats_used\":-1"), std::string::npos);
}

} // namespace
} // namespace velka
