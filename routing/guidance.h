// Guidance along the active route: one step per position fix finds the next
// route point, tells on-route from off-route (re-routing when allowed),
// works out the next manoeuvre and the distances, and schedules the spoken
// manoeuvre prompts. A step depends only on the route, the fix and the
// time, so drives can be replayed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "routing/navigation_values.h"
#include "routing/prompts.h"
#include "waypoints/waypoint_store.h"

namespace velka {

struct NavigationState {
    std::uint32_t dwDistNextWaypoint = 0; // m, to the next significant point
    std::uint32_t dwDistFinal = 0;        // m, to the last point
    std::uint32_t dwDistNextPoint = 0;    // m, straight to the next point
    std::uint32_t dwDistManoeuvre = 0;    // m, along the route to the manoeuvre
    int nState = nsIdle;
    int nManoeuvreKind = mkNone;
    int nRoundaboutExit = 0;
    std::uint32_t iNextPoint = 0;
    std::uint32_t iNextWaypoint = 0;
    std::uint32_t iManoeuvrePoint = 0;
    std::uint32_t iAnnouncedUpTo = 0;
    int nManoeuvreAngle = 0;
    std::uint8_t btRoadType = 0;
};

// The manoeuvre kind of route point i of a route (0 for points not made by
// routing or without the manoeuvre flag).
int ManoeuvreKindOf(const RoutePoint& p);
// The prompt code of a manoeuvre kind (-1 for none).
int PromptCodeOfKind(int nKind);
// "%d LEFT" and the like, for the manoeuvre gauge.
std::string ManoeuvreKindText(int nKind, int nAngle, int nExit);

// The settings guidance reads on every step.
struct GuidanceSettings {
    int nOffRoute = 1; // RoutingOffRoute
    int nAMN = 2;      // RoutingAMN, 0..4
    int nStyle = 0;    // RoutingStyle
    static GuidanceSettings Read();
};

// Lead distances (metres) of the prompts at v km/h.
int FarLead(float fSpeed, int nAMN);
int NearLead(float fSpeed, int nAMN);

class CGuidance {
public:
    // What guidance asks of its surroundings.
    struct Host {
        // Speaks a manoeuvre prompt (the player's queue merges it) for
        // route point iPoint, dDistance metres ahead along the route.
        std::function<void(std::unique_ptr<CManoeuvrePrompt>, std::size_t iPoint, double dDistance)> fnSpeak;
        // Route events: RouteOut, RouteCalculated, RouteEnd.
        std::function<void(int nValue)> fnRouteEvent;
        // Drops queued manoeuvre prompts and the manoeuvre sound being said.
        std::function<void()> fnSilenceManoeuvres;
        // Re-routes from the position (semicircles) to via point iVia.
        std::function<bool(std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext)> fnReroute;
        // Navigation has reached the end: stop it.
        std::function<void()> fnStopNavigation;
        // Playing time of a sound (ms): prompts are timed by their length.
        std::function<std::uint32_t(const std::string& strName)> fnSoundMs;
        // The setting Navigation (read in the finished state).
        std::function<bool()> fnNavigationOn;
    };

    explicit CGuidance(Host host) : m_host(std::move(host)) {}

    // Follows pRoute (null: idle) from a fresh state.
    void Reset(const Route* pRoute);
    const Route* ActiveRoute() const { return m_pRoute; }
    // One step for a fix; a step called while one runs returns at once.
    void Step(const GpsFix& fix);
    // Drops the prompts waiting to be spoken.
    void DropPending();

    const NavigationState& State() const { return m_state; }
    // The bearing-line target: the next point on route, else the first point
    // from the next one on that refers to a waypoint (else the next point).
    std::size_t TargetIndex() const;
    // The values the gauges show, for a fix.
    NavigationValues Values(const GpsFix& fix) const;

    GuidanceSettings m_settings = {};
    // Extra time (s) a driver needs after a prompt ends before the turn.
    static constexpr double c_dReactionS = 2.0;

private:
    void FollowRoute(const GpsFix& fix, bool& fRunAgain);
    void SchedulePrompts(const GpsFix& fix);
    bool IsAhead(std::size_t i, float lon, float lat) const;
    double Ahead(std::size_t j) const;
    // Route length from point iFrom to point iTo (clamped to the last), from
    // the cumulative leg lengths; those are summed again only when the
    // route's points were replaced or their count changed.
    double Legs(std::size_t iFrom, std::size_t iTo) const;
    void RefreshLegs();
    std::uint32_t PromptMs(int nKind, int nExit, bool fPreparatory) const;
    void Speak(int nKind, int nExit, bool fPreparatory, std::size_t iPoint);

    Host m_host;
    const Route* m_pRoute = nullptr;
    NavigationState m_state;
    std::unique_ptr<CManoeuvrePrompt> m_pPending; // waiting to be spoken
    std::size_t m_iPending = 0;                   // route point of its first prompt
    std::vector<double> m_cumulative; // metres from point 0 to point i
    const RoutePoint* m_pLegsOf = nullptr; // the point array they were summed for
    bool m_fInStep = false;
    int m_nNearLead = 0;
    int m_nFarLead = 0;
};

} // namespace velka
