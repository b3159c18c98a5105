// Where the gauges read values owned by subsystems above them (the map page,
// guidance, start-up) or by the platform. Every hook is empty until the
// program wires it; an empty hook means "no value" and the gauge shows "-".
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

// Navigation along the active route; every value is empty while not
// navigating.
struct CNavigationValues {
    std::optional<float> fBearing;           // degrees to the next route point
    std::optional<std::u16string> strNext;   // name of the next route point
    std::optional<std::u16string> strFinal;  // name of the final route point
    std::optional<float> fDistanceNext;      // metres
    std::optional<float> fDistanceFinal;     // metres
    std::optional<double> dEteNext;          // days en route
    std::optional<double> dEteFinal;
    std::optional<double> dEtaNext;          // UTC OLE date of arrival
    std::optional<double> dEtaFinal;
    std::optional<float> fVmg;               // km/h of approach
    std::optional<std::u16string> strManeuver; // the next manoeuvre in words
    std::optional<float> fManeuverDistance;  // metres to it
    std::optional<float> fPointerAngle;      // degrees to the nearest route point, relative to the course
    std::optional<float> fPointerDistance;   // metres to it
    std::optional<std::u16string> strRoute;  // diagnostic list of the manoeuvres
};

// Statistics of the last map frame and of the open map.
struct CMapStatistics {
    DWORD msOpen = 0, msMap = 0, msTrack = 0, msWaypoints = 0, msRoutes = 0;
    unsigned cObjects = 0, cFrames = 0;
    bool fMap = false;          // a map is open
    std::u16string strMapFile;  // file name of the shown map
    int nLevel = 0;             // shown detail level
};

struct CGaugeSources {
    std::function<CNavigationValues()> fnNavigation;
    // Draws the manoeuvre picture in a cell; false to leave the text.
    std::function<bool(ICanvas&, bool fSmall, int x, int y)> fnDrawManeuver;
    std::function<CMapStatistics()> fnMapStatistics;
    std::function<void()> fnResetMapRenderings;
    std::function<int()> fnMapsInCache;
    std::function<DWORD()> fnStartupDuration;
    std::function<DWORD()> fnRoutingTime;
};
CGaugeSources& GaugeSources();

// Navigation values now: "not navigating" without a source.
CNavigationValues CurrentNavigationValues();

} // namespace velka
