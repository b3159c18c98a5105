// velkatool route and graph: road routes on a native map, one or a batch of
// pairs, and the facts of a map's road graph.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "platform/text.h"
#include "routing/route_search.h"
#include "tools/commands.h"

namespace velka::tool {

namespace {

LONG FromDegrees(double d) {
    return static_cast<LONG>(std::clamp(std::floor(d * 1073741824.0 / 180.0 + 0.5), -2147483648.0, 2147483647.0));
}

using json = nlohmann::json;

const char* const c_aszVehicles[c_cRouteVehicles] = {"pedestrian", "bicycle", "car",      "taxi",
                                                     "bus",        "emergency", "delivery", "truck"};

std::string Manoeuvre(const RouteSearchPoint& p) {
    if ((p.btKind & (c_btPointManoeuvre | c_btPointRoundabout)) == (c_btPointManoeuvre | c_btPointRoundabout))
        return "roundabout_exit_" + std::to_string(p.btExtra);
    if (p.btKind & c_btPointRoundabout) return "roundabout";
    if (p.btKind & c_btPointKeep) return p.btExtra ? "keep_right" : "keep_left";
    if (p.btKind & c_btPointManoeuvre) return (p.btKind & c_btPointRamp) ? "turn_ramp" : "turn";
    return "none";
}

struct RouteArgs {
    std::string strMap;
    std::vector<CMapPoint> stops; // from, vias, to
    std::string strBatch;
    RouteOptions options;
    bool fCourse = false, fSpeed = false;
    float fCourseDeg = 0, fSpeedKmh = 0;
};

// Routes through the stops, leg by leg; the JSON answer.
json RouteJson(CZemParser& map, const RouteArgs& a, const std::vector<CMapPoint>& stops, bool& fOk) {
    json j;
    std::vector<RouteSearchPoint> points;
    double dLength = 0, dTime = 0, dCost = 0;
    RouteTimes total;
    fOk = true;
    for (std::size_t leg = 0; leg + 1 < stops.size(); ++leg) {
        CRouteRequest req;
        req.ptStart = stops[leg];
        req.ptEnd = stops[leg + 1];
        req.options = a.options;
        if (leg == 0 && a.fCourse) {
            req.fCourse = true;
            req.fCourseDeg = a.fCourseDeg;
            req.fSpeedKmh = a.fSpeedKmh;
        }
        if (!FindRoute(map, req)) {
            fOk = false;
            j["ok"] = false;
            j["error"] = stops.size() > 2 ? "leg " + std::to_string(leg + 1) + ": " + RouteErrorText(req.error)
                                          : std::string(RouteErrorText(req.error));
            return j;
        }
        if (leg > 0 && !req.points.empty()) req.points.front().btKind |= c_btPointVia;
        points.insert(points.end(), req.points.begin(), req.points.end());
        dLength += req.dLengthM;
        dTime += req.dTimeS;
        dCost += req.dCost;
        total.dGraph += req.times.dGraph;
        total.dFindEnds += req.times.dFindEnds;
        total.dTransitions += req.times.dTransitions;
        total.dSearch += req.times.dSearch;
        total.dBuild += req.times.dBuild;
        total.dTotal += req.times.dTotal;
    }
    j["ok"] = true;
    j["length_m"] = std::round(dLength * 100) / 100;
    j["time_s"] = std::round(dTime * 10) / 10;
    j["cost"] = dCost;
    j["timings"] = {{"graph_ms", total.dGraph},         {"find_ends_ms", total.dFindEnds},
                    {"transitions_ms", total.dTransitions}, {"search_ms", total.dSearch},
                    {"build_ms", total.dBuild},          {"total_ms", total.dTotal}};
    json pts = json::array();
    for (const RouteSearchPoint& p : points)
        pts.push_back({{"lat", ToDegrees(p.pt.lY)},
                       {"lon", ToDegrees(p.pt.lX)},
                       {"kind", p.btKind},
                       {"name", ToUtf8(p.strName)},
                       {"angle", p.nAngle},
                       {"manoeuvre", Manoeuvre(p)}});
    j["points"] = std::move(pts);
    return j;
}

int ParseRouteArgs(const Args& args, RouteArgs& a) {
    CMapPoint from{}, to{};
    bool fFrom = false, fTo = false;
    std::vector<CMapPoint> vias;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        const bool fValue = i + 1 < args.size();
        if ((s == "--from" || s == "--to" || s == "--via") && fValue) {
            CMapPoint pt;
            if (!ParseLatLon(args[++i], pt)) return UsageError("route", "bad position '" + args[i] + "' (LAT,LON)");
            if (s == "--from") from = pt, fFrom = true;
            else if (s == "--to") to = pt, fTo = true;
            else vias.push_back(pt);
        } else if (s == "--batch" && fValue) {
            a.strBatch = args[++i];
        } else if (s == "--vehicle" && fValue) {
            const std::string v = args[++i];
            a.options.nVehicle = -1;
            for (int k = 0; k < c_cRouteVehicles; ++k)
                if (v == c_aszVehicles[k]) a.options.nVehicle = k;
            if (v == "motorcycle") a.options.nVehicle = rvCar;
            if (a.options.nVehicle < 0) return UsageError("route", "unknown vehicle '" + v + "'");
        } else if (s == "--shortest") {
            a.options.fFastest = false;
        } else if (s == "--avoid" && fValue) {
            std::string list = args[++i];
            std::size_t p = 0;
            while (p <= list.size()) {
                const std::size_t e = std::min(list.find(',', p), list.size());
                const std::string w = list.substr(p, e - p);
                if (w == "tolls") a.options.fAvoidTolls = true;
                else if (w == "uturns") a.options.fAvoidUTurns = true;
                else if (w == "highways") a.options.fAvoidHighways = true;
                else if (w == "unpaved") a.options.fAvoidUnpaved = true;
                else if (!w.empty()) return UsageError("route", "unknown avoid option '" + w + "'");
                p = e + 1;
            }
        } else if ((s == "--course" || s == "--speed") && fValue) {
            char* pEnd = nullptr;
            const float f = std::strtof(args[++i].c_str(), &pEnd);
            if (*pEnd || pEnd == args[i].c_str()) return UsageError("route", "bad number '" + args[i] + "'");
            if (s == "--course") a.fCourse = true, a.fCourseDeg = f;
            else a.fSpeed = true, a.fSpeedKmh = f;
        } else if (a.strMap.empty() && !s.empty() && s[0] != '-') {
            a.strMap = s;
        } else {
            return UsageError("route", "unknown argument '" + s + "'");
        }
    }
    if (a.strMap.empty()) return UsageError("route", "expected a map file");
    if (a.fCourse != a.fSpeed) return UsageError("route", "--course and --speed go together");
    if (a.strBatch.empty()) {
        if (!fFrom || !fTo) return UsageError("route", "expected --from and --to, or --batch");
        a.stops.push_back(from);
        a.stops.insert(a.stops.end(), vias.begin(), vias.end());
        a.stops.push_back(to);
    } else if (fFrom || fTo || !vias.empty()) {
        return UsageError("route", "--batch takes its ends from the file");
    }
    return c_nExitOk;
}

std::unique_ptr<CMapParser> OpenZem(const char* szCommand, const std::string& strPath, CZemParser*& pZem) {
    std::unique_ptr<CMapParser> p = OpenForTool(szCommand, strPath);
    pZem = dynamic_cast<CZemParser*>(p.get());
    if (p && !pZem) std::fprintf(stderr, "velkatool %s: '%s' is not a native map; only those carry a road graph\n",
                                 szCommand, strPath.c_str());
    return p;
}

} // namespace

