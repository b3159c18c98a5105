// A drive along a route at a steady speed, one fix a second (position,
// course of the leg, speed, time from 0), ending with a fix on the last point.
#pragma once
#include <vector>

#include "gps/gps_fix.h"
#include "waypoints/waypoint_store.h"

namespace velka {

std::vector<GpsFix> SimulatedDrive(const Route& route, double dKmh);

} // namespace velka
