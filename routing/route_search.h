// Route search over the road graph of a native map: the request (ends,
// vehicle and options, the fix's course and speed, progress), the points of
// the route found with their manoeuvres, and the errors a search returns.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"
#include "routing/road_graph.h"

namespace velka {

enum RouteVehicle : int {
    rvPedestrian = 0, rvBicycle, rvCar, rvTaxi, rvBus, rvEmergency, rvDelivery, rvTruck,
    c_cRouteVehicles
};

// Kind flags of a route point.
constexpr BYTE c_btPointManoeuvre = 0x01;
constexpr BYTE c_btPointRoundabout = 0x02;    // roundabout link; with 0x01 the entry
constexpr BYTE c_btPointRoundaboutExit = 0x04; // never set by the search
constexpr BYTE c_btPointRamp = 0x08;
constexpr BYTE c_btPointVia = 0x20;
constexpr BYTE c_btPointKeep = 0x40;
constexpr BYTE c_btPointRouting = 0x80;

struct RouteOptions {
    int nVehicle = rvCar;
    bool fFastest = true;
    bool fAvoidTolls = false;
    bool fAvoidUTurns = false;
    bool fAvoidHighways = false;
    bool fAvoidUnpaved = false;
};

// One point of a found route, in travel order.
struct RouteSearchPoint {
    CMapPoint pt;            // map units
    std::u16string strName;  // road name
    BYTE btKind = c_btPointRouting;
    BYTE btSpeed = 5;        // km/h of the link's speed class
    BYTE btClass = 0;        // road class
    std::int32_t cLink = -1; // graph link the point came from
    float fLength = 0;       // manoeuvre points: the link's length, map units
    int nAngle = 0;          // manoeuvre points: degrees, positive to the right
    BYTE btExtra = 0;        // keep side, or the exit count of a roundabout entry
};

// Why a search failed.
enum class RouteError {
    None,
    NoRoutingData,   // the map has no road graph
    TooClose,        // start and end under 20 m apart
    GraphBuild,      // the graph could not be built
    NoRoadNearStart, // no road within 1000 m
    NoRoadNearEnd,
    EndsNearerThanRoad, // the ends are nearer to each other than to a road
    NoPath,
    OutOfMemory,
    Cancelled,
};
const char* RouteErrorText(RouteError e);

// How the cheapest path is found: all three give the same cost.
enum class SearchMethod {
    Dijkstra,     // every transition made before the search, search fields reset
    DijkstraLazy, // transitions made as links are settled, fields stamped per search
    AStar,        // lazy, guided by a bound no path can beat
};

// Times of one search in milliseconds.
struct RouteTimes {
    double dGraph = 0;       // building the graph (0 when built before)
    double dFindEnds = 0;    // "find source and dest"
    double dTransitions = 0; // the transition graph (Dijkstra)
    double dSearch = 0;
    double dBuild = 0;       // walking back, turn analysis
    double dTotal = 0;
};

struct CRouteRequest {
    CMapPoint ptStart; // map units
    CMapPoint ptEnd;
    RouteOptions options;
    // The current fix: the start link follows its course when the speed is
    // at least 5 km/h.
    bool fCourse = false;
    float fCourseDeg = 0;
    float fSpeedKmh = 0;
    RouteProgress progress;
    SearchMethod method = SearchMethod::AStar;

    // Results.
    std::vector<RouteSearchPoint> points; // appended on success
    RouteError error = RouteError::None;
    double dLengthM = 0;  // along the route
    double dTimeS = 0;    // at the roads' speeds
    double dCost = 0;     // the search's cost of the path
    double dCostShortest = 0; // the path's cost in each mode
    double dCostFastest = 0;
    std::size_t cSettled = 0; // links taken off the heap
    RouteTimes times;
};

// The road graph kept with an open native map, built on first use.
CRoadGraph& RoadGraphOf(CZemParser& map);

// Finds the route; false with request.error set on failure.
bool FindRoute(CZemParser& map, CRouteRequest& request);
bool FindRoute(CRoadGraph& graph, CRouteRequest& request);

// Makes the native map's route slot search with FindRoute.
void InstallRouteSearch();

} // namespace velka
