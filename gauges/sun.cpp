#include "gauges/sun.h"

#include <cmath>

#include "geometry/fast_math.h"
#include "platform/debug.h"

namespace velka {
namespace {

constexpr float c_fZenith = 1.5853408257303272f; // 90 deg 50': upper limb with refraction
constexpr float c_fDegToRad = c_PI / 180.0f;
constexpr float c_fRadToDeg = 180.0f / c_PI;

float SinDeg(float d) { return std::sin(d * c_fDegToRad); }

// Wraps into [0, period) whatever the value: the almanac's one-step
// correction is enough for sensible input, the remainder catches the rest.
float Wrap(float v, float period) {
    if (v < 0)
        v += period;
    else if (v >= period)
        v -= period;
    if (!(v >= 0 && v < period)) {
        v = std::fmod(v, period);
        if (v < 0) v += period;
        if (v >= period) v = 0; // rounding of a tiny negative remainder
        if (std::isnan(v)) v = 0;
    }
    return v;
}

} // namespace

float NormalizeDegrees(float _a) { return Wrap(_a, 360.0f); }
float NormalizeHours(float _h) { return Wrap(_h, 24.0f); }

int DayOfYear(int year, int month, int day) {
    const int yearMod4 = ((year % 4) + 4) % 4;
    const int n1 = 275 * month / 9;
    const int n2 = (month + 9) / 12;
    const int n3 = 1 + (yearMod4 + 2) / 3;
    return n1 - n2 * n3 + day - 30;
}

float SunRiseSet(int year, int month, int day, float lon, float lat, bool fRising) {
    const int n = DayOfYear(year, month, day);
    const float lngHour = lon / 15;
    const float t = static_cast<float>(n) + ((fRising ? 6.0f : 18.0f) - lngHour) / 24;
    const float m = 0.9856f * t - 3.289f; // the sun's mean anomaly
    const float l = NormalizeDegrees(m + 1.916f * SinDeg(m) + 0.020f * SinDeg(2 * m) + 282.634f);
    float ra = NormalizeDegrees(c_fRadToDeg * std::atan(0.91764f * std::tan(l * c_fDegToRad)));
    ra += 90 * std::floor(l / 90) - 90 * std::floor(ra / 90); // into L's quadrant
    ra /= 15;
    const float sinDec = 0.39782f * SinDeg(l);
    const float cosDec = std::cos(std::asin(sinDec));
    const float cosH = (std::cos(c_fZenith) - sinDec * SinDeg(lat)) / (cosDec * std::cos(lat * c_fDegToRad));
    // Beyond +-1 the sun stays below (polar night) or above (polar day) the
    // horizon all day: neither event happens.
    if (!(cosH >= -1 && cosH <= 1)) return c_fNoSunEvent;
    float h = c_fRadToDeg * std::acos(cosH);
    if (fRising) h = 360 - h;
    h /= 15;
    const float localT = h + ra - 0.06571f * t - 6.622f;
    return NormalizeHours(localT - lngHour);
}

} // namespace velka
