#include "routing/route_ends.h"

#include <cmath>

#include "geometry/geodesy.h"
#include "geometry/point_algorithms.h"

namespace velka {

namespace {

float Straight(const CMapPoint& a, const CMapPoint& b, float kk) {
    const double dx = static_cast<double>(a.lX) - b.lX;
    const double dy = static_cast<double>(a.lY) - b.lY;
    return static_cast<float>(std::sqrt(dx * dx * kk + dy * dy));
}

float Degrees(LONG v) { return static_cast<float>(v * (180.0 / 1073741824.0)); }

} // namespace

void CRouteEnd::Feed(const CMapPoint* pts, const LONG* nodes, std::size_t cPoints,
                     std::uint32_t nBlockIndex, std::uint32_t dwRoadOffset, WORD wFlags, BYTE btType,
                     float k, float fPenalty) {
    fWaiting = false; // a new road ends the wait of the last one
    std::int32_t nLast = -1, iLast = -1;
    for (std::size_t i = 0; i < cPoints; ++i) {
        if (nLast >= 0 && i > 0) {
            CMapPoint foot;
            const float d2 = NearestPointOnSegment(pts[i - 1], pts[i], pt, k, foot);
            if (fRank < 0 || d2 + fPenalty < fRank) {
                fRank = d2 + fPenalty;
                fD2 = d2;
                ptFoot = foot;
                ptSegStart = pts[i - 1];
                ptSegEnd = pts[i];
                iFrom = static_cast<std::int32_t>(i - 1);
                iTo = static_cast<std::int32_t>(i);
                nBlock = nBlockIndex;
                dwRoad = dwRoadOffset;
                wRoadFlags = wFlags;
                btRoadType = btType;
                fOneWay = (wFlags & c_wRoadOneWay) != 0;
                nPrevNode = nLast;
                cPrevRPoint = iLast;
                fDistPrev = static_cast<float>(PolylineLength(pts, static_cast<std::size_t>(iLast), i - 1, kk));
                nNextNode = -1;
                cNextRPoint = -1;
                fDistNext = 0;
                fWaiting = true;
            }
        }
        if (nodes[i] >= 0) {
            if (fWaiting) {
                nNextNode = nodes[i];
                cNextRPoint = static_cast<std::int32_t>(i);
                fDistNext = static_cast<float>(PolylineLength(pts, static_cast<std::size_t>(iTo), i, kk));
                fWaiting = false;
            }
            nLast = nodes[i];
            iLast = static_cast<std::int32_t>(i);
        }
    }
}

bool CRouteEnd::Finish() {
    if (fD2 < 0 || nPrevNode < 0) return false;
    fDistPrev += Straight(ptSegStart, ptFoot, kk);
    if (nNextNode < 0) {
        // Past the road's last node: both ways lead back to it.
        nNextNode = nPrevNode;
        cNextRPoint = cPrevRPoint;
        fDistNext = fDistPrev;
    } else {
        fDistNext += Straight(ptFoot, ptSegEnd, kk);
    }
    return true;
}

bool CRouteEnd::Before(const CRouteEnd& other) const {
    if (iFrom != other.iFrom) return iFrom < other.iFrom;
    return Straight(ptSegStart, ptFoot, kk) <= Straight(ptSegStart, other.ptFoot, kk);
}

float CRouteEnd::SegmentCourse() const {
    const CMapPoint& a = ptFoot == ptSegEnd ? ptSegStart : ptFoot;
    return Course(Degrees(a.lX), Degrees(a.lY), Degrees(ptSegEnd.lX), Degrees(ptSegEnd.lY));
}

bool FindRouteEnds(CRoadGraph& graph, CRouteEnd& start, CRouteEnd& end, WORD wClosed,
                   bool (*pfnAvoided)(WORD wFlags, BYTE btType, const void* pContext), const void* pContext,
                   const RouteProgress& progress) {
    // 5 m, squared, in map units.
    const float fPenalty = static_cast<float>(std::pow(5.0 / 20000000.0 * 1073741824.0, 2));
    const float k = graph.CosLatitude();
    start.kk = end.kk = graph.XScale();
    // 1000 m in map units; x units are shorter by the latitude's cosine.
    const LONG h = static_cast<LONG>(std::lround(1000.0 / 20000000.0 * 1073741824.0));
    const LONG hw = static_cast<LONG>(std::lround(h / static_cast<double>(k)));
    auto box = [&](const CMapPoint& p) {
        auto clamp = [](std::int64_t v) {
            return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
        };
        return CMapRect{clamp(std::int64_t{p.lX} - hw), clamp(std::int64_t{p.lY} - h),
                        clamp(std::int64_t{p.lX} + hw), clamp(std::int64_t{p.lY} + h)};
    };
    const CMapRect rcStart = box(start.pt), rcEnd = box(end.pt);
    const auto& blocks = graph.Blocks();
    CZemParser& map = graph.Map();
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (progress.Cancelled()) return false;
        const CZemBlock& block = blocks[b];
        const bool fStart = block.rc.Intersects(rcStart);
        const bool fEnd = block.rc.Intersects(rcEnd);
        if (!fStart && !fEnd) continue;
        const BYTE* p = block.apSection[rkPolyline];
        while (p < block.apSectionEnd[rkPolyline]) {
            CZemObject obj;
            const auto dwRoad = static_cast<std::uint32_t>(p - map.Data());
            const CMapPoint* pts = graph.DecodeRoad(static_cast<std::uint32_t>(b), dwRoad, obj);
            if (!pts) break;
            p = obj.pNext;
            if (!obj.fNodeReferences || (obj.wRoadFlags & wClosed)) continue;
            const BYTE btType = static_cast<BYTE>(std::min<unsigned>(obj.wType, 255));
            const LONG* nodes = graph.NodeRefs().data();
            const float f = pfnAvoided && pfnAvoided(obj.wRoadFlags, btType, pContext) ? fPenalty : 0;
            if (fStart) start.Feed(pts, nodes, obj.cPoints, static_cast<std::uint32_t>(b), dwRoad, obj.wRoadFlags, btType, k, f);
            if (fEnd) end.Feed(pts, nodes, obj.cPoints, static_cast<std::uint32_t>(b), dwRoad, obj.wRoadFlags, btType, k, f);
        }
        if ((b & 63) == 0) progress.At(60 + static_cast<int>(20 * b / std::max<std::size_t>(blocks.size(), 1)));
    }
    progress.At(80);
    return true;
}

} // namespace velka
