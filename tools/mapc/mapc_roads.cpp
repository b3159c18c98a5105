// Compiler stages: the road graph and the turn restrictions on it.
#include <algorithm>
#include <unordered_set>

#include "tools/mapc/mapc_stages.h"

namespace velka::mapc {

CRoadGraph BuildRoadGraph(const CMapcSource& src) {
    std::unordered_map<OsmId, int> uses;
    for (const CMapcFeature& f : src.features) {
        if (!f.fRoad) continue;
        for (std::size_t i = 0; i < f.nodeIds.size(); ++i)
            uses[f.nodeIds[i]] += (i == 0 || i + 1 == f.nodeIds.size()) ? 2 : 1;
    }
    for (const CMapcOsmRestriction& r : src.restrictions)
        if (r.viaWays.empty()) uses[r.via] += 2;
    CRoadGraph graph;
    LONG cNodes = 0;
    for (const CMapcFeature& f : src.features) {
        if (!f.fRoad) continue;
        for (OsmId id : f.nodeIds)
            if (uses[id] >= 2 && graph.nodeNumber.try_emplace(id, cNodes).second) ++cNodes;
    }
    graph.cNodes = static_cast<DWORD>(cNodes);
    return graph;
}

namespace {

// A road feature: its road id (index in the features), way and node ids.
struct RoadRef {
    int nRoadId = -1;
    OsmId wayId = 0;
    const std::vector<OsmId>* pNodeIds = nullptr;
};

// One step of a path: along road nRoad from node a to node b.
struct Edge {
    int nRoad;
    LONG a, b;
};

class CResolver {
public:
    CResolver(const std::vector<RoadRef>& roads, const std::unordered_map<OsmId, LONG>& nodeNumber)
        : m_roads(roads), m_nodeNumber(nodeNumber) {
        for (std::size_t i = 0; i < roads.size(); ++i) {
            m_roadsOfWay[roads[i].wayId].push_back(i);
            for (std::int64_t id : *roads[i].pNodeIds)
                if (nodeNumber.count(id)) {
                    auto& v = m_roadsAtNode[id];
                    if (v.empty() || v.back() != i) v.push_back(i);
                }
        }
    }

    LONG Node(OsmId id) const {
        auto it = m_nodeNumber.find(id);
        return it == m_nodeNumber.end() ? -1 : it->second;
    }
    const std::vector<std::size_t>& RoadsOfWay(OsmId way) const {
        static const std::vector<std::size_t> c_none;
        auto it = m_roadsOfWay.find(way);
        return it == m_roadsOfWay.end() ? c_none : it->second;
    }
    const std::vector<std::size_t>& RoadsAt(OsmId node) const {
        static const std::vector<std::size_t> c_none;
        auto it = m_roadsAtNode.find(node);
        return it == m_roadsAtNode.end() ? c_none : it->second;
    }
    // The graph nodes next to OSM node `via` along road r (one or two).
    std::vector<LONG> Neighbours(std::size_t r, std::int64_t via) const {
        std::vector<LONG> out;
        const auto& ids = *m_roads[r].pNodeIds;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] != via) continue;
            for (std::size_t k = i; k-- > 0;)
                if (Node(ids[k]) >= 0) {
                    out.push_back(Node(ids[k]));
                    break;
                }
            for (std::size_t k = i + 1; k < ids.size(); ++k)
                if (Node(ids[k]) >= 0) {
                    out.push_back(Node(ids[k]));
                    break;
                }
        }
        return out;
    }
    // The edges along road r from OSM node u to OSM node v; empty when r
    // does not hold both.
    std::vector<Edge> Along(std::size_t r, std::int64_t u, std::int64_t v) const {
        const auto& ids = *m_roads[r].pNodeIds;
        std::vector<Edge> out;
        auto iu = std::find(ids.begin(), ids.end(), u), iv = std::find(ids.begin(), ids.end(), v);
        if (iu == ids.end() || iv == ids.end() || iu == iv) return out;
        const int nStep = iu < iv ? 1 : -1;
        LONG prev = Node(*iu);
        for (auto it = iu; it != iv;) {
            it += nStep;
            const LONG n = Node(*it);
            if (n < 0) continue;
            out.push_back({m_roads[r].nRoadId, prev, n});
            prev = n;
        }
        return out;
    }
    // The OSM node both roads hold (ends first), or 0.
    std::int64_t Common(std::size_t a, std::size_t b) const {
        const auto& x = *m_roads[a].pNodeIds;
        const auto& y = *m_roads[b].pNodeIds;
        for (std::int64_t id : {x.front(), x.back()})
            if (std::find(y.begin(), y.end(), id) != y.end()) return id;
        for (std::int64_t id : x)
            if (std::find(y.begin(), y.end(), id) != y.end()) return id;
        return 0;
    }
    const RoadRef& Road(std::size_t r) const { return m_roads[r]; }

