// Road data of the map compiler read from tags: the access of a way for
// each of the router's eight vehicles, and turn restriction relations with
// the vehicles they bind.
#pragma once
#include <string>

#include <osmium/osm/relation.hpp>
#include <osmium/osm/tag.hpp>

#include "platform/win_types.h"
#include "tools/mapc/mapc_stages.h"

namespace velka::mapc {

// The "closed to" bits of the road flags (0x0100-0x8000) for a way: from
// access, vehicle, motor_vehicle, motorcar, hgv, psv, bus, taxi, goods,
// emergency, bicycle and foot, the most specific key winning; destination
// counts as open. Footways, paths, cycleways, pedestrian streets, steps and
// bridleways are closed to motor vehicles unless their tags open them;
// motorways and their links to pedestrians and bicycles.
WORD RoadAccessFlags(const osmium::TagList& tags);

// A plain restriction binds every vehicle but the pedestrian.
constexpr BYTE c_btRestrictVehicles = 0xFE;

// Reads a type=restriction relation (restriction=*, restriction:<vehicle>=*,
// except=*), over a node or a row of ways. False with the reason when it
// cannot be used.
bool ReadRestriction(const osmium::Relation& rel, CMapcOsmRestriction& r, std::string& strReason);

} // namespace velka::mapc
