// OziExplorer and MPS files from other programs, GPX round trips, and the
// import commands with their messages.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"
#include "waypoints/exchange_commands.h"

namespace velka {
namespace {

using test::CorpusPath;

std::u16string U(const char* s) { return FromUtf8(s); }

bool ImportBytes(std::string_view text, ImportFn pfn, CWaypointStore& store) {
    ImportTarget target(store);
    return pfn(std::span<const BYTE>(reinterpret_cast<const BYTE*>(text.data()), text.size()), target);
}

bool ImportPath(const std::filesystem::path& path, ImportFn pfn, CWaypointStore& store) {
    CMappedFile file;
    EXPECT_TRUE(file.Open(path.string()));
    ImportTarget target(store);
    return pfn(file.Bytes(), target);
}

class TextFormats : public ::testing::Test {
protected:
    void SetUp() override { HeadlessUiHost().ClearBoxes(); }
    test::ScopedSettings m_settings;
    test::TempDir m_dir;
};

TEST_F(TextFormats, OziWaypointFilesMatchGpsBabel) {
    for (const char* szName : {"ozi.wpt", "ozi-color.wpt", "ozi000.wpt", "ozi001.wpt"}) {
        SCOPED_TRACE(szName);
        const auto path = CorpusPath(std::string("exchange/ozi/") + szName);
        VELKA_REQUIRE_CORPUS(path);
        CWaypointStore store;
        ASSERT_TRUE(ImportPath(path, ImportWpt, store));
        test::ExpectWaypointsMatch(test::LiveWaypoints(store), test::LoadOracle(path.string() + ".gpx").waypoints);
    }
}

TEST_F(TextFormats, OziRouteFileMatchesGpsBabel) {
    const auto path = CorpusPath("exchange/ozi/ozi.rte");
    VELKA_REQUIRE_CORPUS(path);
    CWaypointStore store;
    ASSERT_TRUE(ImportPath(path, ImportRte, store));
    const test::Oracle oracle = test::LoadOracle(path.string() + ".gpx");
    const auto routes = test::LiveRoutes(store);
    ASSERT_EQ(routes.size(), oracle.routes.size());
    for (std::size_t i = 0; i < routes.size(); ++i) {
        EXPECT_EQ(ToUtf8(routes[i]->strName), oracle.routes[i].strName);
        ASSERT_EQ(routes[i]->points.size(), oracle.routes[i].points.size());
        for (std::size_t k = 0; k < routes[i]->points.size(); ++k) {
            const Waypoint* w = routes[i]->points[k].pWaypoint;
            const test::OraclePoint& o = oracle.routes[i].points[k];
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(ToUtf8(w->strName), o.strName);
            EXPECT_NEAR(test::SemiToDeg(w->lY), o.dLat, 1e-6);
            EXPECT_NEAR(test::SemiToDeg(w->lX), o.dLon, 1e-6);
            EXPECT_EQ(w->dTime != 0, o.time.has_value());
            if (o.time) {
                EXPECT_NEAR(static_cast<double>(OleToUnixSeconds(w->dTime)), static_cast<double>(*o.time), 1.0);
            }
            EXPECT_EQ(ToUtf8(w->strComment), o.strCmt);
            EXPECT_TRUE(w->dwFlags & wfRouteOwned);
        }
    }
    EXPECT_EQ(routes[1]->dwColor, 16711680u);
}

TEST_F(TextFormats, OziEdgeCases) {
    CWaypointStore store;
    // A first route without points yields no route; bad coordinates are skipped.
    ASSERT_TRUE(ImportBytes("OziExplorer Route File Version 1.0\r\nWGS 84\r\nR1\r\nR2\r\n"
                            "R,0,Empty,,1\r\nR,1,Full,,2\r\nW,1,1,0,A,1.5,2.5,0,0,1,3,0,65535,c,0,0,\r\n"
                            "W,1,2,1,B,north,2.5\r\n\r\n",
                            ImportRte, store));
    ASSERT_EQ(store.Routes().size(), 1u);
    EXPECT_EQ(store.Routes()[0]->strName, U("Full"));
    EXPECT_EQ(store.Routes()[0]->points.size(), 1u);

    // Only WGS 84 is read; anything else is reported with its name.
    CWaypointStore other;
    EXPECT_FALSE(ImportBytes("OziExplorer Waypoint File Version 1.1\r\nPulkovo 1942 (1),x\r\n", ImportWpt, other));
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, FormatMessageId(2170, u"Pulkovo 1942 (1)"));
    EXPECT_EQ(other.Waypoints().size(), 0u);

