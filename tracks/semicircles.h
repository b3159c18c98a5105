// Degrees to semicircles (degrees x 2^31 / 180, rounded), the angle unit of
// MapSource track records and of the on-screen track ring.
#pragma once
#include <cmath>
#include <cstdint>

namespace velka {

// floor(degrees x 2^31 / 180 + 0.5) as a signed 32-bit value; 180 degrees
// wraps to -2^31 (the same meridian), a value that is not a number gives 0.
inline std::int32_t DegreesToSemicircles(double dDegrees) {
    double d = std::floor(dDegrees * 2147483648.0 / 180.0 + 0.5);
    if (!(d > -4.0e12 && d < 4.0e12)) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(d)));
}

inline double SemicirclesToDegrees(std::int32_t l) { return l * 180.0 / 2147483648.0; }

} // namespace velka
