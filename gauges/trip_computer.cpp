#include "gauges/trip_computer.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>

#include "geometry/geodesy.h"
#include "platform/text.h"
#include "shell/settings.h"

namespace velka {
namespace {

constexpr double c_dSecond = 1.0 / 86400.0;
constexpr int c_cchStoredText = 64;

struct CExtremeSetting {
    const char16_t* szName;
    double dReset;
    const char16_t* szReset;
};
constexpr CExtremeSetting c_aExtremes[c_cTripExtremes] = {
    {u"MaxElevation", c_dNoMaxElevation, u"-1000"},
    {u"MinElevation", c_dNoMinElevation, u"100000"},
    {u"MaxSpeed", 0, u"0"},
    {u"MaxVAccent", 0, u"0"},
    {u"MaxVDecent", 0, u"0"},
};

// The last fix survives restarts so that a quick restart continues the
// distance and time chains: "time timevalid lon lat posvalid moving".
constexpr const char16_t* c_szLastFix = u"TripLastFix";

// The whole metres of a distance go to the integer setting readers know;
// the exact value goes beside it, so restarts keep the fraction.
std::u16string ExactName(const char16_t* szName) { return std::u16string(szName) + u"Exact"; }

double ReadDistance(const char16_t* szName) {
    const int nWhole = ReadSettingInt(szName, 0);
    const double dExact = ParseStoredReal(ReadSettingString(ExactName(szName).c_str(), c_cchStoredText, u""), -1);
    // The exact value counts only while it agrees with the whole metres
    // (another writer may have changed or reset them).
    if (dExact >= 0 && dExact < 2147483648.0 && static_cast<long long>(dExact) == nWhole) return dExact;
    return nWhole > 0 ? nWhole : 0;
}

bool IntervalCounts(double dDays) { return dDays > 0 && dDays <= c_dMaxIntervalSeconds * c_dSecond; }

// Elevation extremes take 3D solutions only (a 2D fix carries a held or
// invented altitude); fixes that do not tell their quality are taken.
bool HasUsableElevation(const GpsFix& fix) {
    if (!fix.Has(gfAltitude) || !std::isfinite(fix.fAltitude)) return false;
    if (!fix.Has(gfQuality)) return true;
    return fix.nQuality != 0 && fix.nQuality != 2 && fix.nQuality != 4;
}

} // namespace

double ParseStoredReal(const std::u16string& strText, double dDefault) {
    std::string s = ToUtf8(strText);
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e && (*p == ' ' || *p == '\t')) ++p;
    if (p < e && *p == '+') ++p;
    double d = 0;
    auto r = std::from_chars(p, e, d);
    if (r.ec != std::errc() || !std::isfinite(d)) return dDefault;
    return d;
}

std::u16string FormatStoredReal(const char* szFormat, double d) {
    return FormatW(FromUtf8(szFormat).c_str(), d);
}

CTripComputer::CTripComputer() {
    m_aTrips[0] = {0, 0, 0, 0, u"TripOdometer", u"TripTimeMoving", u"TripTimeStopped", u"TripTimeMeasured"};
    m_aTrips[1] = {0, 0, 0, 0, u"TripOdometer2", u"TripTimeMoving2", u"TripTimeStopped2", u"TripTimeMeasured2"};
    for (int i = 0; i < c_cTripExtremes; ++i) m_adExtremes[i] = c_aExtremes[i].dReset;
}

