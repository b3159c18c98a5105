// The map page's context menus and its waypoint commands: what a right
// click, a double click and the balloon's "open" do with the waypoints and
// map objects under the pointer.
#include <algorithm>

#include "mapview/map_page.h"

#include "gauges/gauge_dialogs.h"
#include "gauges/gauge_page.h"
#include "mapview/waypoint_layer.h"
#include "shell/page_host.h"
#include "shell/message_boxes.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "waypoints/waypoint_commands.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

// Context menus of the map page.
constexpr UINT IDM_MAP_POINT = 101;
constexpr UINT IDM_GAUGE = 103;
constexpr UINT IDM_WAYPOINT = 207;
constexpr UINT IDM_MOVING = 209;

// "Свойства точки..." for the waypoint's properties.
// A click hits what lies within half a symbol icon.
constexpr int c_nHitPixels = 9;

CMenuItem PopupItem(UINT uId, UINT uTextId = 0, bool fGrayed = false) {
    CMenuItem item;
    item.uId = uId;
    item.uTextId = uTextId ? uTextId : c_uMenuTextBase + uId;
    item.fGrayed = fGrayed;
    return item;
}

// "Показывать датчики", checked while the map gauges are shown.
CMenuItem ShowGaugesItem() {
    CMenuItem item = PopupItem(ID_MAP_SHOW_GAUGES);
    item.fCheckable = true;
    item.fChecked = ReadSettingBool(u"ShowMapGauges", true);
    return item;
}

} // namespace

float CMapPage::HitRadius() const {
    return m_pos.MetresPerPixel() * static_cast<float>(c_nHitPixels * ScreenFactorX());
}

int CMapPage::GaugeCellAt(int x, int y) const {
    const std::vector<RECT> cells = GaugeCells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const RECT& rc = cells[i];
        if (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom) return static_cast<int>(i);
    }
    return -1;
}

CMenuPopup CMapPage::ContextMenuAt(int x, int y) {
    m_ptClicked = m_pos.ScreenToMap(x, y);
    m_pClickedWaypoint = nullptr;
    m_clickedObjects.clear();
    m_nClickedCell = GaugeCellAt(x, y);
    CMenuPopup menu;
    if (m_nClickedCell >= 0) {
        menu.uTitleId = IDM_GAUGE;
        const std::u16string& strKey = m_astrGaugeKeys[static_cast<std::size_t>(m_nClickedCell)];
        const CGaugeEntry* pEntry = Gauges() ? Gauges()->Find(strKey) : nullptr;
        menu.vecItems = {PopupItem(ID_CHOOSE_GAUGE, 0, GaugeDialogs().pfnChooseGauge == nullptr),
                         PopupItem(ID_RESET_GAUGE, 0, !(pEntry && pEntry->fResettable)),
                         PopupItem(ID_RESET_ALL_GAUGES, 0, Gauges() == nullptr),
                         ShowGaugesItem(), PopupItem(ID_MAP_DEFAULT_GAUGES)};
        return menu;
    }
    if (m_mover.IsMoving()) {
        menu.uTitleId = IDM_MOVING;
        menu.vecItems = {PopupItem(ID_MAP_MOVE_HERE), PopupItem(ID_MAP_MOVE_CANCEL)};
        return menu;
    }
    CWaypointStore& store = TheWaypointStore();
    const float fRadius = HitRadius();
    m_pClickedRoute = nullptr;
    if (ReadSettingBool(u"ShowWaypoints", true)) m_pClickedWaypoint = store.WaypointNear(m_ptClicked, fRadius);
    if (m_pClickedWaypoint && m_editor.IsEditing()) return RouteEditingMenu();
    if (m_pClickedWaypoint) {
        menu.uTitleId = IDM_WAYPOINT;
        menu.vecItems = {PopupItem(ID_MAP_PROPERTIES, IDS_MENU_WAYPOINT_PROPERTIES), PopupItem(ID_MAP_DELETE_WAYPOINT),
                         PopupItem(ID_MAP_MOVE_WAYPOINT), PopupItem(ID_MAP_START_ROUTE)};
        return menu;
    }
    if (ReadSettingBool(u"ShowRoutes", true)) m_pClickedRoute = RouteNear(store, m_ptClicked, fRadius);
    if (m_pClickedRoute) return RouteMenu();
    menu.uTitleId = IDM_MAP_POINT;
    // Hidden gauges have no cell to click: the map's own menu shows them again.
    menu.vecItems = {PopupItem(ID_MAP_NEW_WAYPOINT), ShowGaugesItem()};
    if (m_editor.IsEditing()) menu.vecItems.push_back(PopupItem(ID_MAP_END_ROUTE_EDIT));
    // Map objects under the point: their properties item is shown, disabled
    // (a map object has no properties dialog).
    if (MapLayers().fnFindItems) {
        for (CSelectionItem& item : MapLayers().fnFindItems(m_ptClicked, fRadius))
            if (item.nRefersTo == 0) m_clickedObjects.push_back(std::move(item));
    }
    if (!m_clickedObjects.empty()) menu.vecItems.push_back(PopupItem(ID_MAP_PROPERTIES, 0, true));
    return menu;
}

