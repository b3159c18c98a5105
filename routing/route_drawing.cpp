#include "routing/route_drawing.h"

#include <vector>

#include "routing/route_geometry.h"

namespace velka {
namespace {

constexpr COLORREF c_crNavOuter = RGB(0x80, 0x00, 0x40);
constexpr COLORREF c_crNavInner = RGB(0xFF, 0xFF, 0x00);

CMapRect BoundsMapUnits(const Route& r) {
    CMapRect rc = CMapRect::MakeEmpty();
    for (const RoutePoint& p : r.points) {
        const CMapPoint pt = PointMapUnits(p);
        rc.left = std::min(rc.left, pt.lX);
        rc.right = std::max(rc.right, pt.lX);
        rc.top = std::min(rc.top, pt.lY);
        rc.bottom = std::max(rc.bottom, pt.lY);
    }
    return rc;
}

std::vector<POINT> ScreenPoints(CPaintContext& pc, const Route& r, std::size_t iFirst) {
    std::vector<POINT> v;
    for (std::size_t i = iFirst; i < r.points.size(); ++i) v.push_back(pc.MapToScreen(PointMapUnits(r.points[i])));
    return v;
}

void DoublePen(ICanvas& dc, const POINT* p, int c, int s) {
    dc.SelectPen(CPenDesc{PS_SOLID, s == 1 ? 9 : 17, c_crNavOuter});
    dc.Polyline(p, c);
    dc.SelectPen(CPenDesc{PS_SOLID, s == 1 ? 5 : 9, c_crNavInner});
    dc.Polyline(p, c);
}

} // namespace

bool DrawRoutes(CPaintContext& pc, const CWaypointStore& store, std::size_t iNextPoint) {
    ICanvas& dc = pc.Canvas();
    const int s = pc.ScreenFactor();
    const Route* pActive = store.ActiveRoute();
    for (const auto& pRoute : store.Routes()) {
        if (pRoute->IsDeleted() || pRoute.get() == pActive || pRoute->points.size() < 2) continue;
        if (!BoundsMapUnits(*pRoute).Intersects(pc.VisibleRect())) continue;
        if (pc.PumpMessages()) return true;
        const std::vector<POINT> pts = ScreenPoints(pc, *pRoute, 0);
        const DWORD c = pRoute->dwColor;
        dc.SelectPen(CPenDesc{PS_SOLID, s == 1 ? 5 : 9, RGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF)});
        dc.Polyline(pts.data(), static_cast<int>(pts.size()));
        pc.DrawDirectionArrows(pts.data(), static_cast<int>(pts.size()));
    }
    if (pActive && iNextPoint < pActive->points.size()) {
        const std::vector<POINT> pts = ScreenPoints(pc, *pActive, iNextPoint);
        if (pts.size() >= 2) DoublePen(dc, pts.data(), static_cast<int>(pts.size()), s);
    }
    return pc.IsInterrupted();
}

void DrawBearingLine(CPaintContext& pc, const CMapPoint& from, const CMapPoint& to) {
    const POINT pts[2] = {pc.MapToScreen(from), pc.MapToScreen(to)};
    DoublePen(pc.Canvas(), pts, 2, pc.ScreenFactor());
}

} // namespace velka
