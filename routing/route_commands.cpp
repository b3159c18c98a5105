#include "routing/route_commands.h"

#include <algorithm>

#include "routing/route_geometry.h"
#include "shell/message_boxes.h"
#include "waypoints/waypoint_commands.h"

namespace velka {

void FollowRoute(CNavigator& nav, Route& route, const GpsFix& fix, CMapPoint ptCentre) {
    nav.Start(&route, fix, ptCentre);
}

void ReverseRoute(CNavigator& nav, Route& route) {
    // Points made by routing belong to the old direction: keep the user's.
    std::vector<RoutePoint> pts;
    for (auto it = route.points.rbegin(); it != route.points.rend(); ++it)
        if (!(it->btKind & rkRouting)) pts.push_back(*it);
    route.points = std::move(pts);
    nav.PlanRoute(route);
    if (nav.m_fnSave) nav.m_fnSave();
}

bool DeleteRouteAsked(CWaypointStore& store, Route& route) {
    const StoreChange change = DeleteRouteAsked(store, &route, AskQuestionBox);
    ShowErrorBox(change.error);
    return change.fChanged;
}

bool RecalculateRoute(CNavigator& nav, Route& route) {
    const bool fOk = nav.PlanRoute(route);
    if (fOk && nav.m_fnSave) nav.m_fnSave();
    return fOk;
}

double RouteLength(const Route& route) { return LegLength(route, 0, route.points.size()); }

} // namespace velka
