#include <gtest/gtest.h>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"

namespace velka {
namespace {

using test::CorpusPath;

struct Imported {
    CWaypointStore store;
    std::vector<Track> tracks;
    bool fOk = false;
};

std::unique_ptr<Imported> ImportFile(const std::filesystem::path& path, ImportFn pfn,
                                     NewerVersionPolicy newer = nvAccept) {
    auto p = std::make_unique<Imported>();
    CMappedFile file;
    EXPECT_TRUE(file.Open(path.string())) << path;
    ImportTarget target(p->store);
    target.m_pTracks = &p->tracks;
    target.m_newer = newer;
    p->fOk = pfn(file.Bytes(), target);
    return p;
}

// Via points of our route (those standing for a waypoint) against the
// oracle's route points: names and coordinates in order.
void ExpectRouteMatches(const Route& route, const test::OracleRoute& oracle) {
    std::vector<const RoutePoint*> via;
    for (const RoutePoint& pt : route.points)
        if (pt.btKind & rkVia) via.push_back(&pt);
    ASSERT_EQ(via.size(), oracle.points.size());
    EXPECT_EQ(ToUtf8(route.strName), oracle.strName);
    for (std::size_t i = 0; i < via.size(); ++i) {
        SCOPED_TRACE("route point " + std::to_string(i));
        ASSERT_NE(via[i]->pWaypoint, nullptr);
        EXPECT_EQ(ToUtf8(via[i]->pWaypoint->strName), oracle.points[i].strName);
        EXPECT_NEAR(test::SemiToDeg(via[i]->Y()), oracle.points[i].dLat, 1e-6);
        EXPECT_NEAR(test::SemiToDeg(via[i]->X()), oracle.points[i].dLon, 1e-6);
    }
}

void ExpectTracksMatch(const std::vector<Track>& ours, const std::vector<test::OracleTrack>& oracle) {
    ASSERT_EQ(ours.size(), oracle.size());
    for (std::size_t t = 0; t < ours.size(); ++t) {
        EXPECT_EQ(ToUtf8(ours[t].strName), oracle[t].strName);
        ASSERT_EQ(ours[t].points.size(), oracle[t].points.size());
        for (std::size_t i = 0; i < ours[t].points.size(); ++i) {
            const TrackPoint& p = ours[t].points[i];
            const test::OraclePoint& o = oracle[t].points[i];
            EXPECT_NEAR(test::SemiToDeg(p.lLat), o.dLat, 1e-6);
            EXPECT_NEAR(test::SemiToDeg(p.lLon), o.dLon, 1e-6);
            EXPECT_EQ(p.fAltitude, o.ele.has_value());
            if (p.fAltitude && o.ele) { EXPECT_NEAR(p.dAltitude, *o.ele, 0.01); }
            EXPECT_EQ(p.fTime, o.time.has_value());
            if (p.fTime && o.time) { EXPECT_EQ(p.dwTime, *o.time); }
        }
    }
}

class GdbCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(GdbCorpus, MatchesGpsBabel) {
    const auto path = CorpusPath(std::string("exchange/gdb/") + GetParam());
    VELKA_REQUIRE_CORPUS(path);
    auto imported = ImportFile(path, ImportGdb);
    ASSERT_TRUE(imported->fOk);
    test::Oracle oracle = test::LoadOracle(path.string() + ".gpx");
    test::ExpectWaypointsMatch(test::LiveWaypoints(imported->store), oracle.waypoints);
    auto routes = test::LiveRoutes(imported->store);
    ASSERT_EQ(routes.size(), oracle.routes.size());
    for (std::size_t i = 0; i < routes.size(); ++i) ExpectRouteMatches(*routes[i], oracle.routes[i]);
    ExpectTracksMatch(imported->tracks, oracle.tracks);
}

INSTANTIATE_TEST_SUITE_P(Samples, GdbCorpus,
                         ::testing::Values("gdb-sample.gdb", "gdb-sample-v3.gdb",
                                           "gdb-sample.v1-gpsbabel.gdb",
                                           "gdb-sample-v3-ilinks.gdb"));

} // namespace
} // namespace velka
