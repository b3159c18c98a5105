// The planner's road search on the open map: one FindRoute per leg (the
// map's route slot, so a map behind a proxy or in an atlas routes too) with
// the routing settings, the fix's course for the start, and the points
// turned into route points.
#pragma once
#include <functional>

#include "gps/gps_fix.h"
#include "routing/route_planner.h"

namespace velka {

class CMapParser;

// fnMap gives the map to search (null: no route); fnFix the current fix
// (its course and speed choose the start link). Installs the native map's
// route search in the route slot.
LegSearch MakeMapLegSearch(std::function<CMapParser*()> fnMap, std::function<GpsFix()> fnFix = {});

} // namespace velka
