// Where the gauges read values owned by subsystems above them (the map page,
// guidance, start-up) or by the platform. Every hook is empty until the
// program wires it; an empty hook means "no value" and the gauge shows "-".
#pragma once
#include <functional>
#include <string>

#include "platform/canvas.h"
#include "platform/win_types.h"
#include "routing/navigation_values.h"

namespace velka {

// Statistics of the last map frame and of the open map.
struct CMapStatistics {
    DWORD msOpen = 0, msMap = 0, msTrack = 0, msWaypoints = 0, msRoutes = 0;
    unsigned cObjects = 0, cFrames = 0;
    bool fMap = false;          // a map is open
    std::u16string strMapFile;  // file name of the shown map
    int nLevel = 0;             // shown detail level
};

struct CGaugeSources {
    // Guidance; null (or not navigating) shows "-" in every navigation gauge.
    const INavigationSource* pNavigation = nullptr;
    std::function<CMapStatistics()> fnMapStatistics;
    std::function<void()> fnResetMapRenderings;
    std::function<int()> fnMapsInCache;
    std::function<DWORD()> fnStartupDuration;
    std::function<DWORD()> fnRoutingTime;
};
CGaugeSources& GaugeSources();

// Navigation values now; null while not navigating.
const NavigationValues* CurrentNavigationValues();

} // namespace velka
