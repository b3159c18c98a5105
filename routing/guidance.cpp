#include "routing/guidance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geometry/geodesy.h"
#include "geometry/point_algorithms.h"
#include "platform/debug.h"
#include "routing/route_geometry.h"
#include "shell/settings.h"

namespace velka {
namespace {

// The most route that may be left when the position is at the last point
// for the drive to count as arrived.
constexpr double c_dArrivalRemainderMetres = 100;

constexpr double c_dUnitsPerMetre = 1073741824.0 / 2e7; // map units per metre along a meridian
constexpr double c_dPi = 3.14159265358979323846;

double Norm360(double x) { return x - 360.0 * std::floor(x / 360.0); }
double Norm180(double x) {
    x = Norm360(x);
    return x > 180 ? x - 360 : x;
}

CMapPoint FixMapUnits(const GpsFix& fix) {
    return {static_cast<std::int32_t>(std::lround(fix.fLongitude * (1073741824.0 / 180.0))),
            static_cast<std::int32_t>(std::lround(fix.fLatitude * (1073741824.0 / 180.0)))};
}

// Squared distance (map units) from p to the segment a-b, x shortened by k.
double SegmentD2(const CMapPoint& a, const CMapPoint& b, const CMapPoint& p, float k) {
    CMapPoint ptNearest;
    return NearestPointOnSegment(a, b, p, k, ptNearest);
}

} // namespace

int ManoeuvreKindOf(const RoutePoint& p) {
    if (!(p.btKind & rkRouting) || !(p.btKind & rkManoeuvre)) return mkNone;
    if (p.btKind & rkRoundaboutEntry) return mkToRoundabout;
    if (p.btKind & rkRoundaboutExit) return mkFromRoundabout;
    const long a = p.lAngle;
    if ((p.btKind & rkKeep) && std::labs(a) < 60) return p.btExtra == 1 ? mkKeepRight : mkKeepLeft;
    if (a > 160) return mkUTurnRight;
    if (a < -160) return mkUTurnLeft;
    if (a > 110) return mkSharpRight;
    if (a < -110) return mkSharpLeft;
    if (a > 60) return mkRight;
    if (a < -60) return mkLeft;
    if (a > 15) return mkKeepRight;
    if (a < -15) return mkKeepLeft;
    return mkNone;
}

int PromptCodeOfKind(int nKind) {
    static const int s_codes[] = {-1, pcKeepLeft, pcKeepRight, pcLeft, pcRight, pcSharpLeft, pcSharpRight,
                                  pcRoundabout, pcFromRoundabout, pcUTurnRight, pcUTurnLeft};
    return nKind >= 0 && nKind <= 10 ? s_codes[nKind] : -1;
}

std::string ManoeuvreKindText(int nKind, int nAngle, int nExit) {
    static const char* const s_names[] = {"NO",         "KEEP LEFT",  "KEEP RIGHT", "LEFT",
                                          "RIGHT",      "SHARP LEFT", "SHARP RIGHT", "TOROUND",
                                          "FROMROUND",  "UTURNRIGHT", "UTURNLEFT"};
    std::string s = std::to_string(nAngle) + " " + (nKind >= 0 && nKind <= 10 ? s_names[nKind] : "UNK");
    if (nKind == mkToRoundabout) s += " " + std::to_string(static_cast<unsigned>(nExit));
    return s;
}

GuidanceSettings GuidanceSettings::Read() {
    GuidanceSettings s;
    s.nOffRoute = ReadSettingInt(u"RoutingOffRoute", 1);
    s.nAMN = std::clamp(ReadSettingInt(u"RoutingAMN", 2), 0, 4);
    s.nStyle = ReadSettingInt(u"RoutingStyle", 0);
    return s;
}

static int Lead(float v, int nAMN, int nBase, int nExtra, int nStep) {
    if (v <= 5) return nExtra;
    return nExtra + static_cast<int>(std::lround((nBase + (4 - nAMN) * nStep + 1) * (v - 5) / 3.6));
}
int FarLead(float fSpeed, int nAMN) { return Lead(fSpeed, nAMN, 10, 100, 10); }
int NearLead(float fSpeed, int nAMN) { return Lead(fSpeed, nAMN, 5, 30, 1); }

void CGuidance::RefreshLegs() {
    if (!m_pRoute) return;
    const auto& pts = m_pRoute->points;
    if (m_pLegsOf == pts.data() && m_cumulative.size() == pts.size()) return;
    m_cumulative.assign(pts.size(), 0.0);
    for (std::size_t i = 1; i < pts.size(); ++i)
        m_cumulative[i] = m_cumulative[i - 1] + Distance(PointLon(pts[i - 1]), PointLat(pts[i - 1]),
                                                         PointLon(pts[i]), PointLat(pts[i]));
    m_pLegsOf = pts.data();
}

double CGuidance::Legs(std::size_t iFrom, std::size_t iTo) const {
    if (m_cumulative.empty()) return 0;
    iTo = std::min(iTo, m_cumulative.size() - 1);
    return iFrom < iTo ? m_cumulative[iTo] - m_cumulative[iFrom] : 0.0;
}

void CGuidance::Reset(const Route* pRoute) {
    m_pRoute = pRoute;
    m_pLegsOf = nullptr;
    m_cumulative.clear();
    RefreshLegs();
    m_state = NavigationState{};
    if (pRoute) m_state.nState = nsOnRoute;
    m_pPending.reset();
    m_iPending = 0;
}

void CGuidance::DropPending() { m_pPending.reset(); }

void CGuidance::Step(const GpsFix& fix) {
    if (m_fInStep) return;
    m_fInStep = true;
    // A successful re-route runs the step once more on the new route.
    for (int nPass = 0; nPass < 2; ++nPass) {
        bool fRunAgain = false;
        RefreshLegs();
        FollowRoute(fix, fRunAgain);
        if (!fRunAgain) break;
    }
    RefreshLegs();
    SchedulePrompts(fix);
    m_fInStep = false;
}

bool CGuidance::IsAhead(std::size_t i, float lon, float lat) const {
    const std::size_t n = m_pRoute->points.size();
    double a, h;
    if (i == 0) {
        a = LegCourse(*m_pRoute, 0);
        h = 90;
    } else if (i + 1 >= n) {
        a = LegCourse(*m_pRoute, i - 1);
        h = 90;
    } else {
        a = LegCourse(*m_pRoute, i - 1);
        const double b = LegCourse(*m_pRoute, i);
        // Half the smaller angle between the way back and the way on: the
        // cone ends at the bisector of the two legs.
        const double d = std::fabs(Norm180(a + 180 - b));
        h = std::max(d / 2, 15.0);
    }
    const RoutePoint& p = m_pRoute->points[i];
    const double beta = Course(lon, lat, PointLon(p), PointLat(p));
    return Norm360(beta - (a - h)) < 2 * h;
}

double CGuidance::Ahead(std::size_t j) const {
    return m_state.dwDistNextPoint + Legs(m_state.iNextPoint, j);
}

void CGuidance::FollowRoute(const GpsFix& fix, bool& fRunAgain) {
    if (!m_pRoute) return;
    if (m_state.nState == nsFinished) {
        if (!m_host.fnNavigationOn || m_host.fnNavigationOn()) {
            if (m_host.fnRouteEvent) m_host.fnRouteEvent(rpEnd);
            if (m_host.fnStopNavigation) m_host.fnStopNavigation();
        }
        return;
    }
    // Every valid position counts, whatever the speed.
    if (!fix.Has(gfPosition)) return;
    const auto& pts = m_pRoute->points;
    const std::size_t n = pts.size();
    if (n == 0) return;
    const float lon = fix.fLongitude, lat = fix.fLatitude;
    const CMapPoint pos = FixMapUnits(fix);
    const float k = static_cast<float>(std::cos(lat * c_dPi / 180));
    const double r2 = (100 * c_dUnitsPerMetre) * (100 * c_dUnitsPerMetre);
    NavigationState& s = m_state;

    if (s.nState == nsOffRoute) {
        double dBest = r2;
        std::size_t iBest = 0;
        for (std::size_t i = std::max<std::size_t>(s.iNextPoint, 1); i < n; ++i) {
            const double d2 = SegmentD2(PointMapUnits(pts[i - 1]), PointMapUnits(pts[i]), pos, k);
            if (d2 < dBest) {
                dBest = d2;
                iBest = i;
            }
        }
        if (iBest == 0) return;
        s.iNextPoint = s.iNextWaypoint = s.iManoeuvrePoint = static_cast<std::uint32_t>(iBest);
        s.nState = nsOnRoute;
        m_pPending.reset();
    }

    // Points close by count as reached.
    const double dReach = n == 1 ? 20 : 5;
    while (s.iNextPoint < n &&
           Distance(lon, lat, PointLon(pts[s.iNextPoint]), PointLat(pts[s.iNextPoint])) < dReach)
        ++s.iNextPoint;
    // Points behind the position are passed.
    if (n > 1)
        while (s.iNextPoint < n && !IsAhead(s.iNextPoint, lon, lat)) ++s.iNextPoint;
    // At the last point with little of the route left: arrived, even where
    // the points before it curve round and still look ahead (a destination
    // just inside a roundabout).
    if (n > 1 && s.iNextPoint < n && Distance(lon, lat, PointLon(pts[n - 1]), PointLat(pts[n - 1])) < dReach &&
        Distance(lon, lat, PointLon(pts[s.iNextPoint]), PointLat(pts[s.iNextPoint])) + Legs(s.iNextPoint, n - 1) <
            c_dArrivalRemainderMetres)
        s.iNextPoint = static_cast<std::uint32_t>(n);

    if (s.iNextPoint >= n) {
        s.iNextPoint = static_cast<std::uint32_t>(n);
        s.nState = nsFinished;
        if (m_host.fnRouteEvent) m_host.fnRouteEvent(rpEnd);
        if (m_host.fnStopNavigation) m_host.fnStopNavigation();
        return;
    }
    const std::size_t iNext = s.iNextPoint;

    std::size_t iWp = std::max<std::size_t>(s.iNextWaypoint, iNext);
    while (iWp < n && (pts[iWp].btKind & rkRouting) && !(pts[iWp].btKind & rkManoeuvre)) ++iWp;
    iWp = std::min(iWp, n - 1);
    s.iNextWaypoint = static_cast<std::uint32_t>(iWp);

    std::size_t iMan = std::max<std::size_t>(s.iManoeuvrePoint, iWp);
    while (iMan < n && (pts[iMan].btKind & rkRouting) && ManoeuvreKindOf(pts[iMan]) == mkNone) ++iMan;
    if (iMan >= n) {
        s.nManoeuvreKind = mkNone;
        s.iManoeuvrePoint = s.iNextWaypoint;
        s.nManoeuvreAngle = 0;
        s.nRoundaboutExit = 0;
    } else {
        s.iManoeuvrePoint = static_cast<std::uint32_t>(iMan);
        s.nManoeuvreKind = ManoeuvreKindOf(pts[iMan]);
        s.nRoundaboutExit = pts[iMan].btExtra;
        s.nManoeuvreAngle = static_cast<int>(pts[iMan].lAngle);
    }
    s.btRoadType = pts[iNext].btRoadClass;

    const double dNext = Distance(lon, lat, PointLon(pts[iNext]), PointLat(pts[iNext]));
    s.dwDistNextPoint = static_cast<std::uint32_t>(std::lround(dNext));
    const double dWp = dNext + Legs(iNext, iWp);
    s.dwDistNextWaypoint = static_cast<std::uint32_t>(std::lround(dWp));
    s.dwDistManoeuvre = static_cast<std::uint32_t>(std::lround(dWp + Legs(iWp, s.iManoeuvrePoint)));
    s.dwDistFinal = static_cast<std::uint32_t>(std::lround(dWp + Legs(iWp, n - 1)));

    const double d2 = iNext == 0 ? SegmentD2(PointMapUnits(pts[0]), PointMapUnits(pts[0]), pos, k)
                                 : SegmentD2(PointMapUnits(pts[iNext - 1]), PointMapUnits(pts[iNext]), pos, k);
    if (d2 <= r2 || iNext == 0) {
        s.nState = nsOnRoute;
        return;
    }

    if (s.nState == nsOnRoute && m_host.fnRouteEvent) m_host.fnRouteEvent(rpOut);
    if (m_settings.nStyle == 1 || !(pts[iNext].btKind & rkRouting) || m_settings.nOffRoute == 0) {
        s.nState = nsOffRoute;
        return;
    }
    if (m_settings.nOffRoute != 1) return;
    std::size_t iVia = iNext;
    for (std::size_t i = iNext; i < n; ++i)
        if (pts[i].btKind & rkVia) {
            iVia = i;
            break;
        }
    const std::int32_t lX = DegreesToSemicircles(lon), lY = DegreesToSemicircles(lat);
    if (!m_host.fnReroute || !m_host.fnReroute(lX, lY, iVia, iNext)) {
        s.nState = nsOffRoute;
        return;
    }
    if (m_host.fnRouteEvent) m_host.fnRouteEvent(rpCalculated);
    // The position now stands at index iNext; the road on from it follows.
    s.iAnnouncedUpTo = s.iNextWaypoint = s.iManoeuvrePoint = static_cast<std::uint32_t>(iNext - 1);
    s.iNextPoint = static_cast<std::uint32_t>(iNext + 1);
    s.nState = nsOnRoute;
    m_pPending.reset();
    if (m_host.fnSilenceManoeuvres) m_host.fnSilenceManoeuvres();
    fRunAgain = true;
}

std::uint32_t CGuidance::PromptMs(int nKind, int nExit, bool fPreparatory) const {
    if (!m_host.fnSoundMs) return 0;
    CManoeuvrePrompt prompt(PromptCodeOfKind(nKind), fPreparatory, nExit);
    std::vector<SoundName> list;
    prompt.BuildSoundList(list);
    std::uint32_t ms = 0;
    for (const SoundName& s : list) ms += m_host.fnSoundMs(s.strName);
    return ms;
}

void CGuidance::Speak(int nKind, int nExit, bool fPreparatory, std::size_t iPoint) {
    char sz[80];
    std::snprintf(sz, sizeof sz, "Speak %s%s\n", fPreparatory ? "pre " : "", PromptCodeName(PromptCodeOfKind(nKind)));
    DebugOutput(sz);
    if (m_host.fnSpeak)
        m_host.fnSpeak(std::make_unique<CManoeuvrePrompt>(PromptCodeOfKind(nKind), fPreparatory, nExit), iPoint,
                       Ahead(iPoint));
}

void CGuidance::SchedulePrompts(const GpsFix& fix) {
    if (!m_pRoute || !fix.Has(gfPosition)) return;
    NavigationState& s = m_state;
    const auto& pts = m_pRoute->points;
    const std::size_t n = pts.size();
    if (s.nState == nsFinished || s.iNextPoint >= n || n < 2) return;

    // Leads: the design's distances, lengthened so that a prompt said at
    // this speed ends, with time to react, before the turn.
    const float v = fix.Has(gfSpeed) ? fix.fSpeed : 0.0f;
    const double vMs = v / 3.6;
    const int nKind = s.nManoeuvreKind;
    const int nExit = s.nRoundaboutExit;
    int nNear = NearLead(v, m_settings.nAMN);
    int nFar = FarLead(v, m_settings.nAMN);
    if (nKind != mkNone) {
        nNear = std::max<int>(nNear, static_cast<int>(std::lround(vMs * (c_dReactionS + PromptMs(nKind, nExit, false) / 1000.0))));
        nFar = std::max<int>(nFar, nNear + static_cast<int>(std::lround(vMs * (c_dReactionS + PromptMs(nKind, nExit, true) / 1000.0))));
    }
    m_nNearLead = nNear;
    m_nFarLead = nFar;

    if (s.iAnnouncedUpTo + 1 < s.iNextPoint) s.iAnnouncedUpTo = s.iNextPoint - 1;
    for (std::size_t j = s.iAnnouncedUpTo + 1; j + 1 < n; ++j) {
        const double dAhead = Ahead(j);
        const int nKindJ = ManoeuvreKindOf(pts[j]);
        if (!m_pPending) {
            if (j > s.iManoeuvrePoint || dAhead > nFar) {
                char sz[96];
                std::snprintf(sz, sizeof sz, "N: %d = %d, (%d, %d)\n", static_cast<int>(s.dwDistManoeuvre),
                              static_cast<int>(dAhead), nNear, nFar);
                DebugOutput(sz);
                break;
            }
            if (nKindJ != mkNone) {
                // Far enough: prepare now. Either way the immediate prompt
                // waits in the pending list, gathering the manoeuvres that
                // follow within the near lead, said with "then".
                if (dAhead >= nNear) Speak(nKindJ, pts[j].btExtra, true, j);
                m_pPending = std::make_unique<CManoeuvrePrompt>(PromptCodeOfKind(nKindJ), false, pts[j].btExtra);
                m_iPending = j;
            }
            s.iAnnouncedUpTo = static_cast<std::uint32_t>(j);
        } else {
            // Only what comes so soon after the first manoeuvre that it
            // could not be announced on its own joins it.
            if (dAhead > nFar || Legs(m_iPending, j) > nNear) break;
            if (nKindJ != mkNone)
                m_pPending->AppendThen(std::make_unique<CManoeuvrePrompt>(PromptCodeOfKind(nKindJ), false, pts[j].btExtra));
            s.iAnnouncedUpTo = static_cast<std::uint32_t>(j);
        }
    }
    if (m_pPending && Ahead(m_iPending) < nNear) {
        char sz[80];
        std::snprintf(sz, sizeof sz, "Speak %s\n", PromptCodeName(m_pPending->m_nCode));
        DebugOutput(sz);
        if (m_host.fnSpeak) m_host.fnSpeak(std::move(m_pPending), m_iPending, Ahead(m_iPending));
        m_pPending.reset();
    }
}

std::size_t CGuidance::TargetIndex() const {
    if (!m_pRoute || m_pRoute->points.empty()) return 0;
    const std::size_t n = m_pRoute->points.size();
    const std::size_t iNext = std::min<std::size_t>(m_state.iNextPoint, n - 1);
    if (m_state.nState == nsOnRoute) return iNext;
    for (std::size_t i = iNext; i < n; ++i)
        if (m_pRoute->points[i].pWaypoint) return i;
    return iNext;
}

NavigationValues CGuidance::Values(const GpsFix& fix) const {
    NavigationValues v;
    if (!m_pRoute || m_pRoute->points.empty()) return v;
    const auto& pts = m_pRoute->points;
    const std::size_t n = pts.size();
    const NavigationState& s = m_state;
    v.fNavigating = true;
    v.nStatus = s.nState;
    v.iNextPoint = s.iNextPoint;
    v.iNextWaypoint = s.iNextWaypoint;
    v.iManoeuvrePoint = s.iManoeuvrePoint;
    v.cPoints = static_cast<std::uint32_t>(n);
    v.dwDistNextPoint = s.dwDistNextPoint;
    v.dwDistNextWaypoint = s.dwDistNextWaypoint;
    v.dwDistManoeuvre = s.dwDistManoeuvre;
    v.dwDistFinal = s.dwDistFinal;
    v.nManoeuvreKind = s.nManoeuvreKind;
    v.nManoeuvreAngle = s.nManoeuvreAngle;
    v.nRoundaboutExit = s.nRoundaboutExit;
    v.btRoadType = s.btRoadType;
    auto pos = [](const RoutePoint& p) { return NavPosition{PointLon(p), PointLat(p)}; };
    auto name = [](const RoutePoint& p) { return p.pWaypoint ? p.pWaypoint->strName : p.strName; };
    const RoutePoint& target = pts[TargetIndex()];
    const RoutePoint& wp = pts[std::min<std::size_t>(s.iNextWaypoint, n - 1)];
    v.target = pos(target);
    v.nextWaypoint = pos(wp);
    v.finalPoint = pos(pts.back());
    v.strNextWaypointName = name(wp);
    v.strFinalName = name(pts.back());
    if (!fix.Has(gfPosition)) return v;
    const float b = Course(fix.fLongitude, fix.fLatitude, PointLon(target), PointLat(target));
    const float bf = Course(fix.fLongitude, fix.fLatitude, PointLon(pts.back()), PointLat(pts.back()));
    v.bearing = b;
    v.bearingFinal = bf;
    if (!fix.Has(gfCourse)) return v;
    v.pointer = static_cast<float>(Norm180(b - fix.fCourse));
    if (!fix.Has(gfSpeed)) return v;
    const double cosB = std::cos((b - fix.fCourse) * c_dPi / 180);
    v.vmg = static_cast<float>(fix.fSpeed * cosB);
    if (fix.fSpeed < 2) return v;
    const double divNext = fix.fSpeed * std::max(cosB, 0.5);
    const double divFinal = fix.fSpeed * std::max(std::cos((bf - fix.fCourse) * c_dPi / 180), 0.5);
    if (divNext > 0.5) v.eteNext = s.dwDistNextWaypoint / 1000.0 / divNext / 24;
    if (divFinal > 0.5) v.eteFinal = s.dwDistFinal / 1000.0 / divFinal / 24;
    if (fix.Has(gfTime)) {
        if (v.eteNext) v.etaNext = fix.dTime + *v.eteNext;
        if (v.eteFinal) v.etaFinal = fix.dTime + *v.eteFinal;
    }
    return v;
}

} // namespace velka
