// OziExplorer and MPS files from other programs, GPX round trips, and the
// import commands with their messages.
#include <algorithm>
#include <cstdio>
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

// Whether an importer read the file, and why not.
struct Imported {
    bool fOk = false;
    CError error;
    explicit operator bool() const { return fOk; }
};

Imported ImportBytes(std::string_view text, ImportFn pfn, CWaypointStore& store) {
    ImportTarget target(store);
    const bool fOk = pfn(std::span<const BYTE>(reinterpret_cast<const BYTE*>(text.data()), text.size()), target);
    return {fOk, target.m_error};
}

Imported ImportPath(const std::filesystem::path& path, ImportFn pfn, CWaypointStore& store) {
    CMappedFile file;
    EXPECT_TRUE(file.Open(path.string()));
    ImportTarget target(store);
    const bool fOk = pfn(file.Bytes(), target);
    return {fOk, target.m_error};
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
    const Imported pulkovo =
        ImportBytes("OziExplorer Waypoint File Version 1.1\r\nPulkovo 1942 (1),x\r\n", ImportWpt, other);
    EXPECT_FALSE(pulkovo);
    EXPECT_EQ(ErrorText(pulkovo.error), FormatMessageId(2170, u"Pulkovo 1942 (1)"));
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
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
    ASSERT_TRUE(ExportMps(strOut, store, false, nullptr, test::IgnoredError()));
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
    const Imported old = ImportPath(empty, ImportMps, none);
    EXPECT_FALSE(old);
    EXPECT_EQ(none.Waypoints().size(), 0u);
    EXPECT_EQ(ErrorText(old.error), LoadStr(2169));
}

TEST_F(TextFormats, OldDocumentsAndNewerDatabasesAreRefused) {
    const auto path = CorpusPath("exchange/mps/mapsource.mps");
    const auto gdb = CorpusPath("exchange/gdb/gdb-sample-v3.gdb");
    VELKA_REQUIRE_CORPUS(path);
    VELKA_REQUIRE_CORPUS(gdb);
    std::string data = test::ReadFile(path);
    data[11] = 102; // the 'D' record's version
    CWaypointStore store;
    const Imported old = ImportBytes(data, ImportMps, store);
    EXPECT_FALSE(old);
    EXPECT_EQ(store.Waypoints().size(), 0u);
    EXPECT_EQ(ErrorText(old.error), LoadStr(2169));
    EXPECT_EQ(ErrorIcon(old.error), MB_ICONWARNING);

    // Version 109: a warning the user may accept, or refuse.
    std::string v3 = test::ReadFile(gdb);
    for (auto [policy, fAnswer, fImported] : {std::tuple{nvRefuse, true, false}, std::tuple{nvAsk, false, false},
                                              std::tuple{nvAsk, true, true}, std::tuple{nvAccept, false, true}}) {
        CWaypointStore s;
        ImportTarget target(s);
        target.m_newer = policy;
        std::vector<std::u16string> asked;
        target.m_fnAsk = [&, fAnswer = fAnswer](const CError& question) {
            asked.push_back(ErrorText(question));
            return fAnswer;
        };
        EXPECT_EQ(ImportGdb(std::span<const BYTE>(reinterpret_cast<const BYTE*>(v3.data()), v3.size()), target), fImported);
        EXPECT_EQ(s.Waypoints().size(), fImported ? 199u : 0u);
        // The notice is told exactly once: asked, kept as a warning, or as the refusal.
        std::vector<std::u16string> told = asked;
        for (const CError& w : target.m_warnings) told.push_back(ErrorText(w));
        if (target.m_error.HasText()) told.push_back(ErrorText(target.m_error));
        EXPECT_EQ(told, std::vector<std::u16string>{LoadStr(2168)}) << policy;
        EXPECT_EQ(static_cast<bool>(target.m_error), !fImported) << policy;
    }
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
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
    ASSERT_TRUE(ExportGpx(strPath, store, true, &tracks, test::IgnoredError()));

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

TEST_F(TextFormats, ImportKeepsWhatItAddedWhenTheStoreCannotBeSaved) {
    CWaypointStore source;
    const std::u16string name = u"Pier";
    source.CreateWaypoint(100000, 200000, 0, std::nullopt, &name);
    const std::string strGpx = m_dir.File("one.gpx");
    ASSERT_EQ(ExportExchangeFile(strGpx, ekWaypoints, 0, source), CError());
    // The store's folder is a file: nothing can be saved under it.
    const std::string strPlain = m_dir.File("plain");
    std::fclose(std::fopen(strPlain.c_str(), "wb"));
    CWaypointStore blocked;
    EXPECT_EQ(blocked.Load(strPlain + "/Waypoints.bin").code, ErrorCode::CannotOpenFile);
    const ExchangeImport result = ImportExchangeFile(strGpx, ekWaypoints, blocked);
    EXPECT_TRUE(result.Imported());
    EXPECT_EQ(result.saveError.code, ErrorCode::CannotCreateFolder);
    ASSERT_EQ(blocked.LiveWaypointCount(), 1u);
    EXPECT_EQ(blocked.Waypoints()[0]->strName, name);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty()) << "the caller shows the error";
}

