// The 77 gauges, registered in catalogue order.
#include <cmath>
#include <functional>

#include "gauges/area_gauge.h"
#include "gauges/gauge.h"
#include "gauges/gauge_sources.h"
#include "gauges/sun.h"
#include "gauges/system_values.h"
#include "gauges/trip_computer.h"
#include "gauges/units.h"
#include "gps/positioning.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

using ValueFn = std::function<void(const GpsFix& fix, std::u16string& strValue, std::u16string& strUnit)>;

// A gauge that keeps the latest fix and computes its value from it (or from
// elsewhere) when asked.
class CFixGauge : public CGauge {
public:
    explicit CFixGauge(ValueFn fnValue, std::function<void()> fnReset = {})
        : m_fnValue(std::move(fnValue)), m_fnReset(std::move(fnReset)) {}
    void Update(const GpsFix& fix) override { m_fix = fix; }
    void Reset() override {
        if (m_fnReset) m_fnReset();
    }
    void GetValueText(std::u16string& strValue, std::u16string& strUnit) override {
        strValue.clear();
        strUnit.clear();
        m_fnValue(m_fix, strValue, strUnit);
    }

protected:
    GpsFix m_fix;

private:
    ValueFn m_fnValue;
    std::function<void()> m_fnReset;
};

// The trip computer follows every fix through the odometer gauge.
class COdometerGauge : public CGauge {
public:
    void Init() override { TripComputer().Load(); }
    void Update(const GpsFix& fix) override { TripComputer().Update(fix); }
    void PositionLost() override { TripComputer().PositionLost(); }
    void GetValueText(std::u16string& strValue, std::u16string& strUnit) override {
        FormatDistance(static_cast<float>(TripComputer().Odometer()), strValue, strUnit);
    }
};

// The sun's times at the latest position and date.
class CSunGauge : public CFixGauge {
public:
    explicit CSunGauge(bool fRising)
        : CFixGauge([this](const GpsFix&, std::u16string& v, std::u16string&) { Value(v); }), m_fRising(fRising) {}
    void Update(const GpsFix& fix) override {
        if (fix.Has(gfPosition)) m_pos = fix;
        if (fix.Has(gfTime)) m_dDate = fix.dTime;
    }

private:
    void Value(std::u16string& v) const {
        SYSTEMTIME st{};
        if (!m_pos.Has(gfPosition) || m_dDate <= 0 || !VariantTimeToSystemTime(m_dDate, &st)) return;
        const float h = SunRiseSet(st.wYear, st.wMonth, st.wDay, m_pos.fLongitude, m_pos.fLatitude, m_fRising);
        if (h <= c_fNoSunEvent) return;
        const double dUtc = std::floor(m_dDate) + h / 24.0;
        SYSTEMTIME lt{};
        if (!VariantTimeToSystemTime(UtcOleToLocal(dUtc) + 0.5 / 86400, &lt)) return;
        v = FormatW(u"%02d:%02d", lt.wHour, lt.wMinute);
    }
    bool m_fRising;
    GpsFix m_pos;
    double m_dDate = 0;
};

// An arrow at the right of a cell, turned fDegrees clockwise from "ahead",
// and a text at the left in the narrow value font.
void DrawArrow(ICanvas& dc, bool fSmall, int x, int y, float fDegrees, const std::u16string& strText) {
    const int r = ScaleY(fSmall ? 10 : 16);
    const int cx = x + ScaleX(fSmall ? 80 : 120) - r - ScaleX(4);
    const int cy = y + ScaleY(fSmall ? 33 : 52) - r - ScaleY(3);
    const double a = fDegrees * 3.14159265358979 / 180;
    auto at = [&](double dAngle, double dRadius) {
        return POINT{static_cast<LONG>(std::lround(cx + dRadius * std::sin(a + dAngle))),
                     static_cast<LONG>(std::lround(cy - dRadius * std::cos(a + dAngle)))};
    };
    const POINT pts[4] = {at(0, r), at(2.5, r), at(3.14159265358979, r * 0.3), at(-2.5, r)};
    dc.SelectPen(CPenDesc{PS_SOLID, 1, RGB(0, 0, 0)});
    CBrushDesc brush;
    brush.crColor = RGB(0, 160, 0);
    dc.SelectBrush(brush);
    dc.Polygon(pts, 4);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SelectFont(GaugeFonts().narrow[fSmall ? 0 : 1]);
    const SIZE s = dc.GetTextExtent(strText);
    dc.TextOut(x + ScaleX(fSmall ? 4 : 10), y + ScaleY(fSmall ? 31 : 45) - s.cy, strText);
}

