#include "tests/waypoints/oracle.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "platform/clock.h"
#include "platform/text.h"

namespace velka::test {
namespace {

OraclePoint ReadPoint(const pugi::xml_node& n) {
    OraclePoint p;
    p.dLat = n.attribute("lat").as_double();
    p.dLon = n.attribute("lon").as_double();
    p.strName = n.child_value("name");
    p.strCmt = n.child_value("cmt");
    if (n.child("ele")) p.ele = n.child("ele").text().as_double();
    if (n.child("time")) p.time = ParseIsoTime(n.child_value("time"));
    return p;
}

} // namespace

std::optional<long long> ParseIsoTime(const std::string& s) {
    int y, mo, d, h, mi;
    double sec;
    if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &sec) != 6) return {};
    return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400LL +
           h * 3600LL + mi * 60LL + static_cast<long long>(std::llround(sec));
}

Oracle LoadOracle(const std::string& strPath) {
    Oracle o;
    pugi::xml_document doc;
    if (!doc.load_file(strPath.c_str())) {
        ADD_FAILURE() << "cannot read oracle " << strPath;
        return o;
    }
    pugi::xml_node gpx = doc.child("gpx");
    for (pugi::xml_node n : gpx.children("wpt")) o.waypoints.push_back(ReadPoint(n));
    for (pugi::xml_node r : gpx.children("rte")) {
        OracleRoute route;
        route.strName = r.child_value("name");
        for (pugi::xml_node n : r.children("rtept")) route.points.push_back(ReadPoint(n));
        o.routes.push_back(std::move(route));
    }
    for (pugi::xml_node t : gpx.children("trk")) {
        OracleTrack track;
        track.strName = t.child_value("name");
        for (pugi::xml_node seg : t.children("trkseg"))
            for (pugi::xml_node n : seg.children("trkpt")) track.points.push_back(ReadPoint(n));
        o.tracks.push_back(std::move(track));
    }
    return o;
}

bool HaveGpsBabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

Oracle ReadWithGpsBabel(const char* szFormat, const std::string& strIn, const std::string& strGpx) {
    const std::string cmd = std::string("gpsbabel -i ") + szFormat + " -f '" + strIn + "' -o gpx -F '" +
                            strGpx + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return LoadOracle(strGpx);
}

double SemiToDeg(LONG l) { return l * (180.0 / 2147483648.0); }

std::vector<const Waypoint*> LiveWaypoints(const CWaypointStore& store) {
    std::vector<const Waypoint*> v;
    for (const auto& p : store.Waypoints())
        if (!p->IsDeleted()) v.push_back(p.get());
    return v;
}

std::vector<const Route*> LiveRoutes(const CWaypointStore& store) {
    std::vector<const Route*> v;
    for (const auto& p : store.Routes())
        if (!p->IsDeleted()) v.push_back(p.get());
    return v;
}

void ExpectWaypointsMatch(const std::vector<const Waypoint*>& ours,
                          const std::vector<OraclePoint>& oracle, bool fTimes) {
    ASSERT_EQ(ours.size(), oracle.size());
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const Waypoint& w = *ours[i];
        const OraclePoint& o = oracle[i];
        SCOPED_TRACE("waypoint " + std::to_string(i) + " " + o.strName);
        EXPECT_EQ(ToUtf8(w.strName), o.strName);
        EXPECT_NEAR(SemiToDeg(w.lY), o.dLat, 1e-6);
        EXPECT_NEAR(SemiToDeg(w.lX), o.dLon, 1e-6);
        EXPECT_EQ(w.HasAltitude(), o.ele.has_value());
        if (w.HasAltitude() && o.ele) { EXPECT_NEAR(w.fAltitude, *o.ele, 0.01); }
        if (fTimes) {
            EXPECT_EQ(w.dTime != 0, o.time.has_value());
            if (w.dTime != 0 && o.time) { EXPECT_EQ(OleToUnixSeconds(w.dTime), *o.time); }
        }
        if (!w.strComment.empty()) { EXPECT_EQ(ToUtf8(w.strComment), o.strCmt); }
    }
}

void ExpectStepFix(const GpsFix& fix, double dLat, double dStep, double dSeconds, double dVertSpeed) {
    const double dx = dStep / 360 * 4e7 * std::cos(dLat * M_PI / 180), dy = dStep / 360 * 4e7;
    ASSERT_TRUE(fix.Has(gfSpeed | gfCourse | gfVertSpeed));
    EXPECT_NEAR(fix.fSpeed, std::sqrt(dx * dx + dy * dy) * 3.6 / dSeconds, 0.01);
    EXPECT_NEAR(fix.fCourse, 90 - std::atan2(dy, dx) * 180 / M_PI, 0.01);
    EXPECT_NEAR(fix.fVertSpeed, dVertSpeed, 1e-6);
}

void ExpectTracksMatch(const std::vector<Track>& ours, const std::vector<OracleTrack>& oracle) {
    ASSERT_EQ(ours.size(), oracle.size());
    for (std::size_t t = 0; t < ours.size(); ++t) {
        EXPECT_EQ(ToUtf8(ours[t].strName), oracle[t].strName);
        ASSERT_EQ(ours[t].points.size(), oracle[t].points.size());
        for (std::size_t i = 0; i < ours[t].points.size(); ++i) {
            const TrackPoint& p = ours[t].points[i];
            const OraclePoint& o = oracle[t].points[i];
            EXPECT_NEAR(SemiToDeg(p.lLat), o.dLat, 1e-6);
            EXPECT_NEAR(SemiToDeg(p.lLon), o.dLon, 1e-6);
            EXPECT_EQ(p.fAltitude, o.ele.has_value());
            if (p.fAltitude && o.ele) { EXPECT_NEAR(p.dAltitude, *o.ele, 0.01); }
            EXPECT_EQ(p.fTime, o.time.has_value());
            if (p.fTime && o.time) { EXPECT_EQ(p.dwTime, *o.time); }
        }
    }
}

} // namespace velka::test