void CTripComputer::Load() {
    auto readTime = [](const char16_t* szName) {
        // At most a century: anything beyond is not a stored total.
        const double d = ParseStoredReal(ReadSettingString(szName, c_cchStoredText, u"0"), 0);
        return d > 0 && d < 36525 ? d : 0.0;
    };
    m_dOdometer = ReadDistance(u"Odometer");
    for (CTripRecord& t : m_aTrips) {
        t.dOdometer = ReadDistance(t.strTripOdometer);
        t.dtMoving = readTime(t.strTripTime_Moving);
        t.dtStopped = readTime(t.strTripTime_Stopped);
        t.dtMeasured = readTime(t.strTripTime_Measured);
    }
    for (int i = 0; i < c_cTripExtremes; ++i) {
        const CExtremeSetting& s = c_aExtremes[i];
        const double d = ParseStoredReal(ReadSettingString(s.szName, c_cchStoredText, s.szReset), s.dReset);
        m_adExtremes[i] = std::fabs(d) <= 1e6 ? d : s.dReset;
    }
    m_last = {};
    const std::string strLast = ToUtf8(ReadSettingString(c_szLastFix, c_cchStoredText * 2, u""));
    CLastFix last;
    int fTime = 0, fPosition = 0, fMoving = 0;
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    locale_t old = c ? uselocale(c) : static_cast<locale_t>(nullptr);
    const int cRead = std::sscanf(strLast.c_str(), "%lf %d %lf %lf %d %d", &last.dTime, &fTime, &last.dLon,
                                  &last.dLat, &fPosition, &fMoving);
    if (old) uselocale(old);
    if (c) freelocale(c);
    // Only a fix with a time can be continued: its interval is checked.
    if (cRead == 6 && fTime && std::isfinite(last.dTime)) {
        last.fTime = true;
        last.fPosition = fPosition != 0 && std::fabs(last.dLat) <= 90 && std::fabs(last.dLon) <= 180;
        last.fMoving = fMoving != 0;
        m_last = last;
    }
    m_anchor = m_last;
}

void CTripComputer::Update(const GpsFix& fix) {
    const bool fMoving = fix.Has(gfSpeed) && fix.fSpeed >= c_fMovingSpeedKmh;
    const bool fTime = fix.Has(gfTime) && std::isfinite(fix.dTime);
    const bool fPosition = fix.Has(gfPosition) && std::isfinite(fix.fLatitude) && std::isfinite(fix.fLongitude);
    const double dt = fTime && m_last.fTime ? fix.dTime - m_last.dTime : 0;
    // Without times on both sides the chain cannot be checked and goes on.
    const bool fChainHolds = !(fTime && m_last.fTime) || IntervalCounts(dt);

    // Distance.
    if (!fPosition) {
        m_anchor.fPosition = false;
    } else if (fMoving && m_anchor.fPosition && fChainHolds) {
        const double d = Distance(static_cast<float>(m_anchor.dLon), static_cast<float>(m_anchor.dLat),
                                  fix.fLongitude, fix.fLatitude);
        // The scatter a standing receiver shows: its horizontal error, else
        // a few metres per unit of HDOP.
        double dJitter = c_dMinJitterMetres;
        if (fix.Has(gfHorzError) && std::isfinite(fix.fHorzError))
            dJitter = fix.fHorzError;
        else if (fix.Has(gfHDOP) && std::isfinite(fix.fHDOP))
            dJitter = fix.fHDOP * c_dMetresPerHdop;
        dJitter = std::clamp(dJitter, c_dMinJitterMetres, c_dMaxJitterMetres);
        if (std::isfinite(d) && d >= dJitter) {
            AddDistance(d);
            m_anchor.dLon = fix.fLongitude;
            m_anchor.dLat = fix.fLatitude;
        }
    } else {
        m_anchor.fPosition = true;
        m_anchor.dLon = fix.fLongitude;
        m_anchor.dLat = fix.fLatitude;
    }

    // Times: intervals between two fixes of the same state.
    if (fTime) {
        if (m_last.fTime && IntervalCounts(dt) && m_last.fMoving == fMoving) AddTime(dt, fMoving);
        m_last.fTime = true;
        m_last.dTime = fix.dTime;
        m_last.fMoving = fMoving;
    }
    m_last.fPosition = m_anchor.fPosition;
    m_last.dLon = m_anchor.dLon;
    m_last.dLat = m_anchor.dLat;
    if (fTime) StoreLastFix();

    UpdateExtremes(fix);
}