void CMapPage::OnRButtonUp(int x, int y) {
    m_ptPointer = {x, y};
    IWindowPort* pPort = PageHostPort();
    const CMenuPopup menu = ContextMenuAt(x, y);
    if (!pPort) return;
    const UINT uId = pPort->TrackPopupMenu(menu, x, y);
    if (uId) OnCommand(uId);
}

void CMapPage::OnDblClick(int x, int y) {
    const CMapPoint pt = m_pos.ScreenToMap(x, y);
    Waypoint* pWaypoint = ReadSettingBool(u"ShowWaypoints", true)
                              ? TheWaypointStore().WaypointNear(pt, HitRadius())
                              : nullptr;
    Route* pRoute = !pWaypoint && ReadSettingBool(u"ShowRoutes", true)
                        ? RouteNear(TheWaypointStore(), pt, HitRadius())
                        : nullptr;
    // On open map a double click zooms in about the pointer.
    if (!pWaypoint && !pRoute) {
        ZoomAt(x, y, 1);
        return;
    }
    m_ptClicked = pt;
    m_pClickedWaypoint = pWaypoint;
    m_pClickedRoute = pRoute;
    m_clickedObjects.clear();
    OnCommand(ID_MAP_PROPERTIES);
}

void CMapPage::WaypointProperties(Waypoint* pWaypoint) {
    CWaypointStore& store = TheWaypointStore();
    if (!LiveWaypoint(store, pWaypoint) || !EditWaypoint(*pWaypoint, false)) return;
    ShowErrorBox(store.Save());
    m_selection.Clear();
    RefreshMap(true);
}

void CMapPage::OpenSelectionItem() {
    const CSelectionItem* pItem = m_selection.Shown();
    if (!pItem) return;
    // A map object has no properties dialog.
    if (pItem->nRefersTo == 1) WaypointProperties(LiveWaypoint(TheWaypointStore(), pItem->pRef));
}

bool CMapPage::OnWaypointCommand(UINT uId) {
    CWaypointStore& store = TheWaypointStore();
    switch (uId) {
    case ID_MAP_NEW_WAYPOINT:
        if (SaveNewWaypoint(store, m_ptClicked, nullptr)) RefreshMap(true);
        return true;
    case ID_MAP_PROPERTIES:
        if (Waypoint* p = LiveWaypoint(store, m_pClickedWaypoint)) {
            WaypointProperties(p);
        } else if (m_pClickedRoute) {
            return OnRouteCommand(uId);
        }
        return true;
    case ID_MAP_DELETE_WAYPOINT: {
        const StoreChange change = DeleteWaypointAsked(store, LiveWaypoint(store, m_pClickedWaypoint), AskQuestionBox);
        ShowErrorBox(change.error);
        if (change.fChanged) {
            m_pClickedWaypoint = nullptr;
            m_selection.Clear();
            RefreshMap(true);
        }
        return true;
    }
    case ID_MAP_MOVE_WAYPOINT:
        if (Waypoint* p = LiveWaypoint(store, m_pClickedWaypoint)) {
            m_mover.Begin(p);
            RedrawNow();
        }
        return true;
    case ID_MAP_MOVE_HERE:
        // The waypoint may have been deleted meanwhile (the list dialog).
        if (!LiveWaypoint(store, m_mover.Moving())) {
            m_mover.Cancel();
        } else {
            const StoreChange change = m_mover.DropAt(store, m_ptClicked);
            ShowErrorBox(change.error);
            if (change.fChanged) {
                m_selection.Clear();
                RefreshMap(true);
            }
        }
        return true;
    case ID_MAP_MOVE_CANCEL:
        m_mover.Cancel();
        RedrawNow();
        return true;
    default: return OnRouteCommand(uId);
    }
}

} // namespace velka
