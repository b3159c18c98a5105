// Editing a route on the map with waypoints: start a new route at a
// waypoint (40146), continue an existing one (40147), add a waypoint at its
// end (40143), insert one where it lengthens the route least (40151),
// remove one (40144) and end editing (40145). While a route is edited it
// holds only the user's points, joined by straight legs; ending hands it
// back to be planned along the roads and saved.
#pragma once
#include "geometry/map_types.h"
#include "waypoints/waypoint_store.h"

namespace velka {

class CRouteEditor {
public:
    Route* Editing() const { return m_pRoute; }
    bool IsEditing() const { return m_pRoute != nullptr; }

    // A new route (the first free name) holding the waypoint, now edited.
    Route* Start(CWaypointStore& store, Waypoint& wp);
    // Edits an existing route; its points made by routing are dropped.
    void Continue(CWaypointStore& store, Route& route);
    // Appends the waypoint to the edited route. False when none is edited.
    bool Add(CWaypointStore& store, Waypoint& wp);
    // Inserts the waypoint into the edited route before the point where the
    // route grows least (possibly first or last).
    bool Insert(CWaypointStore& store, Waypoint& wp);
    // Removes the edited route's points that refer to the waypoint; false
    // when there were none.
    bool Remove(CWaypointStore& store, Waypoint& wp);
    // Whether the edited route refers to the waypoint.
    bool Contains(const Waypoint& wp) const;
    // Ends editing; the route that was edited (null when none).
    Route* End();
    // The edited route was deleted (or the store cleared): edit nothing.
    void Forget() { m_pRoute = nullptr; }

private:
    Route* m_pRoute = nullptr;
};

// The live route with a leg nearest to a point in map units, within
// dRadius metres, or null.
Route* RouteNear(const CWaypointStore& store, CMapPoint pt, double dRadius);

} // namespace velka
