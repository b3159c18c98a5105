// Routes on the map: every shown route in its colour with direction
// markers, the active route from the next point on in the two navigation
// pens, and the bearing line from the position to guidance's target.
#pragma once
#include <cstddef>

#include "mapdata/paint_context.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// True when drawing was interrupted.
bool DrawRoutes(CPaintContext& pc, const CWaypointStore& store, std::size_t iNextPoint);
// The bearing line between two map points (map units).
void DrawBearingLine(CPaintContext& pc, const CMapPoint& from, const CMapPoint& to);

} // namespace velka
