// The demo as the window runs it: the navigator started on the demo town
// with "Demo.gdb" beside the program (a route and the drive along it, made
// the way the demo script makes them) plans the route on the open map,
// follows it, announces every turn of the drive and arrives. No sound
// device: the prompts still reach the log, and the one sound error box
// does not hold the drive up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mapdata/map_parser.h"
#include "platform/text.h"
#include "routing/guidance.h"
#include "routing/map_leg_search.h"
#include "routing/route_geometry.h"
#include "routing/simulated_drive.h"
#include "tests/support/velka_process.h"
#include "waypoints/exchange.h"

namespace velka {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::string c_strBin = std::string(VELKA_BINARY_DIR) + "/bin";

// Line n (from 1) of the demo drive's CSV: index, longitude, latitude.
std::pair<double, double> DriveLatLon(int n) {
    std::ifstream in(c_strBin + "/demo/demo_drive.csv");
    std::string line;
    for (int i = 0; i < n && std::getline(in, line); ++i) {}
    double lon = 0, lat = 0;
    int k = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "%d,%lf,%lf", &k, &lon, &lat), 3) << line;
    return {lat, lon};
}

// The demo's program folder: the navigator linked in, its data beside it,
// and Demo.gdb with the route "Start" to "Finish" and a drive along the
// route computed on the town, 40 km/h, a fix a second.
class CDemoFolder {
public:
    explicit CDemoFolder(const test::TempDir& dir) : m_dir(dir) {
        const fs::path app = dir.File("app");
        fs::create_directory(app);
        std::error_code ec;
        fs::create_hard_link(c_strBin + "/velka", app / "velka", ec);
        if (ec) fs::copy_file(c_strBin + "/velka", app / "velka");
        for (const char* sz : {"0409.rll", "day.skin", "night.skin", "wav"})
            fs::create_symlink(c_strBin + "/" + sz, app / sz);
    }

    // Plans the route as the demo script does; false when the town has none.
    bool MakeDrive(Route& route) {
        std::unique_ptr<CMapParser> pMap = OpenMapFile(FromUtf8(MapPath()), c_dwOpenAll);
        if (!pMap) return false;
        CRoutePlanner planner(MakeMapLegSearch([&pMap] { return pMap.get(); }));
        planner.m_settings.fAvoidUTurns = planner.m_settings.fAvoidUnpaved = true;
        const auto from = DriveLatLon(1), to = DriveLatLon(150);
        for (auto [lat, lon] : {from, to}) {
            RoutePoint p;
            p.lX = DegreesToSemicircles(lon);
            p.lY = DegreesToSemicircles(lat);
            route.points.push_back(p);
        }
        if (!planner.Plan(route) || route.points.size() <= 2) return false;

        std::ostringstream gpx;
        gpx.precision(9);
        gpx << "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
            << "<rte><name>Demo</name><rtept lat=\"" << from.first << "\" lon=\"" << from.second
            << "\"><name>Start</name></rtept><rtept lat=\"" << to.first << "\" lon=\"" << to.second
            << "\"><name>Finish</name></rtept></rte><trk><name>Demo drive</name><trkseg>";
        const std::vector<GpsFix> fixes = SimulatedDrive(route, 40);
        for (std::size_t i = 0; i < fixes.size(); ++i) {
            char szTime[64];
            std::snprintf(szTime, sizeof szTime, "2025-11-20T12:%02zu:%02zuZ", i / 60, i % 60);
            gpx << "<trkpt lat=\"" << fixes[i].fLatitude << "\" lon=\"" << fixes[i].fLongitude << "\"><time>"
                << szTime << "</time></trkpt>";
        }
        gpx << "</trkseg></trk></gpx>";
        const std::string text = gpx.str();
        CWaypointStore store;
        std::vector<Track> tracks;
        ImportTarget target(store);
        target.m_pTracks = &tracks;
        target.m_newer = nvAccept;
        if (!ImportGpx({reinterpret_cast<const BYTE*>(text.data()), text.size()}, target)) return false;
        CError error;
        return ExportGdb(m_dir.File("app/Demo.gdb"), store, true, &tracks, error);
    }

