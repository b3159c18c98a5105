// What the map page's waypoint commands do to the store, without their
// dialogs: new waypoint at a point (40011 from the GPS position, 40019 at a
// clicked point), delete with confirmation (40122, delete all, delete
// route), and moving a waypoint (40148 start, 40150 drop here, 40149 cancel).
#pragma once
#include <optional>

#include "geometry/map_types.h"
#include "gps/gps_fix.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// A new waypoint at a point in map units, timed now, with the fix's
// elevation when it has one. The edit dialog then either confirms it
// (saved) or cancels it (marked deleted).
Waypoint* BeginNewWaypoint(CWaypointStore& store, CMapPoint pt, const GpsFix* pFix);
void ConfirmNewWaypoint(CWaypointStore& store, Waypoint* pWaypoint);
void CancelNewWaypoint(CWaypointStore& store, Waypoint* pWaypoint);

// Ask first (2139 with the name, 2164 for all, 2180 with the route's name),
// then delete and save. False when the user said no or nothing changed.
bool DeleteWaypointAsked(CWaypointStore& store, Waypoint* pWaypoint);
bool DeleteAllWaypointsAsked(CWaypointStore& store);
bool DeleteRouteAsked(CWaypointStore& store, Route* pRoute);

// Moving a waypoint on the map: the waypoint being moved, dropped at a
// point in map units (saved) or put back.
class CWaypointMover {
public:
    void Begin(Waypoint* pWaypoint) { m_pWaypoint = pWaypoint; }
    bool IsMoving() const { return m_pWaypoint != nullptr; }
    Waypoint* Moving() const { return m_pWaypoint; }
    bool DropAt(CWaypointStore& store, CMapPoint pt);
    void Cancel() { m_pWaypoint = nullptr; }

private:
    Waypoint* m_pWaypoint = nullptr;
};

} // namespace velka
