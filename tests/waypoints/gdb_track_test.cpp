// Track records of the database exporter: read back by our import and
// track reader, byte layout of points with and without their values, and
// GPSBabel reading the same points from our files.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"
#include "waypoints/track_reader.h"

namespace velka {
namespace {

using test::CorpusPath;

LONG Semi(double deg) { return static_cast<LONG>(std::llround(deg * 2147483648.0 / 180.0)); }

std::vector<BYTE> Bytes(const std::string& strPath) {
    const std::string s = test::ReadFile(strPath);
    return std::vector<BYTE>(s.begin(), s.end());
}

// A drive north-east at 60 degrees north, 10 s a step and 5 m up a step,
// then a point with depth and temperature, then one due east without time.
Track Drive() {
    Track t;
    t.strName = u"Frühstück"; // code page 1252
    for (int i = 0; i < 3; ++i)
        t.points.push_back({.lLat = Semi(60 + 0.001 * i), .lLon = Semi(10 + 0.001 * i), .fAltitude = true,
                            .fTime = true, .dAltitude = 100.25 + 5 * i,
                            .dwTime = 1114525641u + 10u * static_cast<DWORD>(i)});
    t.points[2].fDepth = true;
    t.points[2].dDepth = 7.5;
    t.points[2].fTemperature = true;
    t.points[2].dTemperature = -3.25;
    t.points.push_back({.lLat = t.points[2].lLat, .lLon = Semi(10.003)});
    return t;
}

// Points with neither altitude nor time, on both sides of the equator and
// the prime meridian.
Track Bare() {
    Track t;
    t.strName = u"Bare";
    t.points.push_back({.lLat = Semi(-33.8567844), .lLon = Semi(-70.6500001)});
    t.points.push_back({.lLat = Semi(-33.8577844), .lLon = Semi(151.2152967)});
    t.points.push_back({.lLat = Semi(0.0000005), .lLon = Semi(-0.0000005)});
    return t;
}

std::vector<Track> ImportTracks(const std::string& strPath, CWaypointStore& store) {
    CMappedFile file;
    EXPECT_TRUE(file.Open(strPath));
    std::vector<Track> tracks;
    ImportTarget target(store);
    target.m_pTracks = &tracks;
    EXPECT_TRUE(ImportGdb(file.Bytes(), target));
    return tracks;
}

void ExpectSamePoints(const std::vector<TrackPoint>& a, const std::vector<TrackPoint>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        EXPECT_EQ(a[i].lLat, b[i].lLat);
        EXPECT_EQ(a[i].lLon, b[i].lLon);
        EXPECT_EQ(a[i].fAltitude, b[i].fAltitude);
        EXPECT_EQ(a[i].fTime, b[i].fTime);
        EXPECT_EQ(a[i].fDepth, b[i].fDepth);
        EXPECT_EQ(a[i].fTemperature, b[i].fTemperature);
        EXPECT_EQ(a[i].dAltitude, b[i].dAltitude);
        EXPECT_EQ(a[i].dwTime, b[i].dwTime);
        EXPECT_EQ(a[i].dDepth, b[i].dDepth);
        EXPECT_EQ(a[i].dTemperature, b[i].dTemperature);
    }
}

// The first record of a type after the head: its body.
std::vector<BYTE> FirstRecord(const std::vector<BYTE>& file, char chType) {
    std::size_t p = 54;
    while (p + 5 <= file.size()) {
        DWORD cb = 0;
        std::memcpy(&cb, &file[p], 4);
        if (p + 5 + cb > file.size()) break;
        if (static_cast<char>(file[p + 4]) == chType)
            return std::vector<BYTE>(file.begin() + long(p + 5), file.begin() + long(p + 5 + cb));
        p += 5 + cb;
    }
    ADD_FAILURE() << "no record " << chType;
    return {};
}

class GdbTrackTest : public ::testing::Test {
protected:
    void SetUp() override { HeadlessUiHost().ClearBoxes(); }
    void TearDown() override { EXPECT_TRUE(HeadlessUiHost().Boxes().empty()); }
    test::TempDir m_dir;
};

TEST_F(GdbTrackTest, ImportAndTrackReaderGetBackWhatWasWritten) {
    // Tracks follow a waypoint and a route, and must not disturb them.
    CWaypointStore store;
    const std::u16string strA = u"A", strB = u"B";
    Waypoint* a = store.CreateWaypoint(Semi(10), Semi(60), 0, 12.5f, &strA);
    Waypoint* b = store.CreateWaypoint(Semi(10.01), Semi(60.01), 0, std::nullopt, &strB);
    Route* r = store.CreateRoute(nullptr, 1);
    store.AppendPoint(*r, test::RefPoint(a));
    store.AppendPoint(*r, test::RefPoint(b));
    const std::vector<Track> tracks = {Drive(), Bare()};
    const std::string strPath = m_dir.File("drive.gdb");
    ASSERT_TRUE(ExportGdb(strPath, store, true, &tracks, test::IgnoredError()));

    CWaypointStore back;
    const std::vector<Track> read = ImportTracks(strPath, back);
    EXPECT_EQ(back.LiveWaypointCount(), 2u);
    EXPECT_EQ(back.LiveRouteCount(), 1u);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].strName, u"Frühstück");
    EXPECT_EQ(read[1].strName, u"Bare");
    ExpectSamePoints(read[0].points, tracks[0].points);
    ExpectSamePoints(read[1].points, tracks[1].points);

    // The replay derives speed, course and vertical speed from neighbours.
    CTrackReader reader;
    ASSERT_TRUE(reader.Open(strPath));
    GpsFix fix;
    ASSERT_TRUE(reader.NextPoint(fix));
    EXPECT_TRUE(fix.Has(gfPosition | gfTime | gfAltitude));
    EXPECT_FALSE(fix.Has(gfSpeed));
    EXPECT_NEAR(fix.fLatitude, 60.0, 1e-5);
    EXPECT_NEAR(fix.fLongitude, 10.0, 1e-5);
    EXPECT_FLOAT_EQ(fix.fAltitude, 100.25f);
    EXPECT_NEAR(fix.dTime, 1114525641.0 / 86400 + 25569, 1e-9);
    ASSERT_TRUE(reader.NextPoint(fix));
    test::ExpectStepFix(fix, 60.001, 0.001, 10, 0.5);
    ASSERT_TRUE(reader.NextPoint(fix));
    EXPECT_TRUE(fix.Has(gfDepth));
    EXPECT_FLOAT_EQ(fix.fDepth, 7.5f);
    ASSERT_TRUE(reader.NextPoint(fix)); // no time: no speed; due east: course 90
    EXPECT_FALSE(fix.Has(gfTime | gfAltitude));
    EXPECT_FALSE(fix.Has(gfSpeed));
    ASSERT_TRUE(fix.Has(gfCourse));
    EXPECT_NEAR(fix.fCourse, 90.0f, 1e-3f);
    int cRest = 0;
    while (reader.NextPoint(fix)) {
        EXPECT_FALSE(fix.Has(gfTime | gfAltitude | gfSpeed | gfVertSpeed));
        ++cRest;
    }
    EXPECT_EQ(cRest, 3);
}

