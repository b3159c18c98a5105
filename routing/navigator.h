// Navigation on the active route: start, stop and "GoTo", the guidance
// step for each fix, the prompts it raises, and the values the gauges read.
// One navigator serves the program; the command line builds its own.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "geometry/map_types.h"
#include "gps/gps_fix.h"
#include "routing/guidance.h"
#include "routing/navigation_values.h"
#include "routing/prompt_player.h"
#include "routing/route_planner.h"
#include "waypoints/waypoint_store.h"

namespace velka {

class CNavigator : public INavigationSource {
public:
    // The store holds the routes; the player (may be null) speaks; the
    // search finds road legs.
    CNavigator(CWaypointStore& store, CPromptPlayer* pPlayer, LegSearch search, RoutingProgressUi ui = {});

    // Stops any navigation and follows pRoute: makes it active, saves the
    // store, and with road routing leads in from the fix's position (or
    // ptCentre, semicircles, without one); then one guidance step.
    void Start(Route* pRoute, const GpsFix& fix, CMapPoint ptCentreSemicircles);
    // Navigates straight to one point (a temporary route "GoTo").
    void GoTo(std::int32_t lX, std::int32_t lY, const std::u16string& strName, const GpsFix& fix,
              CMapPoint ptCentreSemicircles);
    // Clears the active route (deleting it when temporary), saves, silences
    // the manoeuvre prompts.
    void Stop();
    bool IsNavigating() const { return m_guidance.ActiveRoute() != nullptr; }

    // The guidance step for a new fix; then the values are refreshed.
    void Step(const GpsFix& fix);
    // Reactivates the route the store marked active (start-up).
    void Resume();

    const NavigationValues& NavValues() const override { return m_values; }
    CGuidance& Guidance() { return m_guidance; }
    CRoutePlanner& Planner() { return m_planner; }
    Route* ActiveRoute() const { return m_store.ActiveRoute(); }

    // Plans a route with the current settings (the route commands).
    bool PlanRoute(Route& route);

    // Told after each step (redraw), when navigation starts or stops (the
    // route page), and for each route event (the log of the command line).
    std::function<void()> m_fnStepped;
    std::function<void(bool fStarted)> m_fnStartedStopped;
    std::function<void(int nEvent)> m_fnRouteEvent;
    // Saving the store (defaults to the store's own Save).
    std::function<void()> m_fnSave;

private:
    void RaiseRouteEvent(int nValue);

    CWaypointStore& m_store;
    CPromptPlayer* m_pPlayer;
    CRoutePlanner m_planner;
    CGuidance m_guidance;
    NavigationValues m_values;
};

// The program's navigator, once the application has made it; null before.
CNavigator* TheNavigator();
void SetTheNavigator(CNavigator* p);

// After a route is read from the store: angles recomputed, and the keep side
// of keep points (not stored) derived from the angle's sign.
void RestoreLoadedRoute(Route& route);

} // namespace velka