    std::string Program() const { return m_dir.File("app/velka"); }
    static std::string MapPath() { return c_strDemoMap; }

private:
    const test::TempDir& m_dir;
};

// The sound names the navigator logged ("velka: prompt NAME"), in order.
std::vector<std::string> LoggedPrompts(const std::string& err) {
    std::vector<std::string> names;
    std::istringstream in(err);
    std::string line;
    const std::string c_strTag = "velka: prompt ";
    // Another thread's output may share a line: the tag is looked for anywhere.
    while (std::getline(in, line))
        if (const auto pos = line.find(c_strTag); pos != std::string::npos) {
            std::string name = line.substr(pos + c_strTag.size());
            name.erase(std::find_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\r'; }),
                       name.end());
            names.push_back(name);
        }
    return names;
}

TEST(DemoDrive, TheWindowGuidesTheDemoDriveWithEveryTurnAnnouncedAndArrives) {
    test::TempDir dir;
    CDemoFolder demo(dir);
    Route route;
    ASSERT_TRUE(demo.MakeDrive(route));
    // The turns of the drive, each said as its own word before the end.
    std::vector<std::string> turns;
    for (const RoutePoint& p : route.points) {
        const int nKind = ManoeuvreKindOf(p);
        if (nKind == mkNone || std::abs(p.lAngle) < 60) continue;
        std::vector<SoundName> list;
        CManoeuvrePrompt(PromptCodeOfKind(nKind), false, p.btExtra).BuildSoundList(list);
        turns.push_back(list.front().strName);
    }
    ASSERT_GE(turns.size(), 2u);

    CUserHome home;
    // Its own documents folder: the track file is not shared with other runs.
    fs::create_directory(home.File("documents"));
    std::ofstream(home.File("config") + "/user-dirs.dirs")
        << "XDG_DOCUMENTS_DIR=\"" << home.File("documents") << "\"\n";
    CVelka v(home, "demo", {CDemoFolder::MapPath()},
             {"VELKA_HEADLESS_FIX_INTERVAL=100", "VELKA_SOUND_DEVICE=velka-no-such-device"}, demo.Program());
    ASSERT_TRUE(v.WaitFor("velka: prompt RouteEnd", 90s)) << v.Err();
    v.Signal(SIGTERM);
    EXPECT_EQ(v.Wait(15s), 0);
    const std::string err = v.Err();

    std::vector<std::string> said = LoggedPrompts(err);
    const auto itEnd = std::find(said.begin(), said.end(), "RouteEnd");
    ASSERT_NE(itEnd, said.end()) << err;
    said.erase(itEnd + 1, said.end());
    EXPECT_EQ(std::count(said.begin(), said.end(), "RouteOut"), 0) << err;
    EXPECT_EQ(std::count(said.begin(), said.end(), "GPSConnected"), 1) << err;
    // Each turn is prepared ("Pre" then its word) and said again near it.
    std::size_t iSaid = 0;
    for (const std::string& strTurn : turns) {
        for (const std::string& strWord : {std::string("Pre"), strTurn, strTurn}) {
            while (iSaid < said.size() && said[iSaid] != strWord) ++iSaid;
            ASSERT_LT(iSaid, said.size()) << strTurn << " not announced\n" << err;
            ++iSaid;
        }
    }
    // Without a sound device the error is shown once, and the drive goes on.
    std::size_t cErrors = 0;
    for (std::size_t pos = err.find("error: "); pos != std::string::npos; pos = err.find("error: ", pos + 1))
        ++cErrors;
    EXPECT_EQ(cErrors, 1u) << err;
}

} // namespace
} // namespace velka
