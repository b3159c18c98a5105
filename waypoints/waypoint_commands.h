// What the map page's waypoint commands do to the store, without their
// dialogs: new waypoint at a point (40011 from the GPS position, 40019 at a
// clicked point), delete with confirmation (40122, delete all, delete
// route), and moving a waypoint (40148 start, 40150 drop here, 40149 cancel).
#pragma once
#include <optional>

#include "geometry/map_types.h"
#include "gps/gps_fix.h"
#include "shell/error.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// What a command did to the store: whether it changed, and what the user
// is to be told (the active route refused, the store file not written).
struct StoreChange {
    bool fChanged = false;
    CError error;
};

// A new waypoint at a point in map units, timed now, with the fix's
// elevation when it has one. The edit dialog then either confirms it
// (saved: the save's error) or cancels it (marked deleted).
Waypoint* BeginNewWaypoint(CWaypointStore& store, CMapPoint pt, const GpsFix* pFix);
[[nodiscard]] CError ConfirmNewWaypoint(CWaypointStore& store, Waypoint* pWaypoint);
void CancelNewWaypoint(CWaypointStore& store, Waypoint* pWaypoint);

// Ask fnAsk first (AskDeleteWaypoint with the name, AskDeleteAllWaypoints,
// AskDeleteRoute with the route's name), then delete and save. Unchanged
// when the answer is no (an empty fnAsk says no) or there was nothing to
// delete.
[[nodiscard]] StoreChange DeleteWaypointAsked(CWaypointStore& store, Waypoint* pWaypoint, const AskFn& fnAsk);
[[nodiscard]] StoreChange DeleteAllWaypointsAsked(CWaypointStore& store, const AskFn& fnAsk);
[[nodiscard]] StoreChange DeleteRouteAsked(CWaypointStore& store, Route* pRoute, const AskFn& fnAsk);

// Moving a waypoint on the map: the waypoint being moved, dropped at a
// point in map units (saved) or put back.
class CWaypointMover {
public:
    void Begin(Waypoint* pWaypoint) { m_pWaypoint = pWaypoint; }
    bool IsMoving() const { return m_pWaypoint != nullptr; }
    Waypoint* Moving() const { return m_pWaypoint; }
    [[nodiscard]] StoreChange DropAt(CWaypointStore& store, CMapPoint pt);
    void Cancel() { m_pWaypoint = nullptr; }

private:
    Waypoint* m_pWaypoint = nullptr;
};

} // namespace velka
