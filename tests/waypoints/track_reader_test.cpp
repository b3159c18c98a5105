#include <cmath>
#include <cstdio>
#include <memory>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "platform/mapped_file.h"
#include "platform/ui_host.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"
#include "waypoints/track_reader.h"

namespace velka {
namespace {

using test::CorpusPath;

LONG Semi(double deg) { return static_cast<LONG>(std::llround(deg * 2147483648.0 / 180.0)); }

// A document with one track written by our own exporter.
std::string MakeMps(const test::TempDir& dir, const std::vector<TrackPoint>& points) {
    std::vector<Track> tracks(1);
    tracks[0].strName = u"Track 000";
    tracks[0].points = points;
    CWaypointStore empty;
    const std::string strPath = dir.File("t.mps");
    EXPECT_TRUE(ExportMps(strPath, empty, false, &tracks, test::IgnoredError()));
    return strPath;
}

TEST(TrackReader, FixesCarrySpeedCourseAndVerticalSpeed) {
    test::TempDir dir;
    // 0.001 degree north-east steps at 60 degrees north, 10 s apart, 5 m up.
    std::vector<TrackPoint> pts;
    for (int i = 0; i < 3; ++i)
        pts.push_back({.lLat = Semi(60 + 0.001 * i), .lLon = Semi(10 + 0.001 * i), .fAltitude = true,
                       .fTime = true, .fDepth = i == 2, .dAltitude = 100.0 + 5 * i,
                       .dwTime = 1114525641u + 10u * static_cast<DWORD>(i), .dDepth = 7});
    pts.push_back({.lLat = pts[2].lLat, .lLon = Semi(10.003)}); // no time, due east
    CTrackReader reader;
    ASSERT_TRUE(reader.Open(MakeMps(dir, pts)));
    GpsFix fix;
    ASSERT_TRUE(reader.NextPoint(fix));
    EXPECT_TRUE(fix.Has(gfPosition | gfTime | gfAltitude));
    EXPECT_FALSE(fix.Has(gfSpeed));
    EXPECT_FALSE(fix.Has(gfCourse));
    EXPECT_NEAR(fix.fLatitude, 60.0, 1e-5);
    EXPECT_NEAR(fix.dTime, 1114525641.0 / 86400 + 25569, 1e-9);

    ASSERT_TRUE(reader.NextPoint(fix));
    test::ExpectStepFix(fix, 60.001, 0.001, 10, 0.5);
    EXPECT_FALSE(fix.Has(gfDepth));

    ASSERT_TRUE(reader.NextPoint(fix));
    EXPECT_TRUE(fix.Has(gfDepth));
    EXPECT_FLOAT_EQ(fix.fDepth, 7);

    ASSERT_TRUE(reader.NextPoint(fix)); // due east: course 90 (dy 0); no time: no speed
    ASSERT_TRUE(fix.Has(gfCourse));
    EXPECT_NEAR(fix.fCourse, 90.0f, 1e-3f);
    EXPECT_FALSE(fix.Has(gfSpeed));
    EXPECT_FALSE(fix.Has(gfTime));
    EXPECT_FALSE(reader.NextPoint(fix));

    reader.Rewind();
    ASSERT_TRUE(reader.NextPoint(fix));
    EXPECT_FALSE(fix.Has(gfSpeed)); // the previous point is forgotten
    EXPECT_NEAR(fix.fLatitude, 60.0, 1e-5);
}

TEST(TrackReader, SimulationSourceReplaysTheTrackAndStartsOver) {
    test::TempDir dir;
    EXPECT_EQ(OpenTrackSource(dir.File("missing.gdb")), nullptr);
    const std::string strText = dir.File("text.gdb");
    {
        std::FILE* f = std::fopen(strText.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a MapSource file", f);
        std::fclose(f);
    }
    EXPECT_EQ(OpenTrackSource(strText), nullptr);

    const std::vector<TrackPoint> pts = {{.lLat = Semi(55.0), .lLon = Semi(37.0)},
                                         {.lLat = Semi(55.5), .lLon = Semi(37.5)}};
    std::unique_ptr<IGpsTrackSource> pSource = OpenTrackSource(MakeMps(dir, pts));
    ASSERT_NE(pSource, nullptr);
    GpsFix fix;
    ASSERT_TRUE(pSource->NextPoint(fix));
    EXPECT_NEAR(fix.fLatitude, 55.0, 1e-5);
    ASSERT_TRUE(pSource->NextPoint(fix));
    EXPECT_NEAR(fix.fLongitude, 37.5, 1e-5);
    EXPECT_FALSE(pSource->NextPoint(fix)) << "used up";
    pSource->Rewind();
    ASSERT_TRUE(pSource->NextPoint(fix));
    EXPECT_NEAR(fix.fLatitude, 55.0, 1e-5);
}

TEST(TrackReader, WalksEveryTrackOfTheSampleFiles) {
    for (const char* szName : {"gdb/gdb-sample.gdb", "gdb/gdb-sample-v3.gdb", "gdb/gdb-sample.v1-gpsbabel.gdb"}) {
        SCOPED_TRACE(szName);
        const auto path = CorpusPath(std::string("exchange/") + szName);
        VELKA_REQUIRE_CORPUS(path);
        const test::Oracle oracle = test::LoadOracle(path.string() + ".gpx");
        std::vector<const test::OraclePoint*> all;
        for (const auto& t : oracle.tracks)
            for (const auto& p : t.points) all.push_back(&p);
        CTrackReader reader;
        ASSERT_TRUE(reader.Open(path.string()));
        GpsFix fix;
        std::size_t n = 0;
        while (reader.NextPoint(fix)) {
            ASSERT_LT(n, all.size());
            EXPECT_NEAR(fix.fLatitude, all[n]->dLat, 1e-5);
            EXPECT_NEAR(fix.fLongitude, all[n]->dLon, 1e-5);
            EXPECT_EQ(fix.Has(gfTime), all[n]->time.has_value());
            ++n;
        }
        EXPECT_EQ(n, 747u);
    }
    const auto mps = CorpusPath("exchange/mps/mps-track.mps");
    VELKA_REQUIRE_CORPUS(mps);
    CTrackReader reader;
    ASSERT_TRUE(reader.Open(mps.string()));
    GpsFix fix;
    int n = 0;
    while (reader.NextPoint(fix)) ++n;
    EXPECT_EQ(n, 64);
    EXPECT_FALSE(reader.Open(CorpusPath("exchange/ozi/ozi.wpt").string()));
}

// Every importer on every sample, cut short at every length and with bytes
// changed at random: no crash, no hang, and what is read stays consistent.
TEST(CorruptInput, ImportersStayInsideTheirData) {
    const std::pair<ImportFn, ProbeFn> importers[] = {{ImportGdb, ProbeGdb}, {ImportMps, ProbeMps},
                                                      {ImportWpt, ProbeWpt}, {ImportRte, ProbeRte},
                                                      {ImportGpx, ProbeGpx}};
    const char* files[] = {"gdb/gdb-sample.gdb", "gdb/gdb-sample-v3-ilinks.gdb", "gdb/cet-sample.gdb",
                           "mps/mapsource.mps", "mps/mps-track.mps", "ozi/ozi.rte", "ozi/ozi.wpt",
                           "gdb/cet-sample.gdb.gpx"};
    std::mt19937 rng(20240501);
    for (const char* szName : files) {
        const auto path = CorpusPath(std::string("exchange/") + szName);
        VELKA_REQUIRE_CORPUS(path);
        const std::string original = test::ReadFile(path);
        const std::size_t step = std::max<std::size_t>(1, original.size() / 300);
        for (int nRound = 0; nRound < 2; ++nRound) {
            for (std::size_t cut = 0; cut <= original.size(); cut += step) {
                std::vector<BYTE> data(original.begin(), original.begin() + static_cast<long>(cut));
                if (nRound == 1)
                    for (int k = 0; k < 8 && !data.empty(); ++k) data[rng() % data.size()] = static_cast<BYTE>(rng());
                for (auto [pfnImport, pfnProbe] : importers) {
                    CWaypointStore store;
                    std::vector<Track> tracks;
                    ImportTarget target(store);
                    target.m_pTracks = &tracks;
                    target.m_newer = nvAccept;
                    if (pfnProbe(data)) pfnImport(data, target);
                    CWaypointStore again;
                    ASSERT_TRUE(again.Parse(store.Serialize()));
                    EXPECT_EQ(again.Waypoints().size(), store.LiveWaypointCount());
                }
                CTrackReader reader;
                GpsFix fix;
                if (reader.Attach(data))
                    while (reader.NextPoint(fix)) {
                    }
                CWaypointStore s;
                s.Parse(data);
            }
        }
        HeadlessUiHost().ClearBoxes();
    }
}

} // namespace
} // namespace velka
