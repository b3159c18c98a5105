#include "geometry/self_check.h"

#include <cmath>
#include <cstdlib>

#include "geometry/fast_math.h"
#include "geometry/geodesy.h"
#include "geometry/point_algorithms.h"
#include "platform/debug.h"

namespace velka {

void RunGeometrySelfChecks() {
    VELKA_ASSERT(fast_floor(-0.5f) == -1 && fast_floor(3.5f) == 3 && fast_floor(-3.5f) == -4);
    VELKA_ASSERT(fast_floor_d(-0.000001) == -1 && fast_floor_d(1.9) == 1);
    VELKA_ASSERT(fast_sqrt(4294967295u) == 65535 && fast_sqrt(24) == 4);

    const CMapPoint aPoints[] = {{0, 0}, {1000, 0}, {100, 100000}, {100000, 0}, {100, 0}};
    const auto nLength = PolylineLength(aPoints, 0, 4, 0.7f);
    const auto nLengthFast = PolylineLengthFast(aPoints, 0, 4, 0.7f);
    VELKA_ASSERT(nLength == 314752);
    VELKA_ASSERT(nLengthFast == 314596);
    VELKA_ASSERT(std::llabs(nLength - nLengthFast) <= 200);

    CMapPoint ptNearest;
    const float fD2 = NearestPointOnSegment({0, 0}, {100, 20}, {50, 30}, 0.5f, ptNearest);
    VELKA_ASSERT(ptNearest == (CMapPoint{64, 13}) && std::fabs(fD2 - 338) < 0.01f);

    VELKA_ASSERT(std::fabs(Course(-118, 33, -73, 40) - 65.8f) < 0.1f);
    VELKA_ASSERT(std::fabs(Distance(26.614940f, 51.336262f, 26.612539f, 51.335442f) - 190) < 1);
    VELKA_ASSERT(std::fabs(GeoidHeight(55, 37) - 16) < 1);
}

} // namespace velka
