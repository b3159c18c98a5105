// The waypoints on the map: the waypoint layer of a frame (icons and
// labels), the waypoint being moved, what lies under a point (waypoint
// first, then the map's objects), saving a new waypoint at a position, and
// the hooks that connect these to the map page and the waypoint dialogs.
#pragma once
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "gps/gps_fix.h"
#include "mapview/map_labels.h"
#include "mapview/overlays.h"
#include "mapdata/paint_context.h"
#include "waypoints/waypoint_store.h"

namespace velka {

class CMapPosition;

// A waypoint's position in map units (its coordinates are semicircles).
CMapPoint WaypointMapPoint(const Waypoint& wp);

// The label font and colour of waypoint texts.
CFontDesc WaypointLabelFont(int fy);
constexpr COLORREF c_crWaypointLabel = 0x800000; // dark blue

// Draws every live waypoint inside the frame's visible rectangle: its icon
// and, for show modes 1-3, its name (1) or comment (2, 3) handed to the
// label store. True when the frame was interrupted.
bool DrawWaypoints(CPaintContext& pc, CMapLabelStore& labels, const CWaypointStore& store);

// The waypoint's icon drawn at a screen point (the waypoint being moved).
void DrawMovingWaypoint(ICanvas& dc, const Waypoint& wp, POINT pt, int s);

// What lies within fRadius metres of a map point: the nearest waypoint
// when ShowWaypoints is on, then the map's points near it (nearest first),
// when the open map can search.
std::vector<CSelectionItem> FindItemsNear(const CWaypointStore& store, const CMapPoint& pt, float fRadius,
                                          const CMapPosition& pos);

// The live waypoint of the store at this address, or null (a selection or
// a click may outlive a deletion).
Waypoint* LiveWaypoint(const CWaypointStore& store, const void* p);

// A new waypoint at a map point with the fix's elevation: the edit dialog
// decides; true when it was kept (a failed save is shown).
bool SaveNewWaypoint(CWaypointStore& store, const CMapPoint& pt, const GpsFix* pFix);

// Where the menu's "save waypoint" puts the new waypoint: at the last GPS
// position while positioning runs, the view follows it (KeepVisible) and a
// position is known; otherwise at the point the view published last
// (g_ptReference).
CMapPoint NewWaypointPosition(bool fPositioningRunning);
// The menu command: a new waypoint there with the latest fix's elevation,
// in TheWaypointStore(); true when kept (a failed save is shown).
bool SaveWaypointAtPosition();

// Start-up: loads TheWaypointStore() from its file, showing why it could
// not be read. Shutdown: saves it (a failure is shown), except when the
// file could not be read and the store is still empty (an empty store
// would replace a file the user may still recover).
void StartWaypoints(const std::string& strPath);
void StopWaypoints();

// The waypoint layer, the waypoint being moved and the hit test of the
// map page, and the waypoint dialogs' "show on map" and "changed" hooks,
// all over TheWaypointStore().
void InstallWaypointLayer();

} // namespace velka
