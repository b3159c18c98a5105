// The turn analysis at a node of a route: the angle of the route's way out
// against the road it came in on, whether the node is a junction, and
// whether a near-parallel neighbour makes the turn a "keep left/right".
#pragma once
#include <cstdint>
#include <vector>

#include "routing/road_graph.h"

namespace velka {

struct TurnResult {
    bool fJunction = false;
    bool fKeep = false;     // announce a keep
    BYTE btKeepSide = 0;    // 1 or 0
    int nAngle = 0;         // degrees, positive to the right
};

class CTurnAnalysis {
public:
    // Links at or beyond cMapLinks are the search's virtual links; nVEnd is
    // the virtual destination node.
    CTurnAnalysis(CRoadGraph& graph, std::size_t cMapLinks, std::int32_t nVEnd)
        : m_graph(graph), m_cMapLinks(cMapLinks), m_nVEnd(nVEnd) {}

    // The turn from link in (arriving at its to node) into link out.
    TurnResult Analyse(const RoutingLink& in, const RoutingLink& out);

private:
    // The angle (degrees, positive to the left) of the first 30 m of a link
    // against the reference segment a -> b.
    float LinkAngle(const RoutingLink& link, CMapPoint a, CMapPoint b);

    CRoadGraph& m_graph;
    std::size_t m_cMapLinks;
    std::int32_t m_nVEnd;
    std::vector<CMapPoint> m_pts;
};

} // namespace velka
