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

int RunGeo(const Args& args) {
    if (args.empty()) return UsageError("geo", "missing action");
    const std::string& action = args[0];
    int rc = c_nExitOk;
    if ((action == "distance" || action == "course") && args.size() == 5) {
        float v[4];
        if (!ParseFloats(args, 1, v, 4, "geo", rc)) return rc;
        if (!InRange(v[0], v[1]) || !InRange(v[2], v[3]))
            return UsageError("geo", "longitude must lie in [-180, 180], latitude in [-90, 90]");
        if (action == "distance")
            std::printf("%.3f\n", Distance(v[0], v[1], v[2], v[3]));
        else
            std::printf("%.6f\n", static_cast<double>(Course(v[0], v[1], v[2], v[3])));
        return c_nExitOk;
    }
    if (action == "geoid" && args.size() == 3) {
        float v[2];
        if (!ParseFloats(args, 1, v, 2, "geo", rc)) return rc;
        if (!InRange(v[1], v[0]))
            return UsageError("geo", "latitude must lie in [-90, 90], longitude in [-180, 180]");
        std::printf("%.3f\n", static_cast<double>(GeoidHeight(v[0], v[1])));
        return c_nExitOk;
    }
    return UsageError("geo", "bad arguments");
}

int RunSun(const Args& args) {
    if (args.size() != 4 || (args[0] != "rise" && args[0] != "set"))
        return UsageError("sun", "bad arguments");
    int year = 0, month = 0, day = 0;
    if (!ParseDate(args[1], year, month, day))
        return UsageError("sun", "not a date (YYYY-MM-DD): '" + args[1] + "'");
    float v[2];
    int rc = c_nExitOk;
    if (!ParseFloats(args, 2, v, 2, "sun", rc)) return rc;
    if (!InRange(v[0], v[1]))
        return UsageError("sun", "longitude must lie in [-180, 180], latitude in [-90, 90]");
    const float h = SunRiseSet(year, month, day, v[0], v[1], args[0] == "rise");
    if (h == c_fNoSunEvent)
        std::printf("-100\n");
    else
        std::printf("%.6f\n", static_cast<double>(h));
    return c_nExitOk;
}

} // namespace velka::tool
