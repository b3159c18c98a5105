// Real receiver captures decoded and compared with gpsdecode's reading of
// the same bytes. Dates are compared within the 1024-week period: the
// oracle moves dates before 2017 by 1024 weeks, and so may the epoch rule.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "gps/garmin.h"
#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "gps/sirf.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

constexpr long long c_llPeriodMs = 7168LL * 86400000LL;

long long PeriodMs(long long llMs) { return ((llMs % c_llPeriodMs) + c_llPeriodMs) % c_llPeriodMs; }

// OLE date to milliseconds since 1970 (rounded).
long long OleToUnixMs(double d) { return std::llround((d - 25569.0) * 86400000.0); }

// "2001-06-06T22:53:08.000Z" to milliseconds since 1970.
long long IsoToUnixMs(const std::string& s) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double sec = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%lfZ", &y, &mo, &d, &h, &mi, &sec) != 6) return -1;
    long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    return days * 86400000LL + (h * 3600LL + mi * 60LL) * 1000LL + std::llround(sec * 1000);
}

struct OracleTpv {
    double lat = NAN, lon = NAN, speed = NAN, track = NAN, alt = NAN, altHAE = NAN, climb = NAN;
};

// How our fixes are compared with the oracle's.
struct CompareRules {
    // Speed and course are compared (see bundg_zeus_9).
    bool fMotion = true;
    // Binary receivers: our speed includes the vertical speed, and the
    // altitude is compared over the ellipsoid (our geoid grid is coarser).
    bool fBinary = false;
};

struct CaptureResult {
    int cWithTimeAndPosition = 0;
    int cMatched = 0;
    int cOracleTimes = 0;
    std::vector<std::string> mismatches;
};

CaptureResult CompareFixes(const std::vector<GpsFix>& fixes, const std::filesystem::path& oracle,
                           const CompareRules& rules) {
    bool fCompareMotion = rules.fMotion;
    CaptureResult r;
    // The oracle's fixes by time within the period (several per second:
    // any of them may be the one gathered from the same sentences).
    std::multimap<long long, OracleTpv> tpvs;
    std::ifstream in(oracle);
    std::string line;
    while (std::getline(in, line)) {
        auto j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || j.value("class", "") != "TPV" || !j.contains("time") || !j.contains("lat"))
            continue;
        OracleTpv t;
        t.lat = j["lat"].get<double>();
        t.lon = j["lon"].get<double>();
        if (j.contains("speed")) t.speed = j["speed"].get<double>();
        if (j.contains("track")) t.track = j["track"].get<double>();
        if (j.contains("altMSL")) t.alt = j["altMSL"].get<double>();
        if (j.contains("altHAE")) t.altHAE = j["altHAE"].get<double>();
        if (j.contains("climb")) t.climb = j["climb"].get<double>();
        tpvs.emplace(PeriodMs(IsoToUnixMs(j["time"].get<std::string>())), t);
    }

    for (const GpsFix& fix : fixes) {
        if (!fix.Has(gfTime | gfPosition)) continue;
        ++r.cWithTimeAndPosition;
        long long key = PeriodMs(OleToUnixMs(fix.dTime));
        if (tpvs.find(key) == tpvs.end()) continue;
        ++r.cMatched;
        // Some receivers send RMC ahead of the GGA and GLL of the same
        // second, the oracle then dates their values a second apart
        // (bundg_zeus_9): its neighbouring seconds count too.
        auto range = std::make_pair(tpvs.lower_bound(key - 1000), tpvs.upper_bound(key + 1000));
        // Each value must agree with the oracle's reading of the same
        // second (the oracle reports a second once per sentence kind, and
        // sentences of one second may differ in the last digit).
        bool fPos = false, fSpeed = !fix.Has(gfSpeed) || !fCompareMotion,
             fTrack = !fix.Has(gfCourse) || !fCompareMotion, fAlt = !fix.Has(gfAltitude);
        bool fOracleSpeed = false, fOracleTrack = false, fOracleAlt = false;
        std::ostringstream why;
        why.precision(10);
        for (auto it = range.first; it != range.second; ++it) {
            const OracleTpv& t = it->second;
            fPos |= std::fabs(fix.fLatitude - t.lat) < 1.5e-5 && std::fabs(fix.fLongitude - t.lon) < 1.5e-5;
            if (!std::isnan(t.speed)) {
                fOracleSpeed = true;
                double dSpeed = rules.fBinary && !std::isnan(t.climb) ? std::hypot(t.speed, t.climb) : t.speed;
                fSpeed |= std::fabs(fix.fSpeed / 3.6 - dSpeed) < 0.002;
            }
            if (!std::isnan(t.track)) {
                fOracleTrack = true;
                fTrack |= std::fabs(fix.fCourse - t.track) < 0.01;
            }
            if (rules.fBinary && !std::isnan(t.altHAE)) {
                fOracleAlt = true;
                fAlt |= !fix.Has(gfGeoidHeight) || std::fabs(fix.fAltitude + fix.fGeoidHeight - t.altHAE) < 0.01;
            } else if (!rules.fBinary && !std::isnan(t.alt)) {
                fOracleAlt = true;
                // Garmin's PGRMZ gives whole feet where GGA gives decimetres.
                fAlt |= std::fabs(fix.fAltitude - t.alt) < 0.35;
            }
            why << " [oracle " << t.lat << "," << t.lon << " v=" << t.speed << " trk=" << t.track
                << " alt=" << t.alt << "]";
        }
        bool fAgree = fPos && (fSpeed || !fOracleSpeed) && (fTrack || !fOracleTrack) && (fAlt || !fOracleAlt);
        if (!fAgree) {
            std::ostringstream s;
            s.precision(10);
            s << "t=" << key << " ours " << fix.fLatitude << "," << fix.fLongitude << " v="
              << (fix.Has(gfSpeed) ? fix.fSpeed / 3.6 : NAN) << " trk=" << (fix.Has(gfCourse) ? fix.fCourse : NAN)
              << " alt=" << (fix.Has(gfAltitude) ? fix.fAltitude : NAN) << why.str();
            r.mismatches.push_back(s.str());
        }
    }
    r.cOracleTimes = 0;
    for (auto it = tpvs.begin(); it != tpvs.end(); it = tpvs.upper_bound(it->first)) ++r.cOracleTimes;
    return r;
}

