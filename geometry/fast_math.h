// Fast scalar math for the map and routing code: bit-level floors, integer
// bit length and square root, and table-driven sine, cosine and arc tangent
// with fixed accuracy (sine and cosine within 0.01, arc tangent within 0.005).
#pragma once
#include <cstdint>

namespace velka {

// Pi in single precision (3.1415927).
inline constexpr float c_PI = 3.14159265358979323846f;

// Largest valid index of the sine table (entries for 0..90 degrees).
inline constexpr int c_cSinSize = 90;
// Largest valid index of the arc-tangent table (entries for atan(i / 100)).
inline constexpr int c_cAtanSize = 100;

// sin(i degrees), i = 0..90, and atan(i / 100) radians, i = 0..100.
extern const float g_SinTable[c_cSinSize + 1];
extern const float g_AtanTable[c_cAtanSize + 1];

// The largest integer not above the argument; exact whenever that fits in a
// signed 32-bit integer (values beyond saturate, NaN gives 0).
std::int32_t fast_floor(float f);
std::int32_t fast_floor_d(double d);

// Number of significant bits: 0 for 0, 1 for 1, 2 for 2 and 3, ... 32.
int fast_log2(std::uint32_t n);

// floor(sqrt(n)), exact for every 32-bit n.
std::uint32_t fast_sqrt(std::uint32_t n);

// Table sine and cosine of an angle in radians; outside [-2 pi, 2 pi] the
// library function answers (after an assertion).
float fast_sin(float _f);
float fast_cos(float _f);

// Direction of (x, y) folded into the right half-plane, in [-pi/2, pi/2]:
// the angle of the line, not of the ray. y = 0 gives 0 whatever x is.
float fast_atan(std::int32_t y, std::int32_t x);

} // namespace velka
