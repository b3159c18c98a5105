// Tiny road maps written in a test: nodes on a grid of 0.001 degrees, ways
// and restriction relations, compiled by the map compiler into a native
// map held in memory.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "mapdata/zem_parser.h"
#include "routing/route_search.h"

namespace velka::test {

// Compiles an OpenStreetMap file with the default style into native map
// bytes; false with the message on failure.
bool CompileOsmFile(const std::string& strPath, std::vector<BYTE>& bytes, std::string& strError);

class CTinyMap {
public:
    using Tags = std::vector<std::pair<std::string, std::string>>;
    struct Member {
        char chType; // 'n' or 'w'
        long long ref;
        std::string strRole;
    };

    // Grid units: 0.001 degrees of longitude (x) and latitude (y).
    void Node(long long id, double x, double y);
    void Way(long long id, const std::vector<long long>& nodes, const Tags& tags);
    void Relation(long long id, const std::vector<Member>& members, const Tags& tags);

    // Compiles the map (once); false with the message on failure.
    bool Compile(std::string& strError);
    CZemParser& Map() { return *m_pZem; }

    // A request from node to node (its position, or a grid position).
    CRouteRequest Request(long long from, long long to, RouteOptions options = {}) const;
    CMapPoint At(double x, double y) const;
    CMapPoint NodePoint(long long id) const;
    // The nodes the route's points lie on (within 2 m), in order, repeats
    // removed.
    std::vector<long long> NodesOf(const CRouteRequest& route) const;

private:
    std::string Xml() const;

    std::map<long long, std::pair<double, double>> m_nodes;
    std::vector<std::tuple<long long, std::vector<long long>, Tags>> m_ways;
    std::vector<std::tuple<long long, std::vector<Member>, Tags>> m_relations;
    std::vector<BYTE> m_bytes;
    std::unique_ptr<CMapParser> m_pMap;
    CZemParser* m_pZem = nullptr;
};

} // namespace velka::test
