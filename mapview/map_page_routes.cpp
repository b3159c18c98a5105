// The map page's route menus and commands: what a right click on a route
// offers (menu 206) and, while a route is edited, on a waypoint (menu 208);
// the edited route drawn over the map.
#include "mapview/map_page.h"

#include "gps/positioning.h"
#include "routing/navigator.h"
#include "routing/route_commands.h"
#include "routing/route_geometry.h"
#include "shell/message_boxes.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "waypoints/waypoint_commands.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

constexpr UINT IDM_ROUTE = 206;
constexpr UINT IDM_ROUTE_EDITING = 208;

CMenuItem Item(UINT uId, bool fGrayed = false, UINT uTextId = 0) {
    CMenuItem item;
    item.uId = uId;
    item.uTextId = uTextId ? uTextId : c_uMenuTextBase + uId;
    item.fGrayed = fGrayed;
    return item;
}

// The route still lives in the store (a dialog may have deleted it).
Route* LiveRoute(const CWaypointStore& store, Route* pRoute) {
    if (!pRoute) return nullptr;
    for (const auto& p : store.Routes())
        if (p.get() == pRoute) return p->IsDeleted() ? nullptr : pRoute;
    return nullptr;
}

} // namespace

CMenuPopup CMapPage::RouteMenu() const {
    const bool fNoNavigator = TheNavigator() == nullptr;
    const bool fEditing = m_editor.Editing() == m_pClickedRoute;
    return {IDM_ROUTE,
            {Item(ID_MAP_PROPERTIES, !WaypointDialogs().fnEditRoute, IDS_MENU_ROUTE_PROPERTIES),
             Item(ID_MAP_FOLLOW_ROUTE, fNoNavigator), Item(ID_MAP_REVERSE_ROUTE, fNoNavigator),
             Item(ID_MAP_RECALCULATE_ROUTE, fNoNavigator),
             fEditing ? Item(ID_MAP_END_ROUTE_EDIT) : Item(ID_MAP_CONTINUE_ROUTE), Item(ID_MAP_DELETE_ROUTE)}};
}

CMenuPopup CMapPage::RouteEditingMenu() const {
    const bool fIn = m_pClickedWaypoint && m_editor.Contains(*m_pClickedWaypoint);
    return {IDM_ROUTE_EDITING,
            {Item(ID_MAP_ADD_TO_ROUTE, fIn), Item(ID_MAP_INSERT_INTO_ROUTE, fIn), Item(ID_MAP_REMOVE_FROM_ROUTE, !fIn),
             Item(ID_MAP_END_ROUTE_EDIT)}};
}

void CMapPage::RouteChanged(Route* pRoute) {
    CWaypointStore& store = TheWaypointStore();
    if (pRoute && pRoute == store.ActiveRoute()) RecomputeAngles(*pRoute);
    ShowErrorBox(store.Save());
    m_selection.Clear();
    RefreshMap(true);
}

bool CMapPage::OnRouteCommand(UINT uId) {
    CWaypointStore& store = TheWaypointStore();
    CNavigator* pNav = TheNavigator();
    Waypoint* pWaypoint = m_pClickedWaypoint && !m_pClickedWaypoint->IsDeleted() ? m_pClickedWaypoint : nullptr;
    Route* pRoute = LiveRoute(store, m_pClickedRoute);
    if (m_editor.IsEditing() && !LiveRoute(store, m_editor.Editing())) m_editor.Forget();
    switch (uId) {
    case ID_MAP_PROPERTIES:
        if (pRoute && WaypointDialogs().fnEditRoute && WaypointDialogs().fnEditRoute(*pRoute)) RouteChanged(pRoute);
        return true;
    case ID_MAP_FOLLOW_ROUTE:
        if (pRoute && pNav) {
            const CMapPoint c = m_pos.Center();
            FollowRoute(*pNav, *pRoute, GetCurrentFix(), {c.lX * 2, c.lY * 2});
            RefreshMap(true);
        }
        return true;
    case ID_MAP_REVERSE_ROUTE:
        if (pRoute && pNav) {
            ReverseRoute(*pNav, *pRoute);
            RefreshMap(true);
        }
        return true;
    case ID_MAP_RECALCULATE_ROUTE:
        if (pRoute && pNav) {
            RecalculateRoute(*pNav, *pRoute);
            RefreshMap(true);
        }
        return true;
    case ID_MAP_DELETE_ROUTE: {
        const StoreChange change = DeleteRouteAsked(store, pRoute, AskQuestionBox);
        ShowErrorBox(change.error);
        if (change.fChanged) {
            if (m_editor.Editing() == pRoute) m_editor.Forget();
            m_pClickedRoute = nullptr;
            m_selection.Clear();
            RefreshMap(true);
        }
        return true;
    }
    case ID_MAP_START_ROUTE:
        if (pWaypoint) {
            m_editor.Start(store, *pWaypoint);
            ShowErrorBox(store.Save());
            RedrawNow();
        }
        return true;
    case ID_MAP_CONTINUE_ROUTE:
        if (pRoute) {
            m_editor.Continue(store, *pRoute);
            RefreshMap(true);
        }
        return true;
    case ID_MAP_ADD_TO_ROUTE:
    case ID_MAP_INSERT_INTO_ROUTE:
    case ID_MAP_REMOVE_FROM_ROUTE: {
        if (!pWaypoint) return true;
        const bool fChanged = uId == ID_MAP_ADD_TO_ROUTE      ? m_editor.Add(store, *pWaypoint)
                              : uId == ID_MAP_INSERT_INTO_ROUTE ? m_editor.Insert(store, *pWaypoint)
                                                                : m_editor.Remove(store, *pWaypoint);
        if (fChanged) {
            ShowErrorBox(store.Save());
            RedrawNow();
        }
        return true;
    }
    case ID_MAP_END_ROUTE_EDIT:
        // The route is planned along the roads when a map can route it.
        if (Route* pEdited = m_editor.End()) {
            if (pNav && LiveRoute(store, pEdited)) pNav->PlanRoute(*pEdited);
            RouteChanged(pEdited);
        }
        return true;
    default: return false;
    }
}

void CMapPage::DrawEditedRoute(ICanvas& dc) const {
    const Route* pRoute = m_editor.Editing();
    if (!pRoute || pRoute->IsDeleted() || (pRoute->dwFlags & rfActive) || pRoute->points.empty()) return;
    std::vector<POINT> pts;
    pts.reserve(pRoute->points.size());
    for (const RoutePoint& p : pRoute->points) pts.push_back(m_pos.MapToScreenDoubled(p.X(), p.Y()));
    const bool fBig = ScreenFactorX() != 1;
    dc.SelectPen(CPenDesc{PS_SOLID, fBig ? 2 : 1, RGB(0x80, 0x80, 0x80)});
    dc.Polyline(pts.data(), static_cast<int>(pts.size()));
    dc.SelectPen(CPenDesc{PS_DOT, 1, RGB(0xFF, 0xFF, 0xFF)});
    dc.Polyline(pts.data(), static_cast<int>(pts.size()));
}

} // namespace velka