TEST_F(GdbTrackTest, AbsentValuesTakeOnlyTheirFlagByte) {
    const std::vector<Track> tracks = {Bare(), Drive()};
    const std::string strPath = m_dir.File("bare.gdb");
    ASSERT_TRUE(ExportGdb(strPath, CWaypointStore(), false, &tracks, test::IgnoredError()));
    const std::vector<BYTE> body = FirstRecord(Bytes(strPath), 'T');
    // Name, display, colour, count, three points of 12 bytes, link text.
    ASSERT_EQ(body.size(), 5u + 1 + 4 + 4 + 3 * 12 + 1);
    EXPECT_EQ(std::memcmp(body.data(), "Bare", 5), 0);
    EXPECT_EQ(body[5], 1); // shown
    DWORD dwColour = 1, cPoints = 0;
    std::memcpy(&dwColour, &body[6], 4);
    std::memcpy(&cPoints, &body[10], 4);
    EXPECT_EQ(dwColour, 0u);
    EXPECT_EQ(cPoints, 3u);
    LONG lLat = 0;
    std::memcpy(&lLat, &body[14], 4);
    EXPECT_EQ(lLat, Semi(-33.8567844));
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::vector<BYTE>(body.begin() + long(14 + 12 * i + 8), body.begin() + long(14 + 12 * i + 12)),
                  std::vector<BYTE>(4, 0));
    EXPECT_EQ(body.back(), 0);

    // Altitude 8, time 4, depth 8 and temperature 8 bytes after their
    // flags: two points of 24 bytes, one of 40, one of 12.
    const std::vector<BYTE> file = Bytes(strPath);
    const std::size_t cbSecond = 10 + 1 + 4 + 4 + 2 * 24 + 40 + 12 + 1;
    EXPECT_EQ(file.size(), 54u + 5 + body.size() + 5 + cbSecond + 7);
}

