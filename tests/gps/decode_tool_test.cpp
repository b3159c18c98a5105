// velkatool decode nmea end to end: JSON lines of the fixes, then the summary.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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

} // namespace
} // namespace velka
