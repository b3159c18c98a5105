// Reading GPSBabel's GPX output as an oracle, and comparing what an import
// put into the store with it.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "waypoints/exchange.h"

namespace velka::test {

struct OraclePoint {
    std::string strName;
    double dLat = 0;
    double dLon = 0;
    std::optional<double> ele;
    std::optional<long long> time; // seconds since 1970
    std::string strCmt;
};

struct OracleRoute {
    std::string strName;
    std::vector<OraclePoint> points;
};

struct OracleTrack {
    std::string strName;
    std::vector<OraclePoint> points;
};

struct Oracle {
    std::vector<OraclePoint> waypoints;
    std::vector<OracleRoute> routes;
    std::vector<OracleTrack> tracks;
};

Oracle LoadOracle(const std::string& strPath);
bool HaveGpsBabel();
// Converts with GPSBabel into GPX and reads that as an oracle; a failing
// conversion is a test failure.
Oracle ReadWithGpsBabel(const char* szFormat, const std::string& strIn, const std::string& strGpx);
// Seconds since 1970 of an ISO 8601 UTC time ("2005-04-26T14:27:21Z").
std::optional<long long> ParseIsoTime(const std::string& s);

double SemiToDeg(LONG l);
// Live waypoints in list order, live routes in list order.
std::vector<const Waypoint*> LiveWaypoints(const CWaypointStore& store);
std::vector<const Route*> LiveRoutes(const CWaypointStore& store);

// Route points for building test routes.
inline RoutePoint RefPoint(Waypoint* pWaypoint) {
    RoutePoint pt;
    pt.pWaypoint = pWaypoint;
    return pt;
}
inline RoutePoint PlainPoint(LONG lX, LONG lY, BYTE btKind = rkVia, DWORD dwValue = 0,
                             std::u16string strName = {}, BYTE btExtra = 0) {
    RoutePoint pt;
    pt.lX = lX;
    pt.lY = lY;
    pt.btKind = btKind;
    pt.dwValue = dwValue;
    pt.strName = std::move(strName);
    pt.btExtra = btExtra;
    return pt;
}

// Compares waypoints one by one: names, coordinates to 1e-6 degree,
// altitude, time (seconds), and records every difference as a failure.
void ExpectWaypointsMatch(const std::vector<const Waypoint*>& ours,
                          const std::vector<OraclePoint>& oracle, bool fTimes = true);

// A replayed fix after a step of dStep degrees north and east to dLat,
// dSeconds after the previous one and dVertSpeed m/s upwards: the speed,
// course and vertical speed the track reader derives.
void ExpectStepFix(const GpsFix& fix, double dLat, double dStep, double dSeconds, double dVertSpeed);

// Compares tracks one by one: names, point counts, coordinates to 1e-6
// degree, altitudes and times.
void ExpectTracksMatch(const std::vector<Track>& ours, const std::vector<OracleTrack>& oracle);

} // namespace velka::test
