// Receiver captures replayed through positioning, the trip computer and the
// gauges (velkatool gauges replay) against values computed independently
// from gpsd's decoding of the same captures: the odometer by GeographicLib
// over the moving fixes, the top speed, the elevation extremes of 3D fixes;
// the satellite table against gpsd's last sky view; a replay split in two
// runs with a restart between them against one run.
#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gauges/gauge.h"
#include "gps/positioning.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"
#include "tools/gps_replay.h"

namespace velka {
namespace {

using json = nlohmann::json;

struct Capture {
    const char* szKind;
    const char* szFolder;
    const char* szName;
};

// Captures with moving 3D fixes in all three protocols.
constexpr Capture c_aCaptures[] = {
    {"nmea", "nmea", "haicom-305N"},         {"nmea", "nmea", "ublox-neo-m9n-nmea"},
    {"nmea", "nmea", "bu353-glonass"},       {"nmea", "nmea", "garmin15x"},
    {"nmea", "nmea", "foretrex-201"},        {"sirf", "sirf", "bu303-moving"},
    {"sirf", "sirf", "bu303-climbing"},      {"garmin", "garmin-binary", "garmin18x-bin"},
};

std::string RunTool(const std::string& strArgs, int* pnExit = nullptr) {
    const std::string strCmd = std::string(VELKATOOL_PATH) + " " + strArgs;
    std::FILE* p = popen(strCmd.c_str(), "r");
    std::string out;
    char buf[65536];
    for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int rc = p ? pclose(p) : -1;
    if (pnExit) *pnExit = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

json Totals(const std::string& out) {
    std::istringstream in(out);
    json last;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        json j = json::parse(line, nullptr, false);
        if (j.is_object() && j.contains("totals")) last = j["totals"];
    }
    return last;
}

struct Oracle {
    double dOdometer = 0, dMaxSpeed = 0;
    double dMaxElev = -1e9, dMinElev = 1e9;
    int nSeen = -1, nUsed = -1;
};

// gpsd's reports: distance between consecutive positions whose second one
// moves at 2 km/h or more; the top speed; the extremes of 3D fixes. gpsd
// may report a cycle twice, the first time with a speed of its own making
// from two positions: the last report of each time stands.
Oracle ComputeOracle(const std::string& strPath) {
    const GeographicLib::Geodesic& g = GeographicLib::Geodesic::WGS84();
    Oracle o;
    std::ifstream in(strPath);
    std::vector<json> cycles;
    for (std::string line; std::getline(in, line);) {
        json j = json::parse(line, nullptr, false);
        if (!j.is_object()) continue;
        if (j.value("class", "") == "SKY" && j.contains("satellites")) {
            o.nSeen = static_cast<int>(j["satellites"].size());
            o.nUsed = 0;
            for (const json& s : j["satellites"]) o.nUsed += s.value("used", false) ? 1 : 0;
        }
        if (j.value("class", "") != "TPV") continue;
        if (!cycles.empty() && j.contains("time") && cycles.back().value("time", "") == j["time"].get<std::string>())
            cycles.back() = std::move(j);
        else
            cycles.push_back(std::move(j));
    }
    bool fPrev = false;
    double dLatPrev = 0, dLonPrev = 0;
    for (const json& j : cycles) {
        if (j.contains("speed")) o.dMaxSpeed = std::max(o.dMaxSpeed, j["speed"].get<double>() * 3.6);
        if (j.value("mode", 0) == 3 && j.contains("altMSL")) {
            o.dMaxElev = std::max(o.dMaxElev, j["altMSL"].get<double>());
            o.dMinElev = std::min(o.dMinElev, j["altMSL"].get<double>());
        }
        if (!j.contains("lat") || !j.contains("lon")) {
            fPrev = false;
            continue;
        }
        const double dLat = j["lat"], dLon = j["lon"];
        if (fPrev && j.value("speed", 0.0) * 3.6 >= 2.0) {
            double s12 = 0;
            g.Inverse(dLatPrev, dLonPrev, dLat, dLon, s12);
            o.dOdometer += s12;
        }
        fPrev = true;
        dLatPrev = dLat;
        dLonPrev = dLon;
    }
    return o;
}

// Whether an NMEA capture's receiver ever reports a 3D solution (GSA mode 3).
bool Reports3D(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (line.size() > 10 && line.compare(3, 3, "GSA") == 0 && line.find(",3,") == 8) return true;
    return false;
}

class ReplayOracleTest : public ::testing::TestWithParam<Capture> {};

// The number at the start of a displayed text ("9.6 km/h"), NaN for "-".
double Leading(const json& text) {
    const std::string s = text.get<std::string>();
    char* pEnd = nullptr;
    const double d = std::strtod(s.c_str(), &pEnd);
    return pEnd == s.c_str() ? NAN : d;
}

// gpsd drops the opening cycle of a capture, so a value of our first two
// fixes may stand where gpsd's differs.
void ExpectAgrees(double dOurs, double dOracle, double dTolerance, const std::vector<double>& opening,
                  const char* szWhat) {
    if (std::fabs(dOurs - dOracle) <= dTolerance) return;
    const bool fOpening = std::any_of(opening.begin(), opening.end(),
                                      [&](double d) { return std::fabs(d - dOurs) <= 0.051; });
    EXPECT_TRUE(fOpening) << szWhat << ": ours " << dOurs << ", gpsd " << dOracle;
}

TEST_P(ReplayOracleTest, TotalsAgreeWithGpsd) {
    const Capture& c = GetParam();
    const auto log = test::CorpusPath(std::string("gps/") + c.szFolder + "/" + c.szName + ".log");
    const auto oracle = test::CorpusPath(std::string("gps/") + c.szFolder + "/" + c.szName + ".gpsdecode.json");
    VELKA_REQUIRE_CORPUS(log);
    VELKA_REQUIRE_CORPUS(oracle);
    int nExit = -1;
    const std::string out =
        RunTool(std::string("gauges replay ") + c.szKind + " '" + log.string() + "' --keys speed,elev", &nExit);
    ASSERT_EQ(nExit, 0);
    const json t = Totals(out);
    ASSERT_TRUE(t.is_object()) << out.substr(0, 300);
    std::vector<double> openingSpeeds, openingElevations;
    {
        std::istringstream in(out);
        std::string line;
        for (int i = 0; i < 2 && std::getline(in, line); ++i) {
            const json j = json::parse(line, nullptr, false);
            if (!j.is_object() || !j.contains("speed")) break;
            openingSpeeds.push_back(Leading(j["speed"]));
            openingElevations.push_back(Leading(j["elev"]));
        }
    }
    const Oracle o = ComputeOracle(oracle.string());
    // The odometer leaves out parked jitter and long gaps; gpsd's track
    // has every step.
    const double dOdometer = t["odometer_m"].get<double>();
    EXPECT_LE(dOdometer, o.dOdometer * 1.01 + 1) << c.szName;
    EXPECT_GE(dOdometer, o.dOdometer * 0.85 - 20) << c.szName;
    EXPECT_DOUBLE_EQ(t["tripodometer_m"].get<double>(), dOdometer);
    ExpectAgrees(t["maxspeed_kmh"].get<double>(), o.dMaxSpeed, 0.06 + o.dMaxSpeed * 1e-4, openingSpeeds, "speed");
    // Elevation extremes take 3D solutions only; gpsd calls a fix with an
    // altitude 3D even when the receiver says 2D.
    const bool f3D = std::string(c.szKind) != "nmea" || Reports3D(log.string());
    if (!f3D) {
        EXPECT_TRUE(t["maxelev_m"].is_null()) << c.szName;
    }
    if (o.dMaxElev > -1e9 && f3D) {
        ASSERT_TRUE(t["maxelev_m"].is_number()) << c.szName;
        // Binary protocols give heights over the ellipsoid: the two geoid
        // models differ by a few metres.
        const double dTolerance = std::string(c.szKind) == "nmea" ? 0.051 : 3.0;
        ExpectAgrees(t["maxelev_m"].get<double>(), o.dMaxElev, dTolerance, openingElevations, "max elevation");
        ExpectAgrees(t["minelev_m"].get<double>(), o.dMinElev, dTolerance, openingElevations, "min elevation");
    }
}

INSTANTIATE_TEST_SUITE_P(Captures, ReplayOracleTest, ::testing::ValuesIn(c_aCaptures),
                         [](const auto& param) {
                             std::string s = param.param.szName;
                             std::replace_if(s.begin(), s.end(), [](char ch) { return !std::isalnum(ch); }, '_');
                             return s;
                         });

TEST(ReplayOracle, SatelliteTableMatchesGpsdsLastSky) {
    const auto log = test::CorpusPath("gps/nmea/garmin15x.log");
    const auto oracle = test::CorpusPath("gps/nmea/garmin15x.gpsdecode.json");
    VELKA_REQUIRE_CORPUS(log);
    VELKA_REQUIRE_CORPUS(oracle);
    test::ScopedSettings settings;
    SettingsOpen();
    ResetPositioningForTest();
    const tool::ReplayResult r = tool::ReplayCapture("nmea", log.string(), {}, {});
    ASSERT_TRUE(r.fOpened);
    int cSeen = 0, cUsed = 0;
    for (int i = 0; i < GetSatelliteCount(); ++i) {
        const GpsSatellite s = GetSatellite(i);
        if (s.nPRN <= 0) continue;
        ++cSeen;
        cUsed += s.nState == 2;
    }
    const Oracle o = ComputeOracle(oracle.string());
    EXPECT_EQ(cSeen, o.nSeen);
    EXPECT_EQ(cUsed, o.nUsed);
    ResetSatelliteTable(0);
    SettingsClose();
}

// The capture cut into two files at a cycle boundary near its middle.
bool SplitNmea(const std::string& strPath, const std::string& strA, const std::string& strB) {
    std::ifstream in(strPath, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::size_t k = lines.size() / 2;
    while (k < lines.size() && lines[k].find("GGA,") == std::string::npos) ++k;
    if (k >= lines.size()) return false;
    std::ofstream a(strA, std::ios::binary), b(strB, std::ios::binary);
    for (std::size_t i = 0; i < lines.size(); ++i) (i < k ? a : b) << lines[i] << '\n';
    return true;
}

TEST(ReplayOracle, ARestartBetweenHalvesGivesTheSameTotals) {
    const auto log = test::CorpusPath("gps/nmea/haicom-305N.log");
    VELKA_REQUIRE_CORPUS(log);
    test::TempDir dir;
    ASSERT_TRUE(SplitNmea(log.string(), dir.File("a.log"), dir.File("b.log")));
    const std::string strWhole = " --settings-db '" + dir.File("whole.db") + "' gauges replay nmea ";
    const std::string strSplit = " --settings-db '" + dir.File("split.db") + "' gauges replay nmea ";
    const json whole = Totals(RunTool(strWhole + "'" + log.string() + "' --keys odometer"));
    RunTool(strSplit + "'" + dir.File("a.log") + "' --keys odometer");
    const json split = Totals(RunTool(strSplit + "'" + dir.File("b.log") + "' --keys odometer"));
    ASSERT_TRUE(whole.is_object());
    ASSERT_TRUE(split.is_object());
    EXPECT_GT(whole["odometer_m"].get<double>(), 10);
    for (const char* sz : {"odometer_m", "tripodometer_m"})
        EXPECT_NEAR(split[sz].get<double>(), whole[sz].get<double>(), 0.01) << sz;
    // The stored area keeps one decimal.
    EXPECT_NEAR(split["area_m2"].get<double>(), whole["area_m2"].get<double>(), 0.11);
    for (const char* sz : {"triptime_moving_s", "triptime_stopped_s"})
        EXPECT_NEAR(split[sz].get<double>(), whole[sz].get<double>(), 0.2) << sz;
    for (const char* sz : {"maxspeed_kmh", "maxelev_m", "minelev_m"}) EXPECT_EQ(split[sz], whole[sz]) << sz;
}

TEST(ReplayOracle, CommandShapes) {
    int nExit = -1;
    const std::string list = RunTool("gauges list", &nExit);
    EXPECT_EQ(nExit, 0);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 77);
    const json first = json::parse(list.substr(0, list.find('\n')));
    EXPECT_EQ(first["key"], "avespeed_moving");
    EXPECT_EQ(first["group"], "trip1");
    EXPECT_EQ(first["resettable"], false);
    EXPECT_EQ(first["export_order"], 6);
    RunTool("gauges replay nmea /dev/null --keys nosuchkey 2>/dev/null", &nExit);
    EXPECT_EQ(nExit, 2);
    RunTool("gauges replay nmea /no/such/file 2>/dev/null", &nExit);
    EXPECT_EQ(nExit, 1);
}

} // namespace
} // namespace velka
