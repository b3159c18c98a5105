// GpsFix: one fix, a plain record copied whole. A value counts only while
// its presence flag is set in m_dwFlags; setting a value sets its flag.
#pragma once
#include "platform/clock.h"
#include "platform/win_types.h"

namespace velka {

enum GpsFixFlag : DWORD {
    gfTime = 0x1,
    gfPosition = 0x2,
    gfHorzError = 0x4,
    gfAltitude = 0x8,
    gfVertError = 0x10,
    gfGeoidHeight = 0x20,
    gfCourse = 0x40,
    gfMagVar = 0x80,
    gfSpeed = 0x100,
    gfVertSpeed = 0x200,
    gfSatellites = 0x400,
    gfQuality = 0x800,
    gfHDOP = 0x1000,
    gfVDOP = 0x2000,
    gfDiffAge = 0x4000,
    gfDiffStation = 0x8000,
    gfDepth = 0x10000,
    gfWaterTemp = 0x20000,
};

// Positions off the globe and speeds no receiver reports (above 1,000
// knots, where civil receivers stop) are garbage that must never become a
// fix or a track point.
constexpr double c_dMaxPlausibleSpeed = 1852.0; // km/h
inline bool IsPlausiblePosition(double dLat, double dLon) {
    return dLat >= -90.0 && dLat <= 90.0 && dLon >= -180.0 && dLon <= 180.0;
}
inline bool IsPlausibleSpeed(double dKmh) { return dKmh >= 0.0 && dKmh <= c_dMaxPlausibleSpeed; }

// Fix quality values 0..11, each with a name in the string table.
constexpr unsigned c_cFixQualityNames = 12;

struct GpsFix {
    double dTime = 0;       // UTC, OLE date
    float fLongitude = 0;   // degrees, east positive
    float fLatitude = 0;    // degrees, north positive
    float fHorzError = 0;   // metres
    float fAltitude = 0;    // metres above mean sea level
    float fVertError = 0;   // metres
    float fGeoidHeight = 0; // metres, geoid above the ellipsoid
    float fHDOP = 0;
    float fVDOP = 0;
    float fCourse = 0;      // degrees
    float fMagVar = 0;      // degrees, east positive
    float fSpeed = 0;       // km/h
    float fVertSpeed = 0;   // m/s, up positive
    int nSatellites = 0;    // used in the solution, -1 when not told
    int nQuality = 0;       // 0..11 (c_cFixQualityNames values)
    float fDiffAge = 0;     // seconds
    short nDiffStation = 0;
    float fDepth = 0;       // metres below the transducer
    float fWaterTemp = 0;   // degrees Celsius
    DWORD dwFlags = 0;
    DWORD dwCreationTick = 0;

    // Empties the fix: no flags, creation tick now; values stay but count as absent.
    void Empty() {
        dwFlags = 0;
        dwCreationTick = GetTickCount();
    }
    bool Has(DWORD dwFlag) const { return (dwFlags & dwFlag) == dwFlag; }

    void SetTime(double d) { dTime = d; dwFlags |= gfTime; }
    void SetPosition(float fLon, float fLat) {
        fLongitude = fLon;
        fLatitude = fLat;
        dwFlags |= gfPosition;
    }
    void SetHorzError(float f) { fHorzError = f; dwFlags |= gfHorzError; }
    void SetAltitude(float f) { fAltitude = f; dwFlags |= gfAltitude; }
    void SetVertError(float f) { fVertError = f; dwFlags |= gfVertError; }
    void SetGeoidHeight(float f) { fGeoidHeight = f; dwFlags |= gfGeoidHeight; }
    void SetHDOP(float f) { fHDOP = f; dwFlags |= gfHDOP; }
    void SetVDOP(float f) { fVDOP = f; dwFlags |= gfVDOP; }
    void SetCourse(float f) { fCourse = f; dwFlags |= gfCourse; }
    void SetMagVar(float f) { fMagVar = f; dwFlags |= gfMagVar; }
    void SetSpeed(float f) { fSpeed = f; dwFlags |= gfSpeed; }
    void SetVertSpeed(float f) { fVertSpeed = f; dwFlags |= gfVertSpeed; }
    void SetSatellites(int n) { nSatellites = n; dwFlags |= gfSatellites; }
    void SetQuality(int n) { nQuality = n; dwFlags |= gfQuality; }
    void SetDiffAge(float f) { fDiffAge = f; dwFlags |= gfDiffAge; }
    void SetDiffStation(short n) { nDiffStation = n; dwFlags |= gfDiffStation; }
    void SetDepth(float f) { fDepth = f; dwFlags |= gfDepth; }
    void SetWaterTemp(float f) { fWaterTemp = f; dwFlags |= gfWaterTemp; }
};

// Satellite record: PRN, elevation and azimuth in degrees, SNR in dB, state
// (1 in view, 2 used in the solution, 0 not told).
struct GpsSatellite {
    int nPRN = 0;
    int nElevation = 0;
    int nAzimuth = 0;
    int nSNR = 0;
    int nState = 0;
};

} // namespace velka
