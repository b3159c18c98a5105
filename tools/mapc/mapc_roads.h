// Road data of the map compiler: the access of a way for each of the
// router's eight vehicles, and turn restrictions read from relations,
// with the vehicles they bind.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <osmium/osm/relation.hpp>
#include <osmium/osm/tag.hpp>

#include <unordered_map>

#include "platform/win_types.h"
#include "tools/mapc/zem_writer.h"

namespace velka::mapc {

// The "closed to" bits of the road flags (0x0100-0x8000) for a way: from
// access, vehicle, motor_vehicle, motorcar, hgv, psv, bus, taxi, goods,
// emergency, bicycle and foot, the most specific key winning; destination
// counts as open. Footways, paths, cycleways, pedestrian streets, steps and
// bridleways are closed to motor vehicles unless their tags open them;
// motorways and their links to pedestrians and bicycles.
WORD RoadAccessFlags(const osmium::TagList& tags);

// Vehicle bits of a restriction: bit v for vehicle v (0 pedestrian .. 7
// truck). A plain restriction binds every vehicle but the pedestrian.
constexpr BYTE c_btRestrictAllVehicles = 0xFE;

// A turn restriction as tagged: from a way, over a node or over one or
// more ways, to a way.
struct OsmRestriction {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t viaNode = 0;          // when over a node
    std::vector<std::int64_t> viaWays; // when over ways, in member order
    bool fOnly = false;
    BYTE btVehicles = c_btRestrictAllVehicles;
};

// Reads a type=restriction relation (restriction=*, restriction:<vehicle>=*,
// except=*). False with the reason when it cannot be used.
bool ReadRestriction(const osmium::Relation& rel, OsmRestriction& r, std::string& strReason);

// A road of the graph as the compiler holds it: its road id (the writer's
// nRoadId), its way and its OSM node ids in stored order.
struct RoadRef {
    int nRoadId = -1;
    std::int64_t wayId = 0;
    const std::vector<std::int64_t>* pNodeIds = nullptr;
};

// Turns the tagged restrictions into forbidden turns (and rows of turns for
// via ways) between graph nodes; what cannot be placed is counted.
void ResolveRestrictions(const std::vector<OsmRestriction>& restrictions, const std::vector<RoadRef>& roads,
                         const std::unordered_map<std::int64_t, LONG>& nodeNumber,
                         std::vector<CMapcRestriction>& out, RestrictionSummary& summary);

} // namespace velka::mapc
