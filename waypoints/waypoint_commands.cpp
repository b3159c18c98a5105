#include "waypoints/waypoint_commands.h"

#include "platform/clock.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {

Waypoint* BeginNewWaypoint(CWaypointStore& store, CMapPoint pt, const GpsFix* pFix) {
    std::optional<float> altitude;
    if (pFix && pFix->Has(gfAltitude)) altitude = pFix->fAltitude;
    // Map units are half the stored semicircles.
    return store.CreateWaypoint(static_cast<LONG>(static_cast<std::int64_t>(pt.lX) * 2),
                                static_cast<LONG>(static_cast<std::int64_t>(pt.lY) * 2), NowUtcOle(), altitude,
                                nullptr);
}

void ConfirmNewWaypoint(CWaypointStore& store, Waypoint*) { store.Save(); }

void CancelNewWaypoint(CWaypointStore&, Waypoint* pWaypoint) {
    if (pWaypoint) pWaypoint->dwFlags |= wfDeleted;
}

bool DeleteWaypointAsked(CWaypointStore& store, Waypoint* pWaypoint) {
    if (!pWaypoint || pWaypoint->IsDeleted()) return false;
    if (AskYesNo(IDS_ASK_DELETE_WAYPOINT, pWaypoint->strName.c_str()) != IDYES) return false;
    store.DeleteWaypoint(pWaypoint);
    store.Save();
    return true;
}

bool DeleteAllWaypointsAsked(CWaypointStore& store) {
    if (store.LiveWaypointCount() == 0 || AskYesNo(IDS_ASK_DELETE_ALL_WAYPOINTS) != IDYES) return false;
    store.DeleteAllWaypoints();
    store.Save();
    return true;
}

bool DeleteRouteAsked(CWaypointStore& store, Route* pRoute) {
    if (!pRoute || pRoute->IsDeleted()) return false;
    if (AskYesNo(IDS_ASK_DELETE_ROUTE, pRoute->strName.c_str()) != IDYES) return false;
    if (!store.DeleteRoute(pRoute)) return false;
    store.Save();
    return true;
}

bool CWaypointMover::DropAt(CWaypointStore& store, CMapPoint pt) {
    if (!m_pWaypoint) return false;
    m_pWaypoint->lX = static_cast<LONG>(static_cast<std::int64_t>(pt.lX) * 2);
    m_pWaypoint->lY = static_cast<LONG>(static_cast<std::int64_t>(pt.lY) * 2);
    m_pWaypoint = nullptr;
    store.Save();
    return true;
}

} // namespace velka
