#include "tools/route_args.h"

#include <cmath>
#include <cstdio>

namespace velka::tool {
namespace {

const char* const c_aszVehicles[c_cRouteVehicles] = {"pedestrian", "bicycle", "car",      "taxi",
                                                     "bus",        "emergency", "delivery", "truck"};

} // namespace

bool ParseLatLon(const std::string& s, LatLon& ll) {
    double lat = 0, lon = 0;
    char c = 0;
    // Written so that NaN fails too.
    if (std::sscanf(s.c_str(), "%lf,%lf%c", &lat, &lon, &c) != 2 || !(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180))
        return false;
    ll = {lat, lon};
    return true;
}

std::vector<LatLon> RouteArgs::Stops() const {
    std::vector<LatLon> stops;
    if (!from || !to) return stops;
    stops.push_back(*from);
    stops.insert(stops.end(), vias.begin(), vias.end());
    stops.push_back(*to);
    return stops;
}

ArgTaken TakeRouteArg(const char* szCommand, const Args& args, std::size_t& i, RouteArgs& a, int& nExit) {
    const std::string& s = args[i];
    const bool fValue = i + 1 < args.size();
    auto fail = [&](const std::string& strMessage) {
        nExit = UsageError(szCommand, strMessage);
        return ArgTaken::Error;
    };
    if ((s == "--from" || s == "--to" || s == "--via") && fValue) {
        LatLon ll;
        if (!ParseLatLon(args[++i], ll)) return fail("bad position '" + args[i] + "' (LAT,LON)");
        if (s == "--from") a.from = ll;
        else if (s == "--to") a.to = ll;
        else a.vias.push_back(ll);
    } else if (s == "--vehicle" && fValue) {
        const std::string& v = args[++i];
        a.options.nVehicle = -1;
        for (int k = 0; k < c_cRouteVehicles; ++k)
            if (v == c_aszVehicles[k]) a.options.nVehicle = k;
        if (v == "motorcycle") a.options.nVehicle = rvCar;
        if (a.options.nVehicle < 0) return fail("unknown vehicle '" + v + "'");
    } else if (s == "--shortest") {
        a.options.fFastest = false;
    } else if (s == "--avoid" && fValue) {
        const std::string& list = args[++i];
        std::size_t p = 0;
        while (p <= list.size()) {
            const std::size_t e = std::min(list.find(',', p), list.size());
            const std::string w = list.substr(p, e - p);
            if (w == "tolls") a.options.fAvoidTolls = true;
            else if (w == "uturns") a.options.fAvoidUTurns = true;
            else if (w == "highways") a.options.fAvoidHighways = true;
            else if (w == "unpaved") a.options.fAvoidUnpaved = true;
            else if (!w.empty()) return fail("unknown avoid option '" + w + "'");
            p = e + 1;
        }
    } else if (a.strMap.empty() && !s.empty() && s[0] != '-') {
        a.strMap = s;
    } else {
        return ArgTaken::No;
    }
    return ArgTaken::Yes;
}

} // namespace velka::tool