TEST_F(GdbTrackTest, SeveralTracksKeepOrderAndGetUniqueNames) {
    std::vector<Track> tracks(5, Bare());
    tracks[0].strName = u"Same";
    tracks[1].strName = u"Same";
    tracks[2].strName = u"Empty";
    tracks[2].points.clear(); // not written
    tracks[3].strName.clear();
    tracks[4].strName = u"Last";
    for (std::size_t i = 0; i < tracks.size(); ++i)
        for (TrackPoint& p : tracks[i].points) p.lLon += static_cast<LONG>(i);
    const std::string strPath = m_dir.File("several.gdb");
    ASSERT_TRUE(ExportGdb(strPath, CWaypointStore(), true, &tracks, test::IgnoredError()));
    CWaypointStore back;
    const std::vector<Track> read = ImportTracks(strPath, back);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0].strName, u"Same");
    EXPECT_EQ(read[1].strName, u"Same (1)");
    EXPECT_EQ(read[2].strName, u"Track 002");
    EXPECT_EQ(read[3].strName, u"Last");
    ExpectSamePoints(read[1].points, tracks[1].points);
    ExpectSamePoints(read[2].points, tracks[3].points);
    ExpectSamePoints(read[3].points, tracks[4].points);

    CTrackReader reader;
    ASSERT_TRUE(reader.Open(strPath));
    GpsFix fix;
    int n = 0;
    while (reader.NextPoint(fix)) ++n;
    EXPECT_EQ(n, 12);
}

TEST_F(GdbTrackTest, NoTracksGiveTheHeadAndTailAlone) {
    const std::vector<Track> none;
    const std::string strPath = m_dir.File("empty.gdb");
    ASSERT_TRUE(ExportGdb(strPath, CWaypointStore(), true, &none, test::IgnoredError()));
    const std::vector<BYTE> file = Bytes(strPath);
    ASSERT_EQ(file.size(), 61u);
    EXPECT_TRUE(ProbeGdb(file));
    EXPECT_EQ(std::vector<BYTE>(file.end() - 7, file.end()), (std::vector<BYTE>{2, 0, 0, 0, 'V', 0, 1}));
    CWaypointStore back;
    EXPECT_TRUE(ImportTracks(strPath, back).empty());
    CTrackReader reader;
    ASSERT_TRUE(reader.Open(strPath));
    GpsFix fix;
    EXPECT_FALSE(reader.NextPoint(fix));
    if (!test::HaveGpsBabel()) GTEST_SKIP() << "gpsbabel not installed";
    const test::Oracle o = test::ReadWithGpsBabel("gdb", strPath, strPath + ".gpx");
    EXPECT_TRUE(o.tracks.empty());
    EXPECT_TRUE(o.waypoints.empty());
}

TEST_F(GdbTrackTest, GpsBabelReadsTheSamePoints) {
    if (!test::HaveGpsBabel()) GTEST_SKIP() << "gpsbabel not installed";
    // GPSBabel reads the names of these versions as Latin-1.
    const std::vector<Track> tracks = {Drive(), Bare()};
    const std::string strPath = m_dir.File("ours.gdb");
    ASSERT_TRUE(ExportGdb(strPath, CWaypointStore(), false, &tracks, test::IgnoredError()));
    test::ExpectTracksMatch(tracks, test::ReadWithGpsBabel("gdb", strPath, strPath + ".gpx").tracks);
}

