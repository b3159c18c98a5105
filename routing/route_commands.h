// The route commands of the route list and the map: follow (40130),
// reverse (40139), delete (40141, asking first), recalculate (40159). Each
// saves the store after a change.
#pragma once
#include "gps/gps_fix.h"
#include "routing/navigator.h"

namespace velka {

// Follows the route from the fix's position (or the given map centre, in
// semicircles, without one).
void FollowRoute(CNavigator& nav, Route& route, const GpsFix& fix, CMapPoint ptCentre);
// Reverses the user's points and plans the roads again.
void ReverseRoute(CNavigator& nav, Route& route);
// Asks with message 2180 in a box, then deletes and saves (the active
// route is refused with 2181, a failed save shown). True when the route
// was deleted.
bool DeleteRouteAsked(CWaypointStore& store, Route& route);
// Plans the route's road legs again with the current settings.
bool RecalculateRoute(CNavigator& nav, Route& route);
// Length of the whole route in metres.
double RouteLength(const Route& route);

} // namespace velka
