// What the gauges show of the map view: the last frame's statistics and the
// open map's name and detail level.
#pragma once
#include "gauges/gauge_sources.h"

namespace velka {

// The statistics now: the last frame's times and object count, the frames
// drawn, the opening time, and the open map's file name (without its
// folder) and the finished detail level of the map page.
CMapStatistics GatherMapStatistics();
// The map-renderings gauge's reset: counts frames from zero again.
void ResetMapRenderings();

} // namespace velka