double ToDegrees(LONG v) { return v * 180.0 / 1073741824.0; }

bool ParseLatLon(const std::string& s, CMapPoint& pt) {
    double lat = 0, lon = 0;
    char c = 0;
    if (std::sscanf(s.c_str(), "%lf,%lf%c", &lat, &lon, &c) != 2 || !(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180))
        return false;
    pt = {FromDegrees(lon), FromDegrees(lat)};
    return true;
}

int RunRoute(const Args& args) {
    // The search's debug lines go to stderr on request.
    if (std::getenv("VELKA_ROUTE_DEBUG")) CRoadGraph::SetDebug(true);
    RouteArgs a;
    if (const int n = ParseRouteArgs(args, a); n != c_nExitOk) return n;
    CZemParser* pZem = nullptr;
    std::unique_ptr<CMapParser> pMap = OpenZem("route", a.strMap, pZem);
    if (!pZem) return c_nExitFailed;
    if (a.strBatch.empty()) {
        bool fOk = false;
        const json j = RouteJson(*pZem, a, a.stops, fOk);
        std::printf("%s\n", j.dump().c_str());
        return fOk ? c_nExitOk : c_nExitFailed;
    }
    std::ifstream in(a.strBatch);
    if (!in) {
        std::fprintf(stderr, "velkatool route: cannot read '%s'\n", a.strBatch.c_str());
        return c_nExitFailed;
    }
    std::string line;
    std::size_t cLines = 0, cBad = 0, cFailed = 0;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        ++cLines;
        json out;
        try {
            const json q = json::parse(line);
            const std::vector<CMapPoint> stops = {
                {FromDegrees(q.at("from_lon").get<double>()), FromDegrees(q.at("from_lat").get<double>())},
                {FromDegrees(q.at("to_lon").get<double>()), FromDegrees(q.at("to_lat").get<double>())}};
            bool fOk = false;
            out = RouteJson(*pZem, a, stops, fOk);
            if (!fOk) ++cFailed;
        } catch (const json::exception& e) {
            ++cBad;
            out = {{"ok", false}, {"error", std::string("bad line: ") + e.what()}};
        }
        std::printf("%s\n", out.dump().c_str());
    }
    if (cBad) std::fprintf(stderr, "velkatool route: %zu of %zu lines could not be read\n", cBad, cLines);
    if (cFailed) std::fprintf(stderr, "velkatool route: no route for %zu of %zu pairs\n", cFailed, cLines);
    return cBad || cFailed ? c_nExitFailed : c_nExitOk;
}

