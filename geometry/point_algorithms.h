// Planar algorithms on lists of map points. Map units of x are shorter than
// units of y by the cosine of the latitude, so every distance weights the x
// difference, by one of two conventions that must not be mixed up:
//  - a length factor k multiplies dx: distance^2 = (dx k)^2 + dy^2;
//  - a squared factor kk multiplies dx^2: distance^2 = dx^2 kk + dy^2.
// Segment i joins point i and point i + 1. Nothing here allocates.
#pragma once
#include <cstddef>
#include <cstdint>

#include "geometry/map_types.h"

namespace velka {

// Sum over the segments iFirst .. iEnd - 1 (points iFirst .. iEnd) of each
// segment's length rounded to a whole map unit; squared factor kk.
std::int64_t PolylineLength(const CMapPoint* pPoints, std::size_t iFirst, std::size_t iEnd,
                            float kk);
// The same in integer arithmetic (8.8 fixed-point factor); within a few
// hundred units of PolylineLength on long lists.
std::int64_t PolylineLengthFast(const CMapPoint* pPoints, std::size_t iFirst, std::size_t iEnd,
                                float kk);

// Squared distance (length factor k) from p to the nearest point of the
// segment p0-p1, which goes to ptNearest.
float NearestPointOnSegment(const CMapPoint& p0, const CMapPoint& p1, const CMapPoint& p, float k,
                            CMapPoint& ptNearest);

// Squared distance from p to the nearest point of the list (closed: with the
// segment from the last point back to the first); the point and the index of
// its segment go out. Ties keep the earlier segment. A single point counts as
// a segment of zero length (index 0). Returns -1 and sets nothing for an
// empty list.
float NearestPointOnPolyline(const CMapPoint* pPoints, std::size_t _cPoints, const CMapPoint& p,
                             float k, bool fClosed, CMapPoint& ptNearest, std::size_t& iSegment);

// True when some segment lies within r of p (length factor k). Fewer than two
// points: false.
bool IsNearPolyline(const CMapPoint* pPoints, std::size_t cPoints, const CMapPoint& p, float r,
                    float k, bool fClosed);
// True when p is inside the polygon or within r of its outline.
bool IsNearPolygon(const CMapPoint* pPoints, std::size_t cPoints, const CMapPoint& p, float r,
                   float k);

// Even-odd test with the boundary counted as inside. Fewer than three points,
// or all points equal: false.
bool PointInPolygon(const CMapPoint* pPoints, std::size_t _cPoints, const CMapPoint& p);

} // namespace velka