void CTripComputer::UpdateExtremes(const GpsFix& fix) {
    auto raise = [this](int n, double d) {
        if (std::isfinite(d) && d > m_adExtremes[n]) {
            m_adExtremes[n] = d;
            StoreExtreme(n);
        }
    };
    if (HasUsableElevation(fix)) {
        raise(teMaxElevation, fix.fAltitude);
        if (fix.fAltitude < m_adExtremes[teMinElevation]) {
            m_adExtremes[teMinElevation] = fix.fAltitude;
            StoreExtreme(teMinElevation);
        }
    }
    if (fix.Has(gfSpeed)) raise(teMaxSpeed, fix.fSpeed);
    if (fix.Has(gfVertSpeed)) {
        if (fix.fVertSpeed > 0) raise(teMaxVAscent, fix.fVertSpeed);
        if (fix.fVertSpeed < 0) raise(teMaxVDescent, -static_cast<double>(fix.fVertSpeed));
    }
}

void CTripComputer::PositionLost() { m_anchor.fPosition = false; }

void CTripComputer::AddDistance(double dMetres) {
    m_dOdometer += dMetres;
    StoreDistance(u"Odometer", m_dOdometer);
    for (CTripRecord& t : m_aTrips) {
        t.dOdometer += dMetres;
        StoreDistance(t.strTripOdometer, t.dOdometer);
    }
}

void CTripComputer::AddTime(double dDays, bool fMoving) {
    for (CTripRecord& t : m_aTrips) {
        if (fMoving) {
            t.dtMoving += dDays;
            StoreTime(t.strTripTime_Moving, t.dtMoving);
        } else {
            t.dtStopped += dDays;
            StoreTime(t.strTripTime_Stopped, t.dtStopped);
        }
        t.dtMeasured += dDays;
        StoreTime(t.strTripTime_Measured, t.dtMeasured);
    }
}

void CTripComputer::ResetTrip(int k) {
    CTripRecord& t = m_aTrips[k];
    t.dOdometer = t.dtMoving = t.dtStopped = t.dtMeasured = 0;
    WriteSettingInt(t.strTripOdometer, 0);
    DeleteSetting(ExactName(t.strTripOdometer).c_str());
    for (const char16_t* sz : {t.strTripTime_Moving, t.strTripTime_Stopped, t.strTripTime_Measured})
        WriteSettingString(sz, u"0");
}

void CTripComputer::ResetExtreme(int nExtreme) {
    m_adExtremes[nExtreme] = c_aExtremes[nExtreme].dReset;
    WriteSettingString(c_aExtremes[nExtreme].szName, c_aExtremes[nExtreme].szReset);
}

bool CTripComputer::AverageSpeed(int k, bool fOverall, double* pdKmh) const {
    const CTripRecord& t = m_aTrips[k];
    const double dt = fOverall ? t.dtMeasured : t.dtMoving;
    if (dt < c_dSecond) return false;
    *pdKmh = t.dOdometer * 0.001 / (dt * 24);
    return true;
}

void CTripComputer::StoreDistance(const char16_t* szName, double dMetres) {
    WriteSettingInt(szName, static_cast<int>(std::min(dMetres, 2147483647.0)));
    WriteSettingString(ExactName(szName).c_str(), FormatStoredReal("%.3f", dMetres).c_str());
}

void CTripComputer::StoreTime(const char16_t* szName, double dDays) {
    WriteSettingString(szName, FormatStoredReal("%.6lf", dDays).c_str());
}

void CTripComputer::StoreExtreme(int nExtreme) {
    // The value kept is the one stored, so a restart changes nothing.
    const std::u16string s = FormatStoredReal("%0.1f", m_adExtremes[nExtreme]);
    m_adExtremes[nExtreme] = ParseStoredReal(s, m_adExtremes[nExtreme]);
    WriteSettingString(c_aExtremes[nExtreme].szName, s.c_str());
}

void CTripComputer::StoreLastFix() {
    const std::u16string s = FormatW(u"%.8f %d %.7f %.7f %d %d", m_last.dTime, m_last.fTime ? 1 : 0, m_last.dLon,
                                     m_last.dLat, m_last.fPosition ? 1 : 0, m_last.fMoving ? 1 : 0);
    WriteSettingString(c_szLastFix, s.c_str());
}

CTripComputer& TripComputer() {
    static CTripComputer computer;
    return computer;
}

} // namespace velka
