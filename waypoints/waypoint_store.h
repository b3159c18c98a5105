// The waypoint and route store: the user's waypoints and routes in two
// lists (new entries first), their naming and deletion rules, and the route
// store file "Waypoints.bin" that keeps both between runs.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"
#include "shell/error.h"

namespace velka {

enum WaypointFlag : DWORD {
    wfDeleted = 0x1,
    wfNoAltitude = 0x2,
    wfProximity = 0x8,
    wfTemperature = 0x10,
    wfRouteOwned = 0x20, // deleted together with the route that refers to it
};

enum WaypointShow : BYTE { wsIcon = 0, wsIconAndName = 1, wsIconAndDesc = 2 };

constexpr int c_cWaypointCount = 221;  // icon types 0..220
constexpr WORD c_wDefaultWaypointType = 18;

struct Waypoint {
    DWORD dwFlags = 0;
    LONG lX = 0;        // longitude, semicircles (map units x 2)
    LONG lY = 0;        // latitude, semicircles
    double dTime = 0;   // OLE date, 0 = none
    float fAltitude = 0;
    float fDepth = 0;
    WORD wType = c_wDefaultWaypointType; // 14 bits
    BYTE btShow = wsIconAndName;         // below 4
    BYTE btReserved = 0;
    BYTE cRefs = 0;     // route points referring to it
    float fProximity = 0;
    float fTemperature = 0;
    std::u16string strName;
    std::u16string strComment;
    std::u16string strText3;
    std::u16string strText4;

    bool IsDeleted() const { return (dwFlags & wfDeleted) != 0; }
    bool HasAltitude() const { return (dwFlags & wfNoAltitude) == 0; }
};

enum RouteFlag : DWORD { rfDeleted = 0x1, rfActive = 0x4, rfTemporary = 0x8 };

enum RoutePointKind : BYTE {
    rkManoeuvre = 0x01,
    rkRoundaboutEntry = 0x02,
    rkRoundaboutExit = 0x04,
    rkRamp = 0x08,
    rkVia = 0x20,
    rkKeep = 0x40,
    rkRouting = 0x80,
};

struct RoutePoint {
    Waypoint* pWaypoint = nullptr;
    LONG lX = 0; // semicircles
    LONG lY = 0;
    BYTE btStorage = 0;
    BYTE btKind = rkVia;
    BYTE btSpeed = 0;
    BYTE btRoadClass = 0;
    std::u16string strName;
    DWORD dwValue = 0;
    LONG lLink = -1;
    BYTE btExtra = 0;
    float fLength = 0;
    LONG lAngle = 0;

    // Position: the waypoint's while it refers to one.
    LONG X() const { return pWaypoint ? pWaypoint->lX : lX; }
    LONG Y() const { return pWaypoint ? pWaypoint->lY : lY; }
};

constexpr DWORD c_dwDefaultRouteColor = 0xE8 | (0xE8 << 16); // red E8, green 0, blue E8

struct Route {
    DWORD dwFlags = 0;
    double dTime = 0;
    DWORD dwColor = c_dwDefaultRouteColor; // red, green, blue bytes
    std::u16string strName;
    std::u16string strText2;
    std::u16string strText3;
    std::vector<RoutePoint> points;

    bool IsDeleted() const { return (dwFlags & rfDeleted) != 0; }
    // Bounding rectangle of the points in semicircles (left, top = min).
    CMapRect Bounds() const;
};

class CWaypointStore {
public:
    using WaypointList = std::deque<std::unique_ptr<Waypoint>>;
    using RouteList = std::deque<std::unique_ptr<Route>>;

    // Lists in program order (newest first).
    const WaypointList& Waypoints() const { return m_waypoints; }
    const RouteList& Routes() const { return m_routes; }
    std::size_t LiveWaypointCount() const;
    std::size_t LiveRouteCount() const;

    // Creates a waypoint first in the list: flags 0 (plus the no-altitude bit
    // without altitude), show mode 1, icon 18, the name given or the first
    // free "%03d". Does not save.
    Waypoint* CreateWaypoint(LONG lX, LONG lY, double dTime, std::optional<float> altitude,
                             const std::u16string* pName);
    // Adds a ready waypoint first in the list (importers).
    Waypoint* AddWaypoint(std::unique_ptr<Waypoint> pWaypoint);
    // Appends waypoints in the given order so that the first of them ends up
    // first in the list (an import keeps the file's order on top).
    void AddWaypointsInOrder(std::vector<std::unique_ptr<Waypoint>> waypoints);
    // Route points of live routes that refer to it take its coordinates and
    // drop the reference; the waypoint is marked deleted. Does not save.
    void DeleteWaypoint(Waypoint* pWaypoint);
    void DeleteAllWaypoints();
    // The nearest live waypoint within r metres of a map point, or null.
    Waypoint* WaypointNear(CMapPoint pt, double dRadius) const;
    std::u16string FreeWaypointName() const;

    // Creates a route first in the list; no name → first free "%03d"; time 0 →
    // the current time.
    Route* CreateRoute(const std::u16string* pName, double dTime);
    Route* AddRoute(std::unique_ptr<Route> pRoute);
    void AddRoutesInOrder(std::vector<std::unique_ptr<Route>> routes);
    // Copy of a route, named "%s (%d)" with the first free number from 1.
    Route* CopyRoute(const Route& route);
    // Refused for the active route (ActiveRouteNotDeleted, message 2181, for
    // the caller to show). Otherwise drops the references of its points,
    // deleting route-owned waypoints, and marks it deleted. Does not save.
    [[nodiscard]] CError DeleteRoute(Route* pRoute);
    // Every route but the active one; the refusal as DeleteRoute.
    [[nodiscard]] CError DeleteAllRoutes();
    std::u16string FreeRouteName() const;
    // Appends a point to a route; with a waypoint it counts the reference.
    void AppendPoint(Route& route, RoutePoint point);

    Route* ActiveRoute() const { return m_pActiveRoute; }
    void SetActiveRoute(Route* pRoute);

    void Clear();

    // The route store file. Serialize writes live entries; Parse replaces the
    // lists (false when the magic is neither "RW" nor "WR").
    std::vector<BYTE> Serialize() const;
    bool Parse(std::span<const BYTE> data);

    // The file's path: Waypoints.bin in the tracks folder.
    static std::string DefaultPath();
    // Reads the file at start-up. A missing file gives empty lists. A file
    // that cannot be opened gives CannotOpenFile with the empty lists; a
    // damaged one gives WaypointsFileDamaged (message 2130), keeps what
    // could be read and is kept aside as "Waypoints.bin.damaged". The
    // caller tells the user.
    [[nodiscard]] CError Load(const std::string& strPath);
    // Writes the file atomically; a failure gives the error naming the
    // folder or the file (memory is unchanged).
    [[nodiscard]] CError Save(const std::string& strPath) const;
    // Save to the path given to Load (or the default path).
    [[nodiscard]] CError Save() const;

private:
    WaypointList m_waypoints;
    RouteList m_routes;
    Route* m_pActiveRoute = nullptr;
    std::string m_strPath;
};

// Runs for every route a store reads from its file (routing derives the
// angles and what the file does not keep); none by default.
void SetRouteLoadedHook(std::function<void(Route&)> fn);

// Display name of icon type t (string 2500 + t).
std::u16string WaypointTypeName(WORD wType);

} // namespace velka
