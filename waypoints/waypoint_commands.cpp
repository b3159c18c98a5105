#include "waypoints/waypoint_commands.h"

#include <cstdint>
#include <utility>

#include "platform/clock.h"

namespace velka {

Waypoint* BeginNewWaypoint(CWaypointStore& store, CMapPoint pt, const GpsFix* pFix) {
    std::optional<float> altitude;
    if (pFix && pFix->Has(gfAltitude)) altitude = pFix->fAltitude;
    // Map units are half the stored semicircles.
    return store.CreateWaypoint(static_cast<LONG>(static_cast<std::int64_t>(pt.lX) * 2),
                                static_cast<LONG>(static_cast<std::int64_t>(pt.lY) * 2), NowUtcOle(), altitude,
                                nullptr);
}

CError ConfirmNewWaypoint(CWaypointStore& store, Waypoint*) { return store.Save(); }

void CancelNewWaypoint(CWaypointStore&, Waypoint* pWaypoint) {
    if (pWaypoint) pWaypoint->dwFlags |= wfDeleted;
}

namespace {

bool Asked(const AskFn& fnAsk, const CError& question) { return fnAsk && fnAsk(question); }

StoreChange Saved(const CWaypointStore& store) { return {true, store.Save()}; }

} // namespace

StoreChange DeleteWaypointAsked(CWaypointStore& store, Waypoint* pWaypoint, const AskFn& fnAsk) {
    if (!pWaypoint || pWaypoint->IsDeleted()) return {};
    if (!Asked(fnAsk, CError(ErrorCode::AskDeleteWaypoint, {pWaypoint->strName}))) return {};
    store.DeleteWaypoint(pWaypoint);
    return Saved(store);
}

StoreChange DeleteAllWaypointsAsked(CWaypointStore& store, const AskFn& fnAsk) {
    if (store.LiveWaypointCount() == 0 || !Asked(fnAsk, CError(ErrorCode::AskDeleteAllWaypoints))) return {};
    store.DeleteAllWaypoints();
    return Saved(store);
}

StoreChange DeleteRouteAsked(CWaypointStore& store, Route* pRoute, const AskFn& fnAsk) {
    if (!pRoute || pRoute->IsDeleted()) return {};
    if (!Asked(fnAsk, CError(ErrorCode::AskDeleteRoute, {pRoute->strName}))) return {};
    if (CError refused = store.DeleteRoute(pRoute)) return {false, std::move(refused)};
    return Saved(store);
}

StoreChange CWaypointMover::DropAt(CWaypointStore& store, CMapPoint pt) {
    if (!m_pWaypoint) return {};
    m_pWaypoint->lX = static_cast<LONG>(static_cast<std::int64_t>(pt.lX) * 2);
    m_pWaypoint->lY = static_cast<LONG>(static_cast<std::int64_t>(pt.lY) * 2);
    m_pWaypoint = nullptr;
    return Saved(store);
}

} // namespace velka
