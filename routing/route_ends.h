// The ends of a route: for each, the nearest road segment within 1000 m,
// the foot point on it, and the nodes before and after it along the road
// with the distances to them.
#pragma once
#include <cstdint>

#include "geometry/map_types.h"
#include "routing/road_graph.h"

namespace velka {

struct CRouteEnd {
    explicit CRouteEnd(bool fStart) : fIsStart(fStart) {}

    CMapPoint pt;             // the given point
    bool fIsStart = false;
    float fD2 = -1;           // squared distance to the foot point, -1 = none yet
    float fRank = -1;         // fD2 with the penalty of an avoided road
    bool fOneWay = false;
    std::uint32_t nBlock = 0;
    std::uint32_t dwRoad = 0;
    std::int32_t iFrom = 0;   // the segment found: its point indices
    std::int32_t iTo = 0;
    CMapPoint ptFoot;
    CMapPoint ptSegStart;
    CMapPoint ptSegEnd;
    std::int32_t nPrevNode = -1;
    std::int32_t nNextNode = -1;
    std::int32_t cPrevRPoint = -1;
    std::int32_t cNextRPoint = -1;
    float fDistPrev = 0;      // map units, previous node to the foot point
    float fDistNext = 0;      // foot point to the next node
    BYTE btRoadType = 0;
    WORD wRoadFlags = 0;
    bool fWaiting = false;
    float kk = 1;             // squared latitude factor

    // Feeds one road record (points and node numbers, -1 where none).
    // fPenalty (squared map units) is added to the distances of a road the
    // options avoid, so that of two roads meeting at the point the other wins.
    void Feed(const CMapPoint* pts, const LONG* nodes, std::size_t cPoints, std::uint32_t nBlockIndex,
              std::uint32_t dwRoadOffset, WORD wFlags, BYTE btType, float k, float fPenalty = 0);
    // Completes the distances; false when no road was found.
    bool Finish();
    // True when this foot point comes before the other's along the road.
    bool Before(const CRouteEnd& other) const;
    // Course (degrees) of the segment from the foot point onwards.
    float SegmentCourse() const;
};

// Scans the blocks within 1000 m of either end and feeds them the roads
// open to the vehicle (whose flags share no bit with wClosed); roads for
// which fnAvoided is true rank behind others at the same spot (progress
// 60-80 %). False when cancelled.
bool FindRouteEnds(CRoadGraph& graph, CRouteEnd& start, CRouteEnd& end, WORD wClosed,
                   bool (*pfnAvoided)(WORD wFlags, BYTE btType, const void* pContext), const void* pContext,
                   const RouteProgress& progress);

} // namespace velka
