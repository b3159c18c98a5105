// Geodesy on WGS-84 coordinates in degrees (east and north positive):
// distance, course and change of course, and the geoid height from a coarse
// built-in grid. Arguments are longitude first, latitude second, except for
// GeoidHeight, which takes latitude first.
#pragma once

namespace velka {

inline constexpr double c_dEquatorialRadius = 6378137.0;      // a, metres
inline constexpr double c_dEccentricity2 = 0.0066943799901413165; // e^2

// Initial great-circle course from point 1 to point 2, degrees in [0, 360).
// Identical points give 0; from the north pole 180, from the south pole 0.
// Accuracy: the course on geodetic latitudes is within 0.2 degrees of the
// ellipsoidal (geodesic) azimuth, for pairs from 1 m to 10 000 km.
float Course(float lon1, float lat1, float lon2, float lat2);
// Course(2 -> 3) - Course(1 -> 2) brought into [-180, 180].
float CourseChange(float lon1, float lat1, float lon2, float lat2, float lon3, float lat3);

// Distance in metres: the straight line between the two points on the
// ellipsoid, turned into an arc on the sphere of the first point's radius of
// curvature in the prime vertical. Accuracy against the geodesic distance s
// of the same (float) points: within 1.2 m + 3e-5 s + 1e-3 s (s / R)^2,
// R = 6 371 km; the 1.2 m and 3e-5 s come from pi in single precision (at
// the date line and near the poles), the cubic term from the sphere
// standing in for the ellipsoid (about 20 km at 10 000 km). Decimal inputs
// rounded to floats add up to 1.9 m.
double Distance(float lon1, float lat1, float lon2, float lat2);
// Local planar approximation in metres, for short distances where speed
// matters: on a sphere of the equatorial radius without flattening, within
// 0.7 % + 1 cm of the geodesic for legs up to 5 km below 70 degrees latitude.
double FastDistance(float lon1, float lat1, float lon2, float lat2);

// Geoid height above the ellipsoid in metres, interpolated from a 10-degree
// grid; 0 outside the grid.
float GeoidHeight(float lat, float lon);

// The grid itself: row r at latitude -90 + 10 r, column c at longitude
// -180 + 10 c (columns 0 and 36 are the same meridian).
inline constexpr int c_cGeoidRows = 19;
inline constexpr int c_cGeoidColumns = 37;
extern const signed char g_GeoidGrid[c_cGeoidRows][c_cGeoidColumns];

} // namespace velka
