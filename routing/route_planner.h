// Automatic routing of a route: planning through its via points, the
// lead-in from the current position and the re-route after leaving it. The
// road search itself is handed in, so the planner works on any map that
// routes and can be tested without one.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/map_types.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// The routing settings, read before every search.
struct RoutingSettings {
    int nVehicle = 2;          // RoutingVehicle
    int nStyle = 0;            // RoutingStyle: 1 straight lines, no roads
    int nOptimization = 0;     // RoutingOptimization: 0 fastest
    bool fAvoidUTurns = true;  // RoutingAvoidUTurns
    bool fAvoidTolls = false;  // RoutingAvoidTollRoads
    bool fAvoidHighways = false; // RoutingAvoidHighways
    bool fAvoidUnpaved = true; // RoutingAvoidUnpavedRoads
    static RoutingSettings Read();
};

// One leg to search: ends in map units, whether U-turns may be made (the
// re-route allows them whatever the setting), the progress range.
struct LegRequest {
    CMapPoint ptFrom;
    CMapPoint ptTo;
    bool fAllowUTurns = false;
    int nProgressStart = 0;
    int nProgressEnd = 100;
    const std::atomic<bool>* pCancel = nullptr;
    RoutingSettings settings;
};

// The search: true with the route's points (positions in semicircles)
// appended to points; false when no route was found or it was cancelled.
using LegSearch = std::function<bool(const LegRequest& leg, std::vector<RoutePoint>& points)>;

// What the planner shows while it searches: text 2044 in a progress window
// with a cancel button. Begin gives the cancel flag to poll (may be null).
struct RoutingProgressUi {
    std::function<const std::atomic<bool>*()> fnBegin;
    std::function<void(int nPercent)> fnStep;
    std::function<void()> fnEnd;
};

class CRoutePlanner {
public:
    CRoutePlanner(LegSearch search, RoutingProgressUi ui = {}) : m_search(std::move(search)), m_ui(std::move(ui)) {}

    // Plans the whole route through its via points. False when cancelled
    // (the old points stay); a failed leg becomes a straight leg.
    bool Plan(Route& route);
    // Routes from the position (semicircles) to the first via point and puts
    // that in front of it. False (route unchanged) on failure.
    bool LeadIn(Route& route, std::int32_t lX, std::int32_t lY);
    // After leaving the route: the points before iNext, the position, the
    // search's points to via point iVia, then the points from iVia on.
    bool Reroute(Route& route, std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext);

    // Milliseconds of the last planning operation (the routingtime gauge).
    std::uint32_t LastRoutingMs() const { return m_msLast; }

    RoutingSettings m_settings = {};

private:
    bool Search(CMapPoint from, CMapPoint to, bool fAllowUTurns, int nStart, int nEnd,
                std::vector<RoutePoint>& points);
    static RoutePoint PositionPoint(std::int32_t lX, std::int32_t lY);

    LegSearch m_search;
    RoutingProgressUi m_ui;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::uint32_t m_msLast = 0;
};

// The routing time statistic of the last planning, re-route or lead-in.
std::uint32_t LastRoutingTimeMs();

} // namespace velka
