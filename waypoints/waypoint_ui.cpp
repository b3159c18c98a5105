#include "waypoints/waypoint_ui.h"

namespace velka {

CWaypointStore& TheWaypointStore() {
    static CWaypointStore store;
    return store;
}

CWaypointDialogs& WaypointDialogs() {
    static CWaypointDialogs dialogs;
    return dialogs;
}

bool EditWaypoint(Waypoint& wp, bool fNew) {
    const auto& fn = WaypointDialogs().fnEdit;
    return fn ? fn(wp, fNew) : false;
}

} // namespace velka
