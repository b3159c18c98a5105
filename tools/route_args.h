// The options velkatool route and velkatool guide share: the map, the ends
// and via points, the vehicle, the optimisation and what to avoid.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "routing/route_search.h"
#include "tools/commands.h"

namespace velka::tool {

using LatLon = std::pair<double, double>; // degrees

// "LAT,LON" in degrees, each within its range; false otherwise.
bool ParseLatLon(const std::string& s, LatLon& ll);

struct RouteArgs {
    std::string strMap;
    std::optional<LatLon> from, to;
    std::vector<LatLon> vias;
    RouteOptions options; // nothing avoided unless asked

    // from, the vias, to (empty without both ends).
    std::vector<LatLon> Stops() const;
};

enum class ArgTaken { No, Yes, Error };

// Takes args[i] (and its value, advancing i) when it is a shared option or
// the map; on a bad value prints the usage error and sets nExit.
ArgTaken TakeRouteArg(const char* szCommand, const Args& args, std::size_t& i, RouteArgs& a, int& nExit);

} // namespace velka::tool
