// What the navigation gauges and the map read from guidance: one snapshot of
// the values behind them, taken on the user-interface thread after each
// guidance step. The gauges never reach into guidance itself.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace velka {

// Manoeuvre kinds of a route point, as guidance classifies them.
enum ManoeuvreKind : int {
    mkNone = 0,
    mkKeepLeft = 1,
    mkKeepRight = 2,
    mkLeft = 3,
    mkRight = 4,
    mkSharpLeft = 5,
    mkSharpRight = 6,
    mkToRoundabout = 7,
    mkFromRoundabout = 8,
    mkUTurnRight = 9,
    mkUTurnLeft = 10,
};

// Guidance states.
enum NavigationStatus : int { nsIdle = 0, nsOnRoute = 1, nsOffRoute = 2, nsFinished = 3 };

// A position in degrees (longitude east, latitude north positive).
struct NavPosition {
    double dLon = 0;
    double dLat = 0;
};

struct NavigationValues {
    // False while no navigation runs: every gauge shows "not navigating"
    // and the fields below mean nothing.
    bool fNavigating = false;
    int nStatus = nsIdle;              // NavigationStatus

    // Indices into the active route's points.
    std::uint32_t iNextPoint = 0;      // next route point to reach
    std::uint32_t iNextWaypoint = 0;   // next significant point
    std::uint32_t iManoeuvrePoint = 0; // next point with a manoeuvre
    std::uint32_t cPoints = 0;         // points of the active route

    // Metres.
    std::uint32_t dwDistNextPoint = 0;    // straight, to the next route point
    std::uint32_t dwDistNextWaypoint = 0; // along the route, next significant point
    std::uint32_t dwDistManoeuvre = 0;    // along the route, the manoeuvre point
    std::uint32_t dwDistFinal = 0;        // along the route, the last point

    // The manoeuvre picture: kind, turn angle (degrees, positive to the right)
    // and the roundabout exit count.
    int nManoeuvreKind = mkNone;       // ManoeuvreKind
    int nManoeuvreAngle = 0;
    int nRoundaboutExit = 0;
    std::uint8_t btRoadType = 0;

    // Targets: the bearing-line target (next point on route, else the next
    // point that refers to a waypoint), the next waypoint and the final point,
    // with their names (UTF-16; empty when none).
    NavPosition target;
    NavPosition nextWaypoint;
    NavPosition finalPoint;
    std::u16string strNextWaypointName;
    std::u16string strFinalName;

    // Derived from the fix; absent when the fix lacks position, course or
    // speed, or the speed is below 2 km/h (the divisor rule of the design).
    std::optional<float> bearing;       // degrees 0..360 to the target
    std::optional<float> bearingFinal;  // degrees to the final point
    std::optional<float> vmg;           // km/h, speed toward the target
    // The pointer: direction of the target relative to the course of
    // movement, degrees -180..180, positive to the right (needs a course).
    std::optional<float> pointer;
    std::optional<double> eteNext;      // days, to the next waypoint
    std::optional<double> eteFinal;     // days, to the final point
    std::optional<double> etaNext;      // OLE date UTC = fix time + ETE
    std::optional<double> etaFinal;
};

// The source the gauges read; the application hands the guidance object to
// the gauge catalogue as this interface.
class INavigationSource {
public:
    virtual ~INavigationSource() = default;
    // The latest snapshot (fNavigating false when none runs).
    virtual const NavigationValues& NavValues() const = 0;
};

} // namespace velka