// The navigation pointer: an arrow towards the nearest route point and the
// distance to it.
class CPointerGauge : public CGauge {
public:
    void GetValueText(std::u16string& strValue, std::u16string& strUnit) override {
        strValue.clear();
        strUnit.clear();
        if (const NavigationValues* p = CurrentNavigationValues())
            FormatDistance(static_cast<float>(p->dwDistNextPoint), strValue, strUnit);
    }
    void Draw(ICanvas& dc, bool fSmall, int x, int y) override {
        const NavigationValues* p = CurrentNavigationValues();
        if (!p || !p->pointer) {
            CGauge::Draw(dc, fSmall, x, y);
            return;
        }
        std::u16string strValue, strUnit;
        GetValueText(strValue, strUnit);
        DrawArrow(dc, fSmall, x, y, *p->pointer, strValue + u" " + strUnit);
    }
};

// The next manoeuvre: an arrow turned by its angle (a U-turn points back,
// a roundabout adds its exit number) and the distance to it.
class CManeuverGauge : public CGauge {
public:
    void GetValueText(std::u16string& strValue, std::u16string& strUnit) override {
        strValue.clear();
        strUnit.clear();
        if (const NavigationValues* p = CurrentNavigationValues())
            FormatDistance(static_cast<float>(p->dwDistManoeuvre), strValue, strUnit);
    }
    void Draw(ICanvas& dc, bool fSmall, int x, int y) override {
        const NavigationValues* p = CurrentNavigationValues();
        if (!p || p->nManoeuvreKind == mkNone) {
            CGauge::Draw(dc, fSmall, x, y);
            return;
        }
        float fAngle = static_cast<float>(p->nManoeuvreAngle);
        if (p->nManoeuvreKind == mkUTurnLeft || p->nManoeuvreKind == mkUTurnRight) fAngle = 180;
        std::u16string strValue, strUnit;
        GetValueText(strValue, strUnit);
        if (p->nManoeuvreKind == mkToRoundabout && p->nRoundaboutExit > 0)
            strValue = FormatW(u"(%d) ", p->nRoundaboutExit) + strValue;
        DrawArrow(dc, fSmall, x, y, fAngle, strValue + u" " + strUnit);
    }
};

// Helpers for the value functions.
void Number(std::u16string& v, const char16_t* szFormat, double d) { v = FormatW(szFormat, d); }

float NormalizedCourse(float f) {
    if (!std::isfinite(f)) return 0;
    double d = std::fmod(static_cast<double>(f), 360.0);
    if (d < 0) d += 360;
    float r = static_cast<float>(d);
    return r >= 360.0f ? 0.0f : r;
}

void LocalTime(double dUtc, bool fUtc, bool fDate, std::u16string& v) {
    SYSTEMTIME st{};
    const double d = (fUtc ? dUtc : UtcOleToLocal(dUtc)) + (fDate ? 0 : 0.5 / 86400);
    if (!VariantTimeToSystemTime(d, &st)) return;
    v = fDate ? FormatW(u"%02d.%02d.%04d", st.wDay, st.wMonth, st.wYear)
              : FormatW(u"%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond);
}

void Milliseconds(std::u16string& v, std::u16string& u, long long ms) {
    v = FormatW(u"%lld", ms);
    u = LoadStr(IDS_GAUGE_UNIT_MS);
}

CMapStatistics MapStats() {
    const auto& fn = GaugeSources().fnMapStatistics;
    return fn ? fn() : CMapStatistics{};
}

std::u16string QualityName(int nQuality) {
    if (nQuality < 0 || nQuality >= static_cast<int>(c_cFixQualityNames)) nQuality = 1;
    return LoadStr(IDS_FIX_QUALITY_INVALID + static_cast<UINT>(nQuality));
}

struct CRegistrar {
    CGaugeCatalogue& cat;
    void Add(int nGroup, const char16_t* szKey, UINT uTitle, bool fResettable, std::unique_ptr<CGauge> p,
             UINT uDescription = 0) {
        cat.Register(std::move(p), nGroup, szKey, uTitle, uDescription ? uDescription : uTitle - 1, fResettable);
    }
    void Fix(int nGroup, const char16_t* szKey, UINT uTitle, ValueFn fn, std::function<void()> fnReset = {},
             UINT uDescription = 0) {
        Add(nGroup, szKey, uTitle, static_cast<bool>(fnReset), std::make_unique<CFixGauge>(fn, fnReset),
            uDescription);
    }
};

void Average(int k, bool fOverall, std::u16string& v, std::u16string& u) {
    double d = 0;
    if (TripComputer().AverageSpeed(k, fOverall, &d)) FormatSpeed(static_cast<float>(d), v, u);
}

void TripDistance(int k, std::u16string& v, std::u16string& u) {
    FormatDistance(static_cast<float>(TripComputer().Trip(k).dOdometer), v, u);
}

void TripTime(int k, int nWhich, std::u16string& v) {
    const CTripRecord& t = TripComputer().Trip(k);
    FormatTimeSpan(nWhich == 0 ? t.dtMeasured : nWhich == 1 ? t.dtMoving : t.dtStopped, v);
}

void Elevation(double d, std::u16string& v, std::u16string& u) {
    FormatElevation(static_cast<float>(d), unMeters, false, v, u);
}

} // namespace

