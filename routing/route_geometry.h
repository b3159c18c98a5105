// Geometry of a route's points: positions in degrees and map units, leg
// lengths and courses, turn angles, and the recomputation of the manoeuvre
// angles after every change of a route's points.
#pragma once
#include <cstddef>

#include "geometry/map_types.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// Semicircles (map units x 2) to degrees and back.
double SemicirclesToDegrees(std::int32_t l);
std::int32_t DegreesToSemicircles(double d);
// A point's position in degrees (longitude, latitude).
float PointLon(const RoutePoint& p);
float PointLat(const RoutePoint& p);
// A point's position in map units.
CMapPoint PointMapUnits(const RoutePoint& p);

// Sum of the geodesic leg lengths (metres) from point iFrom to point iTo;
// iTo is clamped to the last point. 0 when iFrom >= iTo.
double LegLength(const Route& route, std::size_t iFrom, std::size_t iTo);
// Course of leg i -> i + 1 (degrees 0..360).
float LegCourse(const Route& route, std::size_t i);
// Change of course at point i, positive to the right; 0 at the ends.
float TurnAngleAt(const Route& route, std::size_t i);

// Recomputes every inner point's angle; a manoeuvre made by routing gathers
// the bends of the same sign that follow within 40 m (300 m after a ramp).
void RecomputeAngles(Route& route);

} // namespace velka
