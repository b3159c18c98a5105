// The planner's road search on a native map: one FindRoute per leg with the
// routing settings, the fix's course for the start, and the points turned
// into route points.
#pragma once
#include <functional>

#include "gps/gps_fix.h"
#include "routing/route_planner.h"

namespace velka {

class CZemParser;

// fnMap gives the map to search (null: no route); fnFix the current fix
// (its course and speed choose the start link).
LegSearch MakeMapLegSearch(std::function<CZemParser*()> fnMap, std::function<GpsFix()> fnFix = {});

} // namespace velka