TEST_F(GdbTrackTest, SampleTracksSurviveARewriteForGpsBabel) {
    const auto sample = CorpusPath("exchange/gdb/gdb-sample.gdb");
    VELKA_REQUIRE_CORPUS(sample);
    if (!test::HaveGpsBabel()) GTEST_SKIP() << "gpsbabel not installed";
    CWaypointStore store;
    const std::vector<Track> tracks = ImportTracks(sample.string(), store);
    ASSERT_EQ(tracks.size(), 9u);
    const std::string strPath = m_dir.File("sample.gdb");
    ASSERT_TRUE(ExportGdb(strPath, store, true, &tracks, test::IgnoredError()));
    // GPSBabel's reading of the original is the oracle for our rewrite.
    const test::Oracle original = test::LoadOracle(sample.string() + ".gpx");
    const test::Oracle rewritten = test::ReadWithGpsBabel("gdb", strPath, strPath + ".gpx");
    test::ExpectTracksMatch(tracks, original.tracks);
    test::ExpectTracksMatch(tracks, rewritten.tracks);
    EXPECT_EQ(rewritten.waypoints.size(), original.waypoints.size());
}

// The command line: a recording written by OUT's extension, and tracks
// converted from GPX into a database.
TEST_F(GdbTrackTest, VelkaToolWritesTracksIntoDatabases) {
    const std::string tool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool --settings-db '" +
                             m_dir.File("settings.db") + "' ";
    std::ofstream(m_dir.File("fixes.txt")) << "59.93 30.31 12.5 1765000000\n59.9301 30.3102 13 1765000004\n"
                                              "break\n59.9302 30.3104 - -\n";
    const std::string strOut = m_dir.File("rec.gdb");
    ASSERT_EQ(std::system((tool + "track record '" + strOut + "' < '" + m_dir.File("fixes.txt") +
                           "' > /dev/null").c_str()),
              0);
    CWaypointStore store;
    std::vector<Track> read = ImportTracks(strOut, store);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].strName, u"Track 000");
    ASSERT_EQ(read[0].points.size(), 2u);
    EXPECT_EQ(read[0].points[1].lLat, Semi(59.9301f));
    EXPECT_TRUE(read[0].points[1].fAltitude);
    EXPECT_EQ(read[0].points[1].dwTime, 1765000004u);
    ASSERT_EQ(read[1].points.size(), 1u);
    EXPECT_FALSE(read[1].points[0].fAltitude || read[1].points[0].fTime);
    // The recording's scratch folder beside OUT is gone.
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
        EXPECT_FALSE(e.is_directory()) << e.path();
    // An extension without a track format is refused.
    EXPECT_NE(std::system((tool + "track record '" + m_dir.File("rec.txt") + "' < /dev/null 2> /dev/null").c_str()), 0);

    const std::vector<Track> tracks = {Drive(), Bare()};
    const std::string strGpx = m_dir.File("in.gpx");
    ASSERT_TRUE(ExportGpx(strGpx, CWaypointStore(), false, &tracks, test::IgnoredError()));
    const std::string strGdb = m_dir.File("from-gpx.gdb");
    ASSERT_EQ(std::system((tool + "convert '" + strGpx + "' '" + strGdb + "' --tracks > /dev/null").c_str()), 0);
    CWaypointStore back;
    read = ImportTracks(strGdb, back);
    ASSERT_EQ(read.size(), 2u);
    for (std::size_t t = 0; t < 2; ++t) {
        ASSERT_EQ(read[t].points.size(), tracks[t].points.size());
        for (std::size_t i = 0; i < read[t].points.size(); ++i) {
            EXPECT_NEAR(test::SemiToDeg(read[t].points[i].lLat), test::SemiToDeg(tracks[t].points[i].lLat), 1e-6);
            EXPECT_EQ(read[t].points[i].fTime, tracks[t].points[i].fTime);
            EXPECT_EQ(read[t].points[i].dwTime, tracks[t].points[i].dwTime);
        }
    }
}

} // namespace
} // namespace velka
