// The navigator's one waypoint store and what the user interface supplies
// for it: the edit and list dialogs (Qt, filled by the program's main) and
// "show on the map" (filled by the map side). An empty hook does nothing;
// an empty edit dialog confirms nothing.
#pragma once
#include <functional>

#include "geometry/map_types.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// The store of the running program: loaded at start-up, saved after every
// change and at shutdown.
CWaypointStore& TheWaypointStore();

struct CWaypointDialogs {
    // The edit dialog over one waypoint; fNew for a waypoint just created
    // (its cancel deletes it). Changes the fields in place and answers
    // true when the user confirmed.
    std::function<bool(Waypoint& wp, bool fNew)> fnEdit;
    // The properties dialog of a route (name, texts, colour); true when
    // the user confirmed a change.
    std::function<bool(Route& route)> fnEditRoute;
    // The waypoint list dialog.
    std::function<void()> fnList;
    // Centre the map on a point in map units, turn ShowWaypoints on, redraw.
    std::function<void(CMapPoint pt)> fnShowOnMap;
    // Waypoints or routes changed outside the map (list dialog, import):
    // refresh what shows them.
    std::function<void()> fnChanged;
};
CWaypointDialogs& WaypointDialogs();

// Calls the edit dialog; false when none is installed.
bool EditWaypoint(Waypoint& wp, bool fNew);

} // namespace velka