int RunGraph(const Args& args) {
    if (args.size() != 1) return UsageError("graph", "expected one map file");
    CZemParser* pZem = nullptr;
    std::unique_ptr<CMapParser> pMap = OpenZem("graph", args[0], pZem);
    if (!pZem) return c_nExitFailed;
    if (pZem->NodeCount() == 0) {
        std::fprintf(stderr, "velkatool graph: '%s' carries no road graph\n", args[0].c_str());
        return c_nExitFailed;
    }
    CRoadGraph& graph = RoadGraphOf(*pZem);
    GraphError ge = GraphError::None;
    if (!graph.Build(RouteProgress{}, &ge)) {
        std::fprintf(stderr, "velkatool graph: the road graph could not be built\n");
        return c_nExitFailed;
    }
    // Components of the graph with the links taken both ways.
    const auto& links = graph.Links();
    std::vector<std::int32_t> parent(graph.NodeCount());
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](std::int32_t x) {
        while (parent[static_cast<std::size_t>(x)] != x)
            x = parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        return x;
    };
    std::vector<bool> used(graph.NodeCount(), false);
    for (const RoutingLink& l : links) {
        used[static_cast<std::size_t>(l.nFromNode)] = used[static_cast<std::size_t>(l.nToNode)] = true;
        parent[static_cast<std::size_t>(find(l.nFromNode))] = find(l.nToNode);
    }
    std::vector<std::size_t> size(graph.NodeCount(), 0);
    std::size_t cComponents = 0;
    for (std::size_t n = 0; n < used.size(); ++n) {
        if (!used[n]) continue;
        const auto r = static_cast<std::size_t>(find(static_cast<std::int32_t>(n)));
        if (size[r]++ == 0) ++cComponents;
    }
    const json j = {{"nodes", graph.NodeCount()},
                    {"links", links.size()},
                    {"one_way_links", graph.OneWayLinks()},
                    {"restrictions", graph.RestrictionsRead()},
                    {"restrictions_attached", graph.RestrictionsAttached()},
                    {"restrictions_skipped", graph.RestrictionsSkipped()},
                    {"components", cComponents}};
    std::printf("%s\n", j.dump().c_str());
    return c_nExitOk;
}

} // namespace velka::tool
