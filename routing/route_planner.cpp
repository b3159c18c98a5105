#include "routing/route_planner.h"

#include <chrono>

#include "routing/route_geometry.h"
#include "shell/settings.h"

namespace velka {
namespace {

std::atomic<std::uint32_t> g_msRoutingTime{0};

// Times one planning operation and keeps the statistic.
class CRoutingTimer {
public:
    explicit CRoutingTimer(std::uint32_t& msOut) : m_msOut(msOut), m_start(std::chrono::steady_clock::now()) {}
    ~CRoutingTimer() {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start);
        m_msOut = static_cast<std::uint32_t>(ms.count());
        g_msRoutingTime = m_msOut;
    }

private:
    std::uint32_t& m_msOut;
    std::chrono::steady_clock::time_point m_start;
};

// Shows the progress window for the life of the object.
class CProgressScope {
public:
    CProgressScope(const RoutingProgressUi& ui, const std::atomic<bool>*& pCancel) : m_ui(ui), m_pCancel(pCancel) {
        m_pCancel = ui.fnBegin ? ui.fnBegin() : nullptr;
    }
    ~CProgressScope() {
        if (m_ui.fnEnd) m_ui.fnEnd();
        m_pCancel = nullptr;
    }
    bool Cancelled() const { return m_pCancel && m_pCancel->load(); }

private:
    const RoutingProgressUi& m_ui;
    const std::atomic<bool>*& m_pCancel;
};

} // namespace

std::uint32_t LastRoutingTimeMs() { return g_msRoutingTime; }

RoutingSettings RoutingSettings::Read() {
    RoutingSettings s;
    s.nVehicle = ReadSettingInt(u"RoutingVehicle", 2);
    s.nStyle = ReadSettingInt(u"RoutingStyle", 0);
    s.nOptimization = ReadSettingInt(u"RoutingOptimization", 0);
    s.fAvoidUTurns = ReadSettingBool(u"RoutingAvoidUTurns", true);
    s.fAvoidTolls = ReadSettingBool(u"RoutingAvoidTollRoads", false);
    s.fAvoidHighways = ReadSettingBool(u"RoutingAvoidHighways", false);
    s.fAvoidUnpaved = ReadSettingBool(u"RoutingAvoidUnpavedRoads", true);
    return s;
}

RoutePoint CRoutePlanner::PositionPoint(std::int32_t lX, std::int32_t lY) {
    // Made by routing, so it never counts as a via point that a later
    // re-route would aim back at.
    RoutePoint p;
    p.lX = lX;
    p.lY = lY;
    p.btKind = rkRouting;
    p.btSpeed = 5;
    return p;
}

bool CRoutePlanner::Search(CMapPoint from, CMapPoint to, bool fAllowUTurns, int nStart, int nEnd,
                           std::vector<RoutePoint>& points) {
    if (!m_search) return false;
    LegRequest leg{from, to, fAllowUTurns, nStart, nEnd, m_pCancel, m_settings};
    return m_search(leg, points);
}

bool CRoutePlanner::Plan(Route& route) {
    CRoutingTimer timer(m_msLast);
    std::vector<std::size_t> via;
    for (std::size_t i = 0; i < route.points.size(); ++i)
        if (route.points[i].btKind & rkVia) via.push_back(i);
    std::vector<RoutePoint> out;
    if (m_settings.nStyle == 1 || via.size() < 2) {
        for (std::size_t i : via) out.push_back(route.points[i]);
    } else {
        CProgressScope progress(m_ui, m_pCancel);
        const int n = static_cast<int>(via.size());
        out.push_back(route.points[via[0]]);
        for (int j = 1; j < n; ++j) {
            const RoutePoint& a = route.points[via[static_cast<std::size_t>(j - 1)]];
            const RoutePoint& b = route.points[via[static_cast<std::size_t>(j)]];
            std::vector<RoutePoint> leg;
            if (Search(PointMapUnits(a), PointMapUnits(b), !m_settings.fAvoidUTurns, (j - 1) * 100 / (n - 1),
                       j * 100 / (n - 1), leg))
                out.insert(out.end(), leg.begin(), leg.end());
            if (progress.Cancelled()) return false;
            out.push_back(b);
        }
    }
    if (via.empty()) return true; // nothing to plan through
    route.points = std::move(out);
    RecomputeAngles(route);
    return true;
}

bool CRoutePlanner::LeadIn(Route& route, std::int32_t lX, std::int32_t lY) {
    if (route.points.empty()) return false;
    CRoutingTimer timer(m_msLast);
    std::size_t iVia = 0;
    for (std::size_t i = 0; i < route.points.size(); ++i)
        if (route.points[i].btKind & rkVia) {
            iVia = i;
            break;
        }
    CProgressScope progress(m_ui, m_pCancel);
    std::vector<RoutePoint> leg;
    if (!Search({lX / 2, lY / 2}, PointMapUnits(route.points[iVia]), !m_settings.fAvoidUTurns, 0, 100, leg) ||
        progress.Cancelled())
        return false;
    std::vector<RoutePoint> out;
    out.push_back(PositionPoint(lX, lY));
    out.insert(out.end(), leg.begin(), leg.end());
    out.insert(out.end(), route.points.begin() + static_cast<std::ptrdiff_t>(iVia), route.points.end());
    route.points = std::move(out);
    RecomputeAngles(route);
    return true;
}

bool CRoutePlanner::Reroute(Route& route, std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext) {
    const std::size_t c = route.points.size();
    if (c == 0 || iVia >= c || iNext > iVia) return false;
    CRoutingTimer timer(m_msLast);
    CProgressScope progress(m_ui, m_pCancel);
    std::vector<RoutePoint> leg;
    // Turning round may be the only way back: U-turns are allowed here.
    if (!Search({lX / 2, lY / 2}, PointMapUnits(route.points[iVia]), true, 0, 100, leg) || progress.Cancelled())
        return false;
    std::vector<RoutePoint> out(route.points.begin(), route.points.begin() + static_cast<std::ptrdiff_t>(iNext));
    out.push_back(PositionPoint(lX, lY));
    out.insert(out.end(), leg.begin(), leg.end());
    out.insert(out.end(), route.points.begin() + static_cast<std::ptrdiff_t>(iVia), route.points.end());
    route.points = std::move(out);
    RecomputeAngles(route);
    return true;
}

} // namespace velka