private:
    const std::vector<RoadRef>& m_roads;
    const std::unordered_map<OsmId, LONG>& m_nodeNumber;
    std::unordered_map<OsmId, std::vector<std::size_t>> m_roadsOfWay;
    std::unordered_map<OsmId, std::vector<std::size_t>> m_roadsAtNode;
};

// Writes the forbidden row of turns along the edges.
void Emit(const std::vector<Edge>& path, BYTE btVehicles, std::vector<CMapcRestriction>& out) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        CMapcRestriction r;
        r.lFromNode = path[i - 1].a;
        r.lNode = path[i - 1].b;
        r.lToNode = path[i].b;
        r.nFromRoad = path[i - 1].nRoad;
        r.nToRoad = path[i].nRoad;
        r.btVehicles = btVehicles;
        r.fContinues = i + 1 < path.size();
        out.push_back(r);
    }
}

} // namespace

std::vector<CMapcRestriction> ResolveRestrictions(const CMapcSource& src, const CRoadGraph& graph,
                                                  RestrictionSummary* pSummary) {
    std::vector<RoadRef> roads;
    for (std::size_t i = 0; i < src.features.size(); ++i)
        if (src.features[i].fRoad && !src.features[i].nodeIds.empty())
            roads.push_back({static_cast<int>(i), src.features[i].wayId, &src.features[i].nodeIds});
    RestrictionSummary ignored;
    RestrictionSummary& summary = pSummary ? *pSummary : ignored;
    std::vector<CMapcRestriction> out;
    CResolver g(roads, graph.nodeNumber);
    for (const CMapcOsmRestriction& r : src.restrictions) {
        const std::size_t cBefore = out.size();
        const auto& froms = g.RoadsOfWay(r.from);
        const auto& tos = g.RoadsOfWay(r.to);
        if (froms.empty() || tos.empty()) {
            summary.Drop("from or to way is not a road of the map");
            continue;
        }
        // The via ways' row from the from way to the to way, as edges, and
        // the OSM node where the last turn is made.
        std::vector<Edge> middle;
        OsmId last = r.via;
        OsmId first = r.via;
        if (!r.viaWays.empty()) {
            std::size_t prev = froms.front();
            bool fOk = true;
            first = 0;
            for (std::size_t k = 0; k < r.viaWays.size() && fOk; ++k) {
                const auto& vs = g.RoadsOfWay(r.viaWays[k]);
                if (vs.empty()) {
                    fOk = false;
                    break;
                }
                const std::size_t v = vs.front();
                const std::int64_t in = g.Common(prev, v);
                const std::size_t next = k + 1 < r.viaWays.size() ? g.RoadsOfWay(r.viaWays[k + 1]).empty()
                                                                        ? v
                                                                        : g.RoadsOfWay(r.viaWays[k + 1]).front()
                                                                  : tos.front();
                const std::int64_t outNode = g.Common(v, next);
                if (!in || !outNode || in == outNode) {
                    fOk = false;
                    break;
                }
                if (!first) first = in;
                const std::vector<Edge> e = g.Along(v, in, outNode);
                if (e.empty()) fOk = false;
                middle.insert(middle.end(), e.begin(), e.end());
                last = outNode;
                prev = v;
            }
            if (!fOk) {
                summary.Drop("via ways do not join the from and to ways");
                continue;
            }
        }
        const LONG nFirst = g.Node(first), nLast = g.Node(last);
        if (nFirst < 0 || nLast < 0) {
            summary.Drop("via is not a junction of roads");
            continue;
        }
        for (std::size_t from : froms) {
            for (LONG fromNode : g.Neighbours(from, first)) {
                std::vector<Edge> head{{g.Road(from).nRoadId, fromNode, nFirst}};
                if (!middle.empty() && fromNode == middle.front().b) continue; // the from way doubles back
                head.insert(head.end(), middle.begin(), middle.end());
                const LONG arrive = head.back().a; // where the last turn comes from
                std::vector<Edge> tails;
                if (r.fOnly) {
                    for (std::size_t other : g.RoadsAt(last)) {
                        if (g.Road(other).wayId == r.to) continue;
                        for (LONG n : g.Neighbours(other, last))
                            if (!(g.Road(other).nRoadId == head.back().nRoad && n == arrive))
                                tails.push_back({g.Road(other).nRoadId, nLast, n});
                    }
                } else {
                    // From a way back onto itself only the way back is meant.
                    const bool fBack = r.from == r.to && r.viaWays.empty();
                    for (std::size_t to : tos)
                        for (LONG n : g.Neighbours(to, last))
                            if (!fBack || (to == from && n == arrive)) tails.push_back({g.Road(to).nRoadId, nLast, n});
                }
                for (const Edge& t : tails) {
                    std::vector<Edge> path = head;
                    path.push_back(t);
                    Emit(path, r.btVehicles, out);
                }
            }
        }
        if (out.size() == cBefore) summary.Drop("from or to way does not reach the via");
    }
    return out;
}

} // namespace velka::mapc