TEST_F(TextFormats, ImportCommandProbesAndReports) {
    const auto rte = CorpusPath("exchange/ozi/ozi.rte");
    const auto junk = CorpusPath("exchange/not-ozi/gu.wpt");
    VELKA_REQUIRE_CORPUS(rte);
    VELKA_REQUIRE_CORPUS(junk);
    CWaypointStore store;
    const std::string strStore = m_dir.File("Waypoints.bin");
    ASSERT_EQ(store.Load(strStore), CError());
    const ExchangeImport routes = ImportExchangeFile(rte.string(), ekRoutes, store);
    ASSERT_TRUE(routes.Imported());
    EXPECT_EQ(routes.cRoutes, 2);
    EXPECT_EQ(routes.cWaypoints, 4);
    EXPECT_TRUE(std::filesystem::exists(strStore)); // saved after the change
    EXPECT_EQ(routes.saveError, CError());
    const ExchangeImport junkImport = ImportExchangeFile(junk.string(), ekWaypoints, store);
    EXPECT_FALSE(junkImport.Imported());
    EXPECT_EQ(ErrorText(junkImport.error), FormatMessageId(2129, FromUtf8(junk.string()).c_str()));
    const ExchangeImport missing = ImportExchangeFile(m_dir.File("absent.wpt"), ekWaypoints, store);
    EXPECT_EQ(missing.error.code, ErrorCode::CannotOpenFile);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());

    const auto filters = ExchangeFilters(ekRoutes, true);
    ASSERT_EQ(filters.size(), 4u);
    EXPECT_EQ(filters[0].first, LoadStr(2276));
    EXPECT_EQ(filters[0].second, U("*.gdb;*.rte;*.gpx"));
    EXPECT_EQ(ProposedExportName(ekWaypoints), U("Exported Waypoints"));
    const std::string strOut = m_dir.File("e.wpt");
    ASSERT_EQ(ExportExchangeFile(strOut, ekWaypoints, 2, store).code, ErrorCode::None);
    EXPECT_EQ(LastExportFormat(ekWaypoints), 2);
    EXPECT_EQ(test::ReadFile(strOut).rfind("OziExplorer Waypoint File", 0), 0u);

    // The type box still on another format: the name's extension decides,
    // and a name without a known extension gets the chosen format's.
    const std::string strGpx = m_dir.File("named.gpx");
    ASSERT_EQ(ExportExchangeFile(strGpx, ekWaypoints, 2, store).code, ErrorCode::None);
    EXPECT_EQ(test::ReadFile(strGpx).find("OziExplorer"), std::string::npos);
    EXPECT_NE(test::ReadFile(strGpx).find("<gpx"), std::string::npos);
    EXPECT_NE(LastExportFormat(ekWaypoints), 2);
    ASSERT_EQ(ExportExchangeFile(m_dir.File("plain"), ekWaypoints, 2, store).code, ErrorCode::None);
    EXPECT_EQ(test::ReadFile(m_dir.File("plain.wpt")).rfind("OziExplorer Waypoint File", 0), 0u);
    // A file that cannot be made is told with its name, never as success.
    const CError failed = ExportExchangeFile(m_dir.File("no/such/folder/x.wpt"), ekWaypoints, 2, store);
    EXPECT_EQ(failed.code, ErrorCode::CannotCreateFile);
    EXPECT_NE(ErrorText(failed).find(FromUtf8(m_dir.File("no/such/folder/x.wpt"))), std::u16string::npos);
}

} // namespace
} // namespace velka