// No value disagrees; our fixes are the oracle's seconds; a capture with
// positioned seconds gives fixes.
void ExpectAgreement(const std::string& name, const CaptureResult& r) {
    for (const std::string& m : r.mismatches) ADD_FAILURE() << name << ": " << m;
    std::printf("%s: %d fixes with time and position, %d at the %d seconds of the oracle\n", name.c_str(),
                r.cWithTimeAndPosition, r.cMatched, r.cOracleTimes);
    EXPECT_GE(r.cMatched * 10, r.cWithTimeAndPosition * 7) << name;
    if (r.cOracleTimes > 0) {
        EXPECT_GT(r.cMatched, 0) << name;
    }
}

class NmeaCaptureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NmeaCaptureTest, AgreesWithGpsdecode) {
    std::string name = GetParam();
    auto log = test::CorpusPath("gps/nmea/" + name + ".log");
    auto oracle = test::CorpusPath("gps/nmea/" + name + ".gpsdecode.json");
    VELKA_REQUIRE_CORPUS(log);
    VELKA_REQUIRE_CORPUS(oracle);
    // The chart plotter's VTG disagrees with its own RMC; the oracle reports
    // VTG's speed and course, we take RMC's (VTG carries nothing we take).
    CompareRules rules;
    rules.fMotion = name != "bundg_zeus_9";
    test::CRecordingSink sink;
    CNmea0183Protocol decoder(4800, true);
    decoder.m_pSink = &sink;
    decoder.Start();
    CNmeaTextFeeder feeder(&decoder);
    feeder.Feed(test::ReadFile(log));
    feeder.Finish();
    ExpectAgreement(name, CompareFixes(sink.fixes, oracle, rules));
}

INSTANTIATE_TEST_SUITE_P(Captures, NmeaCaptureTest,
                         ::testing::Values("bu353-glonass", "bundg_zeus_9", "eXplorist210", "firefly-II",
                                           "foretrex-201", "garmin15x", "garmin48",
                                           "gp-320fw-2019-04-06-overflow", "gp-320fw-2019-04-07-coldboot",
                                           "haicom-305N", "humminbird-M37", "tn200", "ublox-neo-m9n-nmea"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string s = p.param;
                             for (char& c : s)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return s;
                         });

// Binary captures: the heading comment lines are skipped, the frames fed
// in reads of up to 4096 bytes.
std::vector<GpsFix> DecodeBinary(CGpsProtocol& decoder, const std::filesystem::path& log) {
    test::CRecordingSink sink;
    decoder.m_pSink = &sink;
    std::string bytes = test::ReadFile(log);
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] == '#') {
        std::size_t nl = bytes.find('\n', i);
        i = nl == std::string::npos ? bytes.size() : nl + 1;
    }
    for (; i < bytes.size(); i += 4096) {
        std::size_t n = std::min<std::size_t>(4096, bytes.size() - i);
        decoder.OnData(reinterpret_cast<const BYTE*>(bytes.data() + i), static_cast<DWORD>(n));
    }
    return sink.fixes;
}

class BinaryCaptureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BinaryCaptureTest, AgreesWithGpsdecode) {
    std::string name = GetParam();
    auto log = test::CorpusPath("gps/" + name + ".log");
    auto oracle = test::CorpusPath("gps/" + name + ".gpsdecode.json");
    VELKA_REQUIRE_CORPUS(log);
    VELKA_REQUIRE_CORPUS(oracle);
    CGarminProtocol garmin;
    CSiRFProtocol sirf;
    bool fGarmin = name.find("garmin") != std::string::npos;
    std::vector<GpsFix> fixes = DecodeBinary(fGarmin ? static_cast<CGpsProtocol&>(garmin) : sirf, log);
    CompareRules rules;
    rules.fBinary = true;
    ExpectAgreement(name, CompareFixes(fixes, oracle, rules));
}

INSTANTIATE_TEST_SUITE_P(Captures, BinaryCaptureTest,
                         ::testing::Values("garmin-binary/garmin18x-bin", "sirf/bu303-climbing", "sirf/bu303-moving",
                                           "sirf/bu303-nofix", "sirf/bu303-stillfix", "sirf/bu303b-nofix", "sirf/sirf2"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string s = p.param;
                             for (char& c : s)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return s;
                         });

} // namespace
} // namespace velka
