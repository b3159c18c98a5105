#include "waypoints/route_editing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/geodesy.h"

namespace velka {
namespace {

double Degrees(LONG l) { return l * 180.0 / 2147483648.0; }

// Metres between two positions in semicircles.
double Metres(LONG x1, LONG y1, LONG x2, LONG y2) {
    return Distance(static_cast<float>(Degrees(x1)), static_cast<float>(Degrees(y1)), static_cast<float>(Degrees(x2)),
                    static_cast<float>(Degrees(y2)));
}

RoutePoint PointAt(Waypoint& wp) {
    RoutePoint p;
    p.pWaypoint = &wp;
    p.lX = wp.lX;
    p.lY = wp.lY;
    p.strName = wp.strName;
    p.btKind = rkVia;
    return p;
}

// Keeps the user's points; the legs between them are straight until the
// route is planned again.
void DropRoutingPoints(Route& route) {
    std::erase_if(route.points, [](const RoutePoint& p) { return (p.btKind & rkRouting) != 0; });
}

} // namespace

Route* CRouteEditor::Start(CWaypointStore& store, Waypoint& wp) {
    m_pRoute = store.CreateRoute(nullptr, 0);
    store.AppendPoint(*m_pRoute, PointAt(wp));
    return m_pRoute;
}

void CRouteEditor::Continue(CWaypointStore&, Route& route) {
    DropRoutingPoints(route);
    m_pRoute = &route;
}

bool CRouteEditor::Add(CWaypointStore& store, Waypoint& wp) {
    if (!m_pRoute) return false;
    store.AppendPoint(*m_pRoute, PointAt(wp));
    return true;
}

bool CRouteEditor::Insert(CWaypointStore& store, Waypoint& wp) {
    if (!m_pRoute) return false;
    auto& pts = m_pRoute->points;
    // Extra length of putting the waypoint before point k (k = size: last).
    std::size_t iBest = pts.size();
    double dBest = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k <= pts.size(); ++k) {
        double d = 0;
        if (k > 0) d += Metres(pts[k - 1].X(), pts[k - 1].Y(), wp.lX, wp.lY);
        if (k < pts.size()) d += Metres(wp.lX, wp.lY, pts[k].X(), pts[k].Y());
        if (k > 0 && k < pts.size()) d -= Metres(pts[k - 1].X(), pts[k - 1].Y(), pts[k].X(), pts[k].Y());
        if (d < dBest) {
            dBest = d;
            iBest = k;
        }
    }
    // The store counts the reference when it appends; the point then moves
    // to its place.
    store.AppendPoint(*m_pRoute, PointAt(wp));
    std::rotate(pts.begin() + static_cast<std::ptrdiff_t>(iBest), pts.end() - 1, pts.end());
    return true;
}

bool CRouteEditor::Remove(CWaypointStore&, Waypoint& wp) {
    if (!m_pRoute) return false;
    const std::size_t c = std::erase_if(m_pRoute->points, [&wp](const RoutePoint& p) { return p.pWaypoint == &wp; });
    wp.cRefs = static_cast<BYTE>(wp.cRefs > c ? wp.cRefs - c : 0);
    return c > 0;
}

bool CRouteEditor::Contains(const Waypoint& wp) const {
    return m_pRoute && std::any_of(m_pRoute->points.begin(), m_pRoute->points.end(),
                                   [&wp](const RoutePoint& p) { return p.pWaypoint == &wp; });
}

Route* CRouteEditor::End() {
    Route* p = m_pRoute;
    m_pRoute = nullptr;
    return p;
}

Route* RouteNear(const CWaypointStore& store, CMapPoint pt, double dRadius) {
    // In map units, x shortened by the cosine of the latitude.
    const double dUnits = dRadius * 1073741824.0 / 2e7;
    const double k = std::cos(pt.lY * M_PI / 1073741824.0);
    Route* pBest = nullptr;
    double dBest = dUnits * dUnits;
    for (const auto& pRoute : store.Routes()) {
        if (pRoute->IsDeleted()) continue;
        const auto& pts = pRoute->points;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const double ax = (pts[i].X() / 2.0 - pt.lX) * k, ay = pts[i].Y() / 2.0 - pt.lY;
            const double bx = i + 1 < pts.size() ? (pts[i + 1].X() / 2.0 - pt.lX) * k : ax;
            const double by = i + 1 < pts.size() ? pts[i + 1].Y() / 2.0 - pt.lY : ay;
            const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
            const double t = len2 > 0 ? std::clamp(-(ax * dx + ay * dy) / len2, 0.0, 1.0) : 0.0;
            const double ex = ax + t * dx, ey = ay + t * dy;
            const double d = ex * ex + ey * ey;
            if (d <= dBest) {
                dBest = d;
                pBest = pRoute.get();
            }
        }
    }
    return pBest;
}

} // namespace velka