    // Files of other programs with the same extensions are not taken.
    for (const char* szName : {"bushnell.wpt", "compegps.wpt", "gu.wpt", "nmn4-sample.rte", "magexplorist.rte"}) {
        const auto path = CorpusPath(std::string("exchange/not-ozi/") + szName);
        VELKA_REQUIRE_CORPUS(path);
        CMappedFile file;
        ASSERT_TRUE(file.Open(path.string()));
        EXPECT_FALSE(ProbeWpt(file.Bytes())) << szName;
        EXPECT_FALSE(ProbeRte(file.Bytes())) << szName;
    }
}

TEST_F(TextFormats, MapSourceDocumentWaypoints) {
    const auto path = CorpusPath("exchange/mps/mapsource.mps");
    VELKA_REQUIRE_CORPUS(path);
    CWaypointStore store;
    ASSERT_TRUE(ImportPath(path, ImportMps, store));
    const auto ours = test::LiveWaypoints(store);
    const test::Oracle oracle = test::LoadOracle(CorpusPath("exchange/mps/mapsource.mps.from-geocaching-loc.gpx").string());
    // The document keeps its own order; the caches are matched by name.
    ASSERT_EQ(ours.size(), oracle.waypoints.size());
    for (const test::OraclePoint& o : oracle.waypoints) {
        SCOPED_TRACE(o.strName);
        const auto it = std::find_if(ours.begin(), ours.end(),
                                     [&](const Waypoint* w) { return ToUtf8(w->strName) == o.strName; });
        ASSERT_NE(it, ours.end());
        EXPECT_NEAR(test::SemiToDeg((*it)->lY), o.dLat, 5e-5);
        EXPECT_NEAR(test::SemiToDeg((*it)->lX), o.dLon, 5e-5);
    }
    // Written again and read back: the same waypoints.
    const std::string strOut = m_dir.File("out.mps");
    ASSERT_TRUE(ExportMps(strOut, store, false, nullptr));
    CWaypointStore back;
    ASSERT_TRUE(ImportPath(strOut, ImportMps, back));
    const auto again = test::LiveWaypoints(back);
    ASSERT_EQ(again.size(), ours.size());
    for (std::size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(again[i]->strName, ours[i]->strName);
        EXPECT_EQ(again[i]->strComment, ours[i]->strComment);
        EXPECT_EQ(again[i]->lX, ours[i]->lX);
        EXPECT_EQ(again[i]->wType, ours[i]->wType);
    }
    // An empty document of version 100 (MapSource 3) is refused as too old.
    const auto empty = CorpusPath("exchange/mps/mps-empty.mps");
    CWaypointStore none;
    EXPECT_FALSE(ImportPath(empty, ImportMps, none));
    EXPECT_EQ(none.Waypoints().size(), 0u);
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, LoadStr(2169));
}

TEST_F(TextFormats, OldDocumentsAndNewerDatabasesAreRefused) {
    const auto path = CorpusPath("exchange/mps/mapsource.mps");
    const auto gdb = CorpusPath("exchange/gdb/gdb-sample-v3.gdb");
    VELKA_REQUIRE_CORPUS(path);
    VELKA_REQUIRE_CORPUS(gdb);
    std::string data = test::ReadFile(path);
    data[11] = 102; // the 'D' record's version
    CWaypointStore store;
    EXPECT_FALSE(ImportBytes(data, ImportMps, store));
    EXPECT_EQ(store.Waypoints().size(), 0u);
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, LoadStr(2169));

    // Version 109: a warning the user may accept, or refuse.
    std::string v3 = test::ReadFile(gdb);
    for (auto [policy, answer, fImported] : {std::tuple{nvRefuse, IDYES, false}, std::tuple{nvAsk, IDNO, false},
                                             std::tuple{nvAsk, IDYES, true}, std::tuple{nvAccept, IDNO, true}}) {
        HeadlessUiHost().ClearBoxes();
        HeadlessUiHost().ScriptAnswers({answer});
        CWaypointStore s;
        ImportTarget target(s);
        target.m_newer = policy;
        EXPECT_EQ(ImportGdb(std::span<const BYTE>(reinterpret_cast<const BYTE*>(v3.data()), v3.size()), target), fImported);
        EXPECT_EQ(s.Waypoints().size(), fImported ? 199u : 0u);
        ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
        EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, LoadStr(2168));
    }
    HeadlessUiHost().ScriptAnswers({});
    // Anything newer than 109 is never read.
    v3[11] = 110;
    CWaypointStore s;
    ImportTarget target(s);
    target.m_newer = nvAccept;
    EXPECT_FALSE(ImportGdb(std::span<const BYTE>(reinterpret_cast<const BYTE*>(v3.data()), v3.size()), target));
    EXPECT_EQ(s.Waypoints().size(), 0u);
}

