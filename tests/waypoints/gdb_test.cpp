#include <cstdlib>
#include <fstream>

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
    test::ExpectTracksMatch(imported->tracks, oracle.tracks);
}

// Proximity follows the comment and depth the facility text, as GPSBabel
// reads and writes them: both ways through a file GPSBabel wrote and one
// GPSBabel reads.
TEST(GdbWaypoint, ProximityAndDepthKeepTheirPlaces) {
    if (!test::HaveGpsBabel()) GTEST_SKIP() << "gpsbabel not installed";
    test::TempDir dir;
    const std::string strGpx = dir.File("in.gpx");
    std::ofstream(strGpx) << "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                             "xmlns=\"http://www.topografix.com/GPX/1/1\" "
                             "xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\">\n"
                             "<wpt lat=\"60\" lon=\"10\"><name>P</name><cmt>c</cmt><extensions>"
                             "<gpxx:WaypointExtension><gpxx:Proximity>50</gpxx:Proximity>"
                             "<gpxx:Depth>7</gpxx:Depth></gpxx:WaypointExtension></extensions></wpt>\n</gpx>\n";
    for (const char* szVer : {"1", "2"}) {
        SCOPED_TRACE(szVer);
        const std::string strGdb = dir.File(std::string("babel") + szVer + ".gdb");
        const std::string cmd = "gpsbabel -i gpx -f '" + strGpx + "' -o gdb,ver=" + szVer + " -F '" + strGdb + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        auto imported = ImportFile(strGdb, ImportGdb);
        ASSERT_TRUE(imported->fOk);
        ASSERT_EQ(imported->store.Waypoints().size(), 1u);
        const Waypoint& w = *imported->store.Waypoints()[0];
        EXPECT_TRUE(w.dwFlags & wfProximity);
        EXPECT_FLOAT_EQ(w.fProximity, 50);
        EXPECT_FLOAT_EQ(w.fDepth, 7);
        EXPECT_EQ(w.strComment, u"c");

        const std::string strOurs = dir.File(std::string("ours") + szVer + ".gdb");
        ASSERT_TRUE(ExportGdb(strOurs, imported->store, false, nullptr, test::IgnoredError()));
        const std::string strOut = strOurs + ".gpx";
        const std::string back = "gpsbabel -i gdb -f '" + strOurs + "' -o gpx,garminextensions -F '" + strOut + "'";
        ASSERT_EQ(std::system(back.c_str()), 0) << back;
        const std::string text = test::ReadFile(strOut);
        EXPECT_NE(text.find("<gpxx:Proximity>50.0"), std::string::npos) << text;
        EXPECT_NE(text.find("<gpxx:Depth>7.0"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, GdbCorpus,
                         ::testing::Values("gdb-sample.gdb", "gdb-sample-v3.gdb",
                                           "gdb-sample.v1-gpsbabel.gdb",
                                           "gdb-sample-v3-ilinks.gdb"));

} // namespace
} // namespace velka
