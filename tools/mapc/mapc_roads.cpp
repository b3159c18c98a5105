#include "tools/mapc/mapc_roads.h"

#include <cstring>

namespace velka::mapc {

namespace {

// Vehicles as numbered by the router.
enum { vPedestrian, vBicycle, vCar, vTaxi, vBus, vEmergency, vDelivery, vTruck, cVehicles };

constexpr WORD c_awClosed[cVehicles] = {0x2000, 0x4000, 0x0400, 0x1000, 0x0800, 0x0100, 0x0200, 0x8000};

// Keys that decide a vehicle's access, most specific first.
const char* const* KeysOf(int v) {
    static const char* const c_aPedestrian[] = {"foot", "access", nullptr};
    static const char* const c_aBicycle[] = {"bicycle", "vehicle", "access", nullptr};
    static const char* const c_aCar[] = {"motorcar", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aTaxi[] = {"taxi", "psv", "motorcar", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aBus[] = {"bus", "psv", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aEmergency[] = {"emergency", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aDelivery[] = {"goods", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const c_aTruck[] = {"hgv", "goods", "motor_vehicle", "vehicle", "access", nullptr};
    static const char* const* const c_a[cVehicles] = {c_aPedestrian, c_aBicycle, c_aCar,      c_aTaxi,
                                                      c_aBus,        c_aEmergency, c_aDelivery, c_aTruck};
    return c_a[v];
}

bool IsClosedValue(const char* v) {
    for (const char* s : {"no", "private", "agricultural", "forestry", "military", "restricted"})
        if (!std::strcmp(v, s)) return true;
    return false;
}

bool In(const char* v, std::initializer_list<const char*> list) {
    if (!v) return false;
    for (const char* s : list)
        if (!std::strcmp(v, s)) return true;
    return false;
}

// The vehicles a key of restriction:<key> or except=<key> names.
BYTE VehiclesOfKey(const std::string& k) {
    if (k == "motorcar") return 1u << vCar;
    if (k == "motorcycle" || k == "moped" || k == "mofa") return 0; // not told apart from cars
    if (k == "hgv" || k == "goods") return (1u << vTruck) | (k == "goods" ? 1u << vDelivery : 0u);
    if (k == "psv") return (1u << vBus) | (1u << vTaxi);
    if (k == "bus") return 1u << vBus;
    if (k == "taxi") return 1u << vTaxi;
    if (k == "bicycle") return 1u << vBicycle;
    if (k == "emergency") return 1u << vEmergency;
    if (k == "delivery") return 1u << vDelivery;
    if (k == "motor_vehicle") return 0xFC;
    if (k == "vehicle") return 0xFE;
    if (k == "foot") return 1u << vPedestrian;
    return 0;
}

} // namespace

WORD RoadAccessFlags(const osmium::TagList& tags) {
    const char* hw = tags.get_value_by_key("highway");
    const bool fNonMotor = In(hw, {"footway", "path", "cycleway", "pedestrian", "steps", "bridleway", "corridor"});
    const bool fMotorway = In(hw, {"motorway", "motorway_link"}) || In(tags.get_value_by_key("motorroad"), {"yes"});
    WORD w = 0;
    for (int v = 0; v < cVehicles; ++v) {
        const char* value = nullptr;
        for (const char* const* k = KeysOf(v); *k && !value; ++k) value = tags.get_value_by_key(*k);
        bool fClosed;
        if (value) fClosed = IsClosedValue(value);
        else if (v == vPedestrian) fClosed = fMotorway || In(hw, {"cycleway"});
        else if (v == vBicycle) fClosed = fMotorway || In(hw, {"footway", "pedestrian", "steps", "corridor"});
        else fClosed = fNonMotor;
        // A cycleway tagged foot=yes or a footway tagged bicycle=yes is open
        // to them; the keys above already say so.
        if (fClosed) w |= c_awClosed[v];
    }
    return w;
}

bool ReadRestriction(const osmium::Relation& rel, OsmRestriction& r, std::string& strReason) {
    r = OsmRestriction();
    const osmium::TagList& tags = rel.tags();
    const char* kind = tags.get_value_by_key("restriction");
    BYTE btVehicles = c_btRestrictAllVehicles;
    if (!kind) {
        // restriction:<vehicle>: the first such tag names kind and vehicles.
        btVehicles = 0;
        for (const osmium::Tag& t : tags) {
            if (std::strncmp(t.key(), "restriction:", 12)) continue;
            const BYTE b = VehiclesOfKey(t.key() + 12);
            if (!b) continue;
            if (kind && std::strcmp(kind, t.value())) continue; // another kind: the first holds
            kind = t.value();
            btVehicles |= b;
        }
        if (!kind) {
            strReason = "no restriction tag for a routed vehicle";
            return false;
        }
    }
    if (const char* except = tags.get_value_by_key("except")) {
        std::string list = except;
        std::size_t p = 0;
        while (p <= list.size()) {
            const std::size_t e = std::min(list.find(';', p), list.size());
            btVehicles = static_cast<BYTE>(btVehicles & ~VehiclesOfKey(list.substr(p, e - p)));
            p = e + 1;
        }
    }
    btVehicles &= static_cast<BYTE>(~1u); // restrictions bind vehicles, not walkers
    if (!btVehicles) {
        strReason = "binds no routed vehicle";
        return false;
    }
    r.btVehicles = btVehicles;
    if (!std::strncmp(kind, "only_", 5)) r.fOnly = true;
    else if (std::strncmp(kind, "no_", 3)) {
        strReason = "kind is neither no_* nor only_*";
        return false;
    }
    int cFrom = 0, cTo = 0, cViaNodes = 0;
    for (const osmium::RelationMember& m : rel.members()) {
        const bool fWay = m.type() == osmium::item_type::way;
        if (!std::strcmp(m.role(), "from") && fWay) r.from = m.ref(), ++cFrom;
        else if (!std::strcmp(m.role(), "to") && fWay) r.to = m.ref(), ++cTo;
        else if (!std::strcmp(m.role(), "via")) {
            if (fWay) r.viaWays.push_back(m.ref());
            else if (m.type() == osmium::item_type::node) r.viaNode = m.ref(), ++cViaNodes;
        }
    }
    if (cFrom != 1 || cTo != 1) {
        strReason = "not one from and one to way";
        return false;
    }
    if ((cViaNodes == 1) == !r.viaWays.empty() || cViaNodes > 1) {
        strReason = "via is not one node or a row of ways";
        return false;
    }
    return true;
}

std::string RestrictionSummary::Text() const {
    std::size_t cDropped = 0;
    for (const auto& [k, n] : dropped) cDropped += n;
    std::string s = std::to_string(cRead) + " turn restrictions read, " + std::to_string(cWritten) +
                    " turns written, " + std::to_string(cDropped) + " dropped";
    if (cDropped) {
        s += " (";
        bool fFirst = true;
        for (const auto& [k, n] : dropped) {
            if (!fFirst) s += ", ";
            s += k + ": " + std::to_string(n);
            fFirst = false;
        }
        s += ")";
    }
    return s;
}

} // namespace velka::mapc

namespace velka::mapc {

namespace {

// One step of a path: along road nRoad from node a to node b.
struct Edge {
    int nRoad;
    LONG a, b;
};

class CResolver {
public:
    CResolver(const std::vector<RoadRef>& roads, const std::unordered_map<std::int64_t, LONG>& nodeNumber)
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

    LONG Node(std::int64_t id) const {
        auto it = m_nodeNumber.find(id);
        return it == m_nodeNumber.end() ? -1 : it->second;
    }
    const std::vector<std::size_t>& RoadsOfWay(std::int64_t way) const {
        static const std::vector<std::size_t> c_none;
        auto it = m_roadsOfWay.find(way);
        return it == m_roadsOfWay.end() ? c_none : it->second;
    }
    const std::vector<std::size_t>& RoadsAt(std::int64_t node) const {
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
    const std::unordered_map<std::int64_t, LONG>& m_nodeNumber;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> m_roadsOfWay;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> m_roadsAtNode;
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

void ResolveRestrictions(const std::vector<OsmRestriction>& restrictions, const std::vector<RoadRef>& roads,
                         const std::unordered_map<std::int64_t, LONG>& nodeNumber,
                         std::vector<CMapcRestriction>& out, RestrictionSummary& summary) {
    CResolver g(roads, nodeNumber);
    for (const OsmRestriction& r : restrictions) {
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
        std::int64_t last = r.viaNode;
        std::int64_t first = r.viaNode;
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
}

} // namespace velka::mapc