TEST_F(TextFormats, GpxRoundTripKeepsEverything) {
    CWaypointStore store;
    const std::u16string name = U("<Ünïcödé & \"x\">");
    Waypoint* w = store.CreateWaypoint(606990317, -148342070, 40000.5, -12.25f, &name);
    w->strComment = U("line one\nline two");
    store.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    Route* r = store.CreateRoute(nullptr, 1);
    store.AppendPoint(*r, test::RefPoint(w));
    store.AppendPoint(*r, test::RefPoint(store.Waypoints()[0].get()));
    std::vector<Track> tracks(1);
    tracks[0].strName = U("T");
    tracks[0].points.push_back({.lLat = 5, .lLon = -6, .fAltitude = true, .fTime = true, .dAltitude = 3.5, .dwTime = 1114525641});
    tracks[0].points.push_back({.lLat = 7, .lLon = 8});
    const std::string strPath = m_dir.File("x.gpx");
    ASSERT_TRUE(ExportGpx(strPath, store, true, &tracks));

    CMappedFile file;
    ASSERT_TRUE(file.Open(strPath));
    ASSERT_TRUE(ProbeGpx(file.Bytes()));
    CWaypointStore back;
    std::vector<Track> backTracks;
    ImportTarget target(back);
    target.m_pTracks = &backTracks;
    ASSERT_TRUE(ImportGpx(file.Bytes(), target));
    EXPECT_EQ(target.m_cWaypoints, 4); // two waypoints, two route points
    const auto ws = test::LiveWaypoints(back);
    // The route's points come first, in file order, then the waypoints.
    const Waypoint& b = *ws[2];
    EXPECT_EQ(b.strName, name);
    EXPECT_EQ(b.strComment, w->strComment);
    EXPECT_NEAR(test::SemiToDeg(b.lY), test::SemiToDeg(w->lY), 1e-8);
    EXPECT_NEAR(test::SemiToDeg(b.lX), test::SemiToDeg(w->lX), 1e-8);
    EXPECT_FLOAT_EQ(b.fAltitude, -12.25f);
    EXPECT_EQ(OleToUnixSeconds(b.dTime), OleToUnixSeconds(w->dTime));
    EXPECT_FALSE(ws[3]->HasAltitude());
    ASSERT_EQ(back.Routes().size(), 1u);
    EXPECT_EQ(back.Routes()[0]->points.size(), 2u);
    ASSERT_EQ(backTracks.size(), 1u);
    ASSERT_EQ(backTracks[0].points.size(), 2u);
    EXPECT_EQ(backTracks[0].points[0].dwTime, 1114525641u);
    EXPECT_TRUE(backTracks[0].points[0].fAltitude);
    EXPECT_FALSE(backTracks[0].points[1].fTime);
}

TEST_F(TextFormats, ImportCommandProbesAndReports) {
    const auto rte = CorpusPath("exchange/ozi/ozi.rte");
    const auto junk = CorpusPath("exchange/not-ozi/gu.wpt");
    VELKA_REQUIRE_CORPUS(rte);
    VELKA_REQUIRE_CORPUS(junk);
    CWaypointStore store;
    const std::string strStore = m_dir.File("Waypoints.bin");
    store.Load(strStore);
    ASSERT_TRUE(ImportExchangeFile(rte.string(), ekRoutes, store));
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, FormatMessageId(2190, 2, 4));
    EXPECT_TRUE(std::filesystem::exists(strStore)); // saved after the change
    HeadlessUiHost().ClearBoxes();
    EXPECT_FALSE(ImportExchangeFile(junk.string(), ekWaypoints, store));
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, FormatMessageId(2129, FromUtf8(junk.string()).c_str()));

    const auto filters = ExchangeFilters(ekRoutes, true);
    ASSERT_EQ(filters.size(), 4u);
    EXPECT_EQ(filters[0].first, LoadStr(2276));
    EXPECT_EQ(filters[0].second, U("*.gdb;*.rte;*.gpx"));
    EXPECT_EQ(ProposedExportName(ekWaypoints), U("Exported Waypoints"));
    const std::string strOut = m_dir.File("e.wpt");
    ASSERT_TRUE(ExportExchangeFile(strOut, ekWaypoints, 2, store));
    EXPECT_EQ(LastExportFormat(ekWaypoints), 2);
    EXPECT_EQ(test::ReadFile(strOut).rfind("OziExplorer Waypoint File", 0), 0u);

    // The type box still on another format: the name's extension decides,
    // and a name without a known extension gets the chosen format's.
    const std::string strGpx = m_dir.File("named.gpx");
    ASSERT_TRUE(ExportExchangeFile(strGpx, ekWaypoints, 2, store));
    EXPECT_EQ(test::ReadFile(strGpx).find("OziExplorer"), std::string::npos);
    EXPECT_NE(test::ReadFile(strGpx).find("<gpx"), std::string::npos);
    EXPECT_NE(LastExportFormat(ekWaypoints), 2);
    ASSERT_TRUE(ExportExchangeFile(m_dir.File("plain"), ekWaypoints, 2, store));
    EXPECT_EQ(test::ReadFile(m_dir.File("plain.wpt")).rfind("OziExplorer Waypoint File", 0), 0u);
}

} // namespace
} // namespace velka