void RegisterGaugeList(CGaugeCatalogue& cat) {
    CRegistrar r{cat};
    CTripComputer& tc = TripComputer();
    auto resetTrip = [&tc](int k) { return [&tc, k] { tc.ResetTrip(k); }; };
    auto resetExtreme = [&tc](int n) { return [&tc, n] { tc.ResetExtreme(n); }; };

    r.Fix(ggTrip1, u"avespeed_moving", 3101, [](const GpsFix&, auto& v, auto& u) { Average(0, false, v, u); });
    r.Fix(ggTrip2, u"avespeed_moving2", 3102, [](const GpsFix&, auto& v, auto& u) { Average(1, false, v, u); });
    r.Fix(ggTrip1, u"avespeed_overall", 3104, [](const GpsFix&, auto& v, auto& u) { Average(0, true, v, u); });
    r.Fix(ggTrip2, u"avespeed_overall2", 3105, [](const GpsFix&, auto& v, auto& u) { Average(1, true, v, u); });
    r.Fix(ggTrip1, u"avespeed_5sec", 40167,
          [](const GpsFix&, auto& v, auto& u) { FormatSpeed(GetShortAverageSpeed(), v, u); }, {}, 40168);
    r.Add(ggMax, u"odometer", 3121, false, std::make_unique<COdometerGauge>());
    r.Fix(ggTrip1, u"tripodometer", 3107, [](const GpsFix&, auto& v, auto& u) { TripDistance(0, v, u); },
          resetTrip(0));
    r.Fix(ggTrip2, u"tripodometer2", 3108, [](const GpsFix&, auto& v, auto& u) { TripDistance(1, v, u); },
          resetTrip(1));
    r.Fix(ggTrip1, u"triptime_measured", 3110, [](const GpsFix&, auto& v, auto&) { TripTime(0, 0, v); },
          resetTrip(0));
    r.Fix(ggTrip2, u"triptime_measured2", 3111, [](const GpsFix&, auto& v, auto&) { TripTime(1, 0, v); },
          resetTrip(1));
    r.Fix(ggTrip1, u"triptime_moving", 3113, [](const GpsFix&, auto& v, auto&) { TripTime(0, 1, v); },
          resetTrip(0));
    r.Fix(ggTrip2, u"triptime_moving2", 3114, [](const GpsFix&, auto& v, auto&) { TripTime(1, 1, v); },
          resetTrip(1));
    r.Fix(ggTrip1, u"triptime_stopped", 3116, [](const GpsFix&, auto& v, auto&) { TripTime(0, 2, v); },
          resetTrip(0));
    r.Fix(ggTrip2, u"triptime_stopped2", 3117, [](const GpsFix&, auto& v, auto&) { TripTime(1, 2, v); },
          resetTrip(1));
    r.Fix(ggMax, u"maxelev", 3123, [&tc](const GpsFix&, auto& v, auto& u) {
        if (tc.Extreme(teMaxElevation) > c_dNoMaxElevation) Elevation(tc.Extreme(teMaxElevation), v, u);
    }, resetExtreme(teMaxElevation));
    r.Fix(ggMax, u"minelev", 3125, [&tc](const GpsFix&, auto& v, auto& u) {
        if (tc.Extreme(teMinElevation) < c_dNoMinElevation) Elevation(tc.Extreme(teMinElevation), v, u);
    }, resetExtreme(teMinElevation));
    r.Fix(ggMax, u"maxspeed", 3127, [&tc](const GpsFix&, auto& v, auto& u) {
        FormatSpeed(static_cast<float>(tc.Extreme(teMaxSpeed)), v, u);
    }, resetExtreme(teMaxSpeed));
    r.Fix(ggMax, u"maxvaccent", 3129, [&tc](const GpsFix&, auto& v, auto& u) {
        FormatVerticalSpeed(static_cast<float>(tc.Extreme(teMaxVAscent)), v, u);
    }, resetExtreme(teMaxVAscent));
    r.Fix(ggMax, u"maxvdecent", 3131, [&tc](const GpsFix&, auto& v, auto& u) {
        FormatVerticalSpeed(static_cast<float>(tc.Extreme(teMaxVDescent)), v, u);
    }, resetExtreme(teMaxVDescent));

    // Navigation: "-" while not navigating.
    r.Fix(ggNavigation, u"bearing", 3141, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues(); p && p->bearing) FormatAzimuth(NormalizedCourse(*p->bearing), v);
    });
    r.Fix(ggNavigation, u"wpt_next", 3157, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues()) v = p->strNextWaypointName;
    });
    r.Fix(ggNavigation, u"wpt_final", 3159, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues()) v = p->strFinalName;
    });
    r.Fix(ggNavigation, u"distance_cur", 3143, [](const GpsFix&, auto& v, auto& u) {
        if (auto p = CurrentNavigationValues()) FormatDistance(static_cast<float>(p->dwDistNextWaypoint), v, u);
    });
    r.Fix(ggNavigation, u"distance_final", 3161, [](const GpsFix&, auto& v, auto& u) {
        if (auto p = CurrentNavigationValues()) FormatDistance(static_cast<float>(p->dwDistFinal), v, u);
    });
    r.Fix(ggNavigation, u"ete", 3145, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues(); p && p->eteNext && *p->eteNext >= 0) FormatTimeSpan(*p->eteNext, v);
    });
    r.Fix(ggNavigation, u"ete_final", 3163, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues(); p && p->eteFinal && *p->eteFinal >= 0)
            FormatTimeSpan(*p->eteFinal, v);
    });
    r.Fix(ggNavigation, u"eta", 3147, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues(); p && p->etaNext) LocalTime(*p->etaNext, false, false, v);
    });
    r.Fix(ggNavigation, u"eta_final", 3165, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues(); p && p->etaFinal) LocalTime(*p->etaFinal, false, false, v);
    });
    r.Add(ggNavigation, u"maneuver", 3167, false, std::make_unique<CManeuverGauge>());
    r.Add(ggNavigation, u"pointer", 3149, false, std::make_unique<CPointerGauge>());
    // Where guidance stands on the route: next point, manoeuvre point, count.
    r.Fix(ggNavigation, u"route", 40161, [](const GpsFix&, auto& v, auto&) {
        if (auto p = CurrentNavigationValues())
            v = FormatW(u"%u/%u/%u", p->iNextPoint, p->iManoeuvrePoint, p->cPoints);
    }, {}, 40160);
    r.Add(ggNavigation, u"sunrise", 3151, false, std::make_unique<CSunGauge>(true));
    r.Add(ggNavigation, u"sunset", 3153, false, std::make_unique<CSunGauge>(false));
    r.Fix(ggNavigation, u"vmg", 3155, [](const GpsFix&, auto& v, auto& u) {
        if (auto p = CurrentNavigationValues(); p && p->vmg) FormatSpeed(*p->vmg, v, u);
    });

    // The fix itself.
    r.Fix(ggGpsData, u"azimuth", 3181, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfCourse)) FormatAzimuth(NormalizedCourse(f.fCourse), v);
    });
    r.Fix(ggGpsData, u"y", 3183, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfPosition)) FormatLatitude(f.fLatitude, v);
    });
    r.Fix(ggGpsData, u"x", 3185, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfPosition)) FormatLongitude(f.fLongitude, v);
    });
    r.Fix(ggGpsData, u"speed", 3187, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfSpeed)) FormatSpeed(f.fSpeed, v, u);
    });
    r.Fix(ggGpsData, u"time", 3189, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfTime)) LocalTime(f.dTime, false, false, v);
    });
    r.Fix(ggGpsData, u"date", 3191, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfTime)) LocalTime(f.dTime, false, true, v);
    });
    r.Fix(ggGpsData, u"time_utc", 3193, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfTime)) LocalTime(f.dTime, true, false, v);
    });
    r.Fix(ggGpsData, u"date_utc", 3195, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfTime)) LocalTime(f.dTime, true, true, v);
    });
    r.Fix(ggPrecision, u"gpsfix", 3241, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfQuality)) v = QualityName(f.nQuality);
    });
    r.Fix(ggPrecision, u"hdop", 3231, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfHDOP)) Number(v, u"%0.1f", f.fHDOP);
    });
    r.Fix(ggPrecision, u"xyprec", 3235, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfHorzError) && f.fHorzError >= 0) FormatDistance(f.fHorzError, v, u);
    });
    r.Fix(ggPrecision, u"satellites", 3239, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfSatellites) && f.nSatellites >= 0) v = FormatW(u"%d", f.nSatellites);
    });
    r.Fix(ggPrecision, u"magvar", 3243, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfMagVar)) v = FormatW(u"%0.1f°", static_cast<double>(f.fMagVar));
    });
    r.Fix(ggPrecision, u"vdop", 3233, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfVDOP)) Number(v, u"%0.1f", f.fVDOP);
    });
    r.Fix(ggAltitude, u"elev", 3201, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfAltitude)) Elevation(f.fAltitude, v, u);
    });
    r.Fix(ggPrecision, u"elevprec", 3237, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfVertError) && f.fVertError >= 0) Elevation(f.fVertError, v, u);
    });
    r.Fix(ggAltitude, u"geoid", 3209, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfGeoidHeight)) Elevation(f.fGeoidHeight, v, u);
    });
    // Glide ratio and incline need both speeds; a level or a standing
    // path has none.
    r.Fix(ggAltitude, u"glideratio", 3205, [](const GpsFix& f, auto& v, auto&) {
        if (!f.Has(gfSpeed | gfVertSpeed) || std::fabs(f.fVertSpeed) < 0.05f) return;
        Number(v, u"%0.1f", f.fSpeed / 3.6 / std::fabs(f.fVertSpeed));
    });
    r.Fix(ggAltitude, u"incline", 3207, [](const GpsFix& f, auto& v, auto& u) {
        if (!f.Has(gfSpeed | gfVertSpeed) || f.fSpeed < c_fMovingSpeedKmh) return;
        Number(v, u"%0.1f", f.fVertSpeed / (f.fSpeed / 3.6) * 100);
        u = LoadStr(IDS_GAUGE_UNIT_PERCENT);
    });
    r.Fix(ggAltitude, u"vspeed", 3203, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfVertSpeed)) FormatVerticalSpeed(f.fVertSpeed, v, u);
    });
    r.Add(ggArea, u"area", 3171, true, std::make_unique<CAreaGauge>());
    r.Fix(ggSonar, u"depth", 3253, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfDepth)) Elevation(f.fDepth, v, u);
    });
    r.Fix(ggSonar, u"temperature", 3251, [](const GpsFix& f, auto& v, auto& u) {
        if (f.Has(gfWaterTemp)) FormatTemperature(f.fWaterTemp, v, u);
    });

    // System.
    r.Fix(ggSystem, u"clockdrift", 3279, [](const GpsFix&, auto& v, auto& u) {
        Milliseconds(v, u, GetClockOffset());
    });
    r.Fix(ggSystem, u"clockfixups", 3281, [](const GpsFix&, auto& v, auto&) {
        v = FormatW(u"%u", GetClockCorrectionCount());
    }, &ResetClockCorrectionCount);
    r.Fix(ggSystem, u"cpu", 3309, [](const GpsFix&, auto& v, auto& u) {
        int n = 0;
        if (!ProcessCpuLoad(&n)) return;
        v = FormatW(u"%d", n);
        u = LoadStr(IDS_GAUGE_UNIT_PERCENT);
    });
    r.Fix(ggSystem, u"inittime", 3267, [](const GpsFix&, auto& v, auto& u) {
        if (const auto& fn = GaugeSources().fnStartupDuration) Milliseconds(v, u, fn());
    });
    r.Fix(ggSystem, u"memory", 3261, [](const GpsFix&, auto& v, auto& u) {
        long long cb = 0;
        if (!FreeMemory(&cb)) return;
        v = FormatIntegerWithGroups(static_cast<int>(std::min<long long>(cb >> 20, 2000000000)));
        u = LoadStr(IDS_GAUGE_UNIT_MB);
    });
    r.Fix(ggSystem, u"power", 3263, [](const GpsFix&, auto& v, auto& u) {
        int n = 0;
        if (!BatteryCharge(&n)) return;
        v = FormatW(u"%d", n);
        u = LoadStr(IDS_GAUGE_UNIT_PERCENT);
    });
    r.Fix(ggSystem, u"protocolerrors", 3265, [](const GpsFix&, auto& v, auto&) {
        v = FormatW(u"%u", GetChecksumErrorCount());
    }, &ResetChecksumErrorCount);
    r.Fix(ggDgps, u"dgpsupdateage", 3301, [](const GpsFix& f, auto& v, auto& u) {
        if (!f.Has(gfDiffAge)) return;
        Number(v, u"%0.1f", f.fDiffAge);
        u = LoadStr(IDS_GAUGE_UNIT_SECONDS);
    });
    r.Fix(ggDgps, u"dgpsstationid", 3303, [](const GpsFix& f, auto& v, auto&) {
        if (f.Has(gfDiffStation)) v = FormatW(u"%d", static_cast<int>(f.nDiffStation));
    });

    // Map.
    r.Fix(ggMap, u"mapopeningtime", 3269, [](const GpsFix&, auto& v, auto& u) {
        const CMapStatistics s = MapStats();
        if (s.fMap) Milliseconds(v, u, s.msOpen);
    });
    r.Fix(ggMap, u"maprenderingtime", 3271, [](const GpsFix&, auto& v, auto& u) {
        const CMapStatistics s = MapStats();
        if (s.fMap) Milliseconds(v, u, s.msMap);
    });
    r.Fix(ggMap, u"trackrenderingtime", 3305, [](const GpsFix&, auto& v, auto& u) {
        if (GaugeSources().fnMapStatistics) Milliseconds(v, u, MapStats().msTrack);
    });
    r.Fix(ggMap, u"waypointrenderingtime", 3307, [](const GpsFix&, auto& v, auto& u) {
        if (GaugeSources().fnMapStatistics) Milliseconds(v, u, MapStats().msWaypoints);
    });
    r.Fix(ggMap, u"routesrenderingtime", 3287, [](const GpsFix&, auto& v, auto& u) {
        if (GaugeSources().fnMapStatistics) Milliseconds(v, u, MapStats().msRoutes);
    });
    r.Fix(ggMap, u"objectsrendered", 3285, [](const GpsFix&, auto& v, auto&) {
        const CMapStatistics s = MapStats();
        if (s.fMap) v = FormatIntegerWithGroups(static_cast<int>(std::min(s.cObjects, 2000000000u)));
    });
    r.Fix(ggMap, u"maprenderings", 3311, [](const GpsFix&, auto& v, auto&) {
        if (GaugeSources().fnMapStatistics) v = FormatW(u"%u", MapStats().cFrames);
    }, [] {
        if (const auto& fn = GaugeSources().fnResetMapRenderings) fn();
    });
    r.Fix(ggMap, u"mapfile", 3273, [](const GpsFix&, auto& v, auto&) {
        const CMapStatistics s = MapStats();
        if (s.fMap) v = s.strMapFile;
    });
    r.Fix(ggMap, u"maplevel", 3283, [](const GpsFix&, auto& v, auto&) {
        const CMapStatistics s = MapStats();
        if (s.fMap) v = FormatW(u"%d", s.nLevel);
    });
    r.Fix(ggMap, u"mapsincache", 3275, [](const GpsFix&, auto& v, auto&) {
        if (const auto& fn = GaugeSources().fnMapsInCache) v = FormatW(u"%d", fn());
    });
    r.Fix(ggSystem, u"routingtime", 3277, [](const GpsFix&, auto& v, auto& u) {
        if (const auto& fn = GaugeSources().fnRoutingTime) Milliseconds(v, u, fn());
    });
}

CGaugeSources& GaugeSources() {
    static CGaugeSources sources;
    return sources;
}

const NavigationValues* CurrentNavigationValues() {
    const INavigationSource* p = GaugeSources().pNavigation;
    if (!p) return nullptr;
    const NavigationValues& v = p->NavValues();
    return v.fNavigating ? &v : nullptr;
}

} // namespace velka
