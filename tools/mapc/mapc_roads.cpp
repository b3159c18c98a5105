// Compiler stages: the road graph and the turn restrictions on it.
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
    for (const CMapcOsmRestriction& r : src.restrictions) uses[r.via] += 2;
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

std::vector<CMapcRestriction> ResolveRestrictions(const CMapcSource& src, const CRoadGraph& graph) {
    const std::vector<CMapcFeature>& features = src.features;
    std::unordered_map<OsmId, std::vector<int>> roadsOfWay;
    std::unordered_map<OsmId, std::vector<int>> roadsAtNode;
    for (std::size_t i = 0; i < features.size(); ++i) {
        if (!features[i].fRoad) continue;
        roadsOfWay[features[i].wayId].push_back(static_cast<int>(i));
        std::unordered_set<OsmId> seen;
        for (OsmId id : features[i].nodeIds)
            if (graph.IsNode(id) && seen.insert(id).second) roadsAtNode[id].push_back(static_cast<int>(i));
    }
    // The graph nodes next to node `via` along road f (one or two).
    auto neighbours = [&](int f, OsmId via) {
        std::vector<LONG> out;
        const auto& ids = features[f].nodeIds;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] != via) continue;
            for (std::size_t k = i; k-- > 0;)
                if (graph.IsNode(ids[k])) {
                    out.push_back(graph.nodeNumber.at(ids[k]));
                    break;
                }
            for (std::size_t k = i + 1; k < ids.size(); ++k)
                if (graph.IsNode(ids[k])) {
                    out.push_back(graph.nodeNumber.at(ids[k]));
                    break;
                }
        }
        return out;
    };
    std::vector<CMapcRestriction> out;
    for (const CMapcOsmRestriction& r : src.restrictions) {
        if (!graph.IsNode(r.via)) continue;
        const LONG via = graph.nodeNumber.at(r.via);
        for (int from : roadsOfWay[r.from]) {
            for (LONG fromNode : neighbours(from, r.via)) {
                std::vector<std::pair<int, LONG>> forbidden;
                if (r.fOnly) {
                    for (int other : roadsAtNode[r.via]) {
                        if (features[other].wayId == r.to) continue;
                        for (LONG n : neighbours(other, r.via))
                            if (!(other == from && n == fromNode)) forbidden.push_back({other, n});
                    }
                } else {
                    for (int to : roadsOfWay[r.to])
                        for (LONG n : neighbours(to, r.via)) forbidden.push_back({to, n});
                }
                for (auto [to, toNode] : forbidden) out.push_back({fromNode, via, toNode, from, to});
            }
        }
    }
    return out;
}

} // namespace velka::mapc
