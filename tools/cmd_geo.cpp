// velkatool geo and sun: the geodesy and sunrise functions for scripts, one
// number per line.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gauges/sun.h"
#include "geometry/geodesy.h"
#include "tools/commands.h"

namespace velka::tool {
namespace {

// A finite decimal number filling the whole argument.
bool ParseFloat(const std::string& s, float& f) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(s.c_str(), &end);
    if (*end || errno == ERANGE || !std::isfinite(d)) return false;
    f = static_cast<float>(d);
    return std::isfinite(f);
}

bool ParseFloats(const Args& args, std::size_t iFirst, float* pValues, std::size_t cValues,
                 const char* szCommand, int& rc) {
    for (std::size_t i = 0; i < cValues; ++i) {
        if (!ParseFloat(args[iFirst + i], pValues[i])) {
            rc = UsageError(szCommand, "not a number: '" + args[iFirst + i] + "'");
            return false;
        }
    }
    return true;
}

bool InRange(float lon, float lat) { return std::fabs(lon) <= 180 && std::fabs(lat) <= 90; }

// YYYY-MM-DD with a real calendar day.
bool ParseDate(const std::string& s, int& year, int& month, int& day) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (s[i] < '0' || s[i] > '9') return false;
    year = std::stoi(s.substr(0, 4));
    month = std::stoi(s.substr(5, 2));
    day = std::stoi(s.substr(8, 2));
    if (month < 1 || month > 12 || day < 1) return false;
    static const int c_aDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool fLeap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int cDays = month == 2 && !fLeap ? 28 : c_aDays[month - 1];
    return day <= cDays;
}

} // namespace

namespace {

// Positions are LAT,LON as everywhere on the command line. The older
// separate numbers (LON LAT for distance, course and sun; LAT LON for
// geoid) still work for this release, with a warning.
struct Place {
    float fLat = 0, fLon = 0;
};

bool ParsePlace(const std::string& s, Place& p) {
    const std::size_t k = s.find(',');
    return k != std::string::npos && ParseFloat(s.substr(0, k), p.fLat) && ParseFloat(s.substr(k + 1), p.fLon);
}

// Takes cPlaces positions from args[iFirst..]: LAT,LON each, or the old
// separate numbers (fOldLonFirst: longitude first). rc is set on failure.
bool ParsePlaces(const Args& args, std::size_t iFirst, Place* pPlaces, std::size_t cPlaces, bool fOldLonFirst,
                 const char* szCommand, const char* szUsage, int& rc) {
    const std::size_t cArgs = args.size() - iFirst;
    if (cArgs == cPlaces) {
        for (std::size_t i = 0; i < cPlaces; ++i)
            if (!ParsePlace(args[iFirst + i], pPlaces[i])) {
                rc = UsageError(szCommand, "not a position LAT,LON: '" + args[iFirst + i] + "'");
                return false;
            }
    } else if (cArgs == 2 * cPlaces) {
        std::fprintf(stderr,
                     "velkatool %s: warning: separate numbers are deprecated and will be refused in the next "
                     "release; give %s\n",
                     szCommand, szUsage);
        float v[4];
        if (!ParseFloats(args, iFirst, v, 2 * cPlaces, szCommand, rc)) return false;
        for (std::size_t i = 0; i < cPlaces; ++i) {
            pPlaces[i].fLat = fOldLonFirst ? v[2 * i + 1] : v[2 * i];
            pPlaces[i].fLon = fOldLonFirst ? v[2 * i] : v[2 * i + 1];
        }
    } else {
        rc = UsageError(szCommand, std::string("bad arguments: give ") + szUsage);
        return false;
    }
    for (std::size_t i = 0; i < cPlaces; ++i)
        if (!InRange(pPlaces[i].fLon, pPlaces[i].fLat)) {
            rc = UsageError(szCommand, "latitude must lie in [-90, 90], longitude in [-180, 180]");
            return false;
        }
    return true;
}

} // namespace

int RunGeo(const Args& args) {
    if (args.empty()) return UsageError("geo", "missing action");
    const std::string& action = args[0];
    int rc = c_nExitOk;
    if (action == "distance" || action == "course") {
        Place a, b;
        Place places[2];
        if (!ParsePlaces(args, 1, places, 2, true, "geo", "LAT1,LON1 LAT2,LON2", rc)) return rc;
        a = places[0];
        b = places[1];
        if (action == "distance")
            std::printf("%.3f\n", Distance(a.fLon, a.fLat, b.fLon, b.fLat));
        else
            std::printf("%.6f\n", static_cast<double>(Course(a.fLon, a.fLat, b.fLon, b.fLat)));
        return c_nExitOk;
    }
    if (action == "geoid") {
        Place p;
        if (!ParsePlaces(args, 1, &p, 1, false, "geo", "LAT,LON", rc)) return rc;
        std::printf("%.3f\n", static_cast<double>(GeoidHeight(p.fLat, p.fLon)));
        return c_nExitOk;
    }
    return UsageError("geo", "bad arguments");
}

int RunSun(const Args& args) {
    if (args.size() < 3 || (args[0] != "rise" && args[0] != "set"))
        return UsageError("sun", "bad arguments");
    int year = 0, month = 0, day = 0;
    if (!ParseDate(args[1], year, month, day))
        return UsageError("sun", "not a date (YYYY-MM-DD): '" + args[1] + "'");
    Place p;
    int rc = c_nExitOk;
    if (!ParsePlaces(args, 2, &p, 1, true, "sun", "LAT,LON", rc)) return rc;
    const float h = SunRiseSet(year, month, day, p.fLon, p.fLat, args[0] == "rise");
    if (h == c_fNoSunEvent)
        std::printf("-100\n");
    else
        std::printf("%.6f\n", static_cast<double>(h));
    return c_nExitOk;
}

} // namespace velka::tool
