// velkatool guide: plans a route on a native map and replays guidance along
// it without a window, printing the route and then each event in time order
// as JSON lines.
//
//   guide MAP --from LAT,LON --to LAT,LON [--via LAT,LON]... [--vehicle V]
//         [--shortest] [--avoid tolls,uturns,highways,unpaved]
//         (--simulate KMH | --drive TRACK.gdb|.mps|.gpx|CAPTURE.nmea)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "geometry/geodesy.h"
#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "routing/guidance.h"
#include "routing/map_leg_search.h"
#include "routing/prompt_player.h"
#include "routing/route_geometry.h"
#include "routing/route_planner.h"
#include "routing/route_search.h"
#include "routing/simulated_drive.h"
#include "tools/commands.h"
#include "tools/route_args.h"
#include "waypoints/exchange.h"
#include "waypoints/track_reader.h"

namespace velka::tool {
namespace {

using json = nlohmann::json;
constexpr const char* c_szName = "guide";

struct GuideArgs : RouteArgs {
    RoutingSettings settings;
    double dSimulateKmh = 0;
    std::string strDrive;
};

int ParseArgs(const Args& args, GuideArgs& a) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        const bool fValue = i + 1 < args.size();
        int nExit = c_nExitOk;
        const ArgTaken taken = TakeRouteArg(c_szName, args, i, a, nExit);
        if (taken == ArgTaken::Error) return nExit;
        if (taken == ArgTaken::Yes) continue;
        if (s == "--simulate" && fValue) {
            char* pEnd = nullptr;
            a.dSimulateKmh = std::strtod(args[++i].c_str(), &pEnd);
            if (*pEnd || !(a.dSimulateKmh > 0 && a.dSimulateKmh < 1000))
                return UsageError(c_szName, "bad speed '" + args[i] + "' (km/h)");
        } else if (s == "--drive" && fValue) {
            a.strDrive = args[++i];
        } else {
            return UsageError(c_szName, "unknown argument '" + s + "'");
        }
    }
    if (a.strMap.empty()) return UsageError(c_szName, "expected a map file");
    if (!a.from || !a.to) return UsageError(c_szName, "expected --from and --to");
    if ((a.dSimulateKmh > 0) == !a.strDrive.empty()) return UsageError(c_szName, "expected --simulate KMH or --drive TRACK");
    a.settings.nVehicle = a.options.nVehicle;
    a.settings.nOptimization = a.options.fFastest ? 0 : 1;
    a.settings.fAvoidTolls = a.options.fAvoidTolls;
    a.settings.fAvoidUTurns = a.options.fAvoidUTurns;
    a.settings.fAvoidHighways = a.options.fAvoidHighways;
    a.settings.fAvoidUnpaved = a.options.fAvoidUnpaved;
    return c_nExitOk;
}

class CCollectSink : public IGpsSink {
public:
    void OnFix(const GpsFix& fix) override {
        if (fix.Has(gfPosition)) m_fixes.push_back(fix);
    }
    void UpdateLastPosition(float, float, float, bool, float, bool) override {}
    void ResetSatellites(int) override {}
    void AddSatellite(const GpsSatellite&) override {}
    void SatellitesCompleted() override {}
    double FixupGPSEpoch(double d) override { return d; }
    double FixupClock(double d) override { return d; }
    void ReportNoPosition() override {}
    void CountChecksumError() override {}
    std::vector<GpsFix> m_fixes;
};

// A recorded drive: MapSource tracks, GPX tracks or an NMEA capture.
bool ReadDrive(const std::string& strPath, std::vector<GpsFix>& fixes) {
    CTrackReader reader;
    if (reader.Open(strPath)) {
        GpsFix fix;
        while (reader.NextPoint(fix))
            if (fix.Has(gfPosition)) fixes.push_back(fix);
        return true;
    }
    CMappedFile file;
    if (!file.Open(strPath)) {
        std::fprintf(stderr, "velkatool guide: cannot open '%s': %s\n", strPath.c_str(), std::strerror(file.LastError()));
        return false;
    }
    const auto bytes = file.Bytes();
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.find("<gpx") != std::string_view::npos) {
        CWaypointStore store;
        std::vector<Track> tracks;
        ImportTarget target(store);
        target.m_pTracks = &tracks;
        target.m_newer = nvAccept;
        if (!ImportGpx(bytes, target)) return false;
        for (const Track& tr : tracks) {
            const TrackPoint* pPrev = nullptr;
            for (const TrackPoint& p : tr.points) {
                GpsFix fix;
                const float lon = static_cast<float>(SemicirclesToDegrees(p.lLon));
                const float lat = static_cast<float>(SemicirclesToDegrees(p.lLat));
                fix.SetPosition(lon, lat);
                if (p.fTime) fix.SetTime(p.dwTime / 86400.0 + 25569.0);
                if (pPrev && p.fTime && pPrev->fTime && p.dwTime > pPrev->dwTime) {
                    const float plon = static_cast<float>(SemicirclesToDegrees(pPrev->lLon));
                    const float plat = static_cast<float>(SemicirclesToDegrees(pPrev->lLat));
                    fix.SetCourse(Course(plon, plat, lon, lat));
                    fix.SetSpeed(static_cast<float>(Distance(plon, plat, lon, lat) / (p.dwTime - pPrev->dwTime) * 3.6));
                }
                fixes.push_back(fix);
                pPrev = &p;
            }
        }
        return true;
    }
    CCollectSink sink;
    CNmea0183Protocol decoder(4800, true);
    decoder.m_pSink = &sink;
    decoder.Start();
    CNmeaTextFeeder feeder(&decoder);
    feeder.Feed(text);
    feeder.Finish();
    fixes = std::move(sink.m_fixes);
    return true;
}

double Round2(double d) { return std::round(d * 100) / 100; }

} // namespace

int RunGuide(const Args& args) {
    GuideArgs a;
    if (const int n = ParseArgs(args, a); n != c_nExitOk) return n;
    CError error;
    std::unique_ptr<CMapParser> pMap = OpenMapFile(FromUtf8(a.strMap), c_dwOpenAll, &error);
    CZemParser* pZem = dynamic_cast<CZemParser*>(pMap.get());
    if (!pZem) {
        PrintError(error);
        std::fprintf(stderr, "velkatool guide: '%s' is not a native map with a road graph\n", a.strMap.c_str());
        return c_nExitFailed;
    }
    // The fix of the replay, for the start link of searches.
    GpsFix current;
    CRoutePlanner planner(MakeMapLegSearch([pZem] { return pZem; }, [&current] { return current; }));
    planner.m_settings = a.settings;

    Route route;
    for (const auto& [lat, lon] : a.Stops()) {
        RoutePoint p;
        p.lX = DegreesToSemicircles(lon);
        p.lY = DegreesToSemicircles(lat);
        route.points.push_back(p);
    }
    const std::size_t cStops = route.points.size();
    planner.Plan(route);
    if (route.points.size() <= cStops) {
        std::fprintf(stderr, "velkatool guide: no road route between the given points\n");
        return c_nExitFailed;
    }
    json pts = json::array();
    for (const RoutePoint& p : route.points)
        pts.push_back({{"lat", PointLat(p)}, {"lon", PointLon(p)}, {"angle", p.lAngle}, {"kind", ManoeuvreKindOf(p)}});
    std::printf("%s\n", json{{"route", {{"length_m", Round2(LegLength(route, 0, route.points.size()))},
                                        {"points", std::move(pts)}}}}.dump().c_str());

    std::vector<GpsFix> fixes;
    if (a.dSimulateKmh > 0) {
        fixes = SimulatedDrive(route, a.dSimulateKmh);
    } else if (!ReadDrive(a.strDrive, fixes)) {
        return c_nExitFailed;
    }
    if (fixes.empty()) {
        std::fprintf(stderr, "velkatool guide: '%s' holds no positions\n", a.strDrive.c_str());
        return c_nExitFailed;
    }

    // The prompts take as long as the generated sounds say.
    CPromptPlayer player(nullptr, ProgramDir() + "/wav");
    const double t0 = fixes.front().Has(gfTime) ? fixes.front().dTime : 0;
    double t = 0;
    bool fArrived = false, fDone = false;
    CGuidance::Host host;
    host.fnSpeak = [&](std::unique_ptr<CManoeuvrePrompt> p, std::size_t iPoint, double dDistance) {
        std::vector<SoundName> list;
        p->BuildSoundList(list);
        json names = json::array();
        for (const SoundName& s : list) names.push_back(s.strName);
        std::printf("%s\n", json{{"t", t}, {"prompt", names}, {"point", iPoint}, {"distance_m", Round2(dDistance)}}.dump().c_str());
    };
    CGuidance* pGuidance = nullptr;
    host.fnRouteEvent = [&](int n) {
        if (n == rpEnd) {
            fArrived = true;
            return;
        }
        // Leaving the route and the new route are said too: the point is
        // the next one of the route as it stands.
        std::vector<SoundName> list;
        CEventPrompt::Route(n)->BuildSoundList(list);
        const NavigationState& s = pGuidance->State();
        std::printf("%s\n", json{{"t", t}, {"prompt", {list.front().strName}}, {"point", s.iNextPoint},
                                 {"distance_m", s.dwDistNextPoint}}.dump().c_str());
    };
    host.fnReroute = [&](std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext) {
        const bool fOk = planner.Reroute(route, lX, lY, iVia, iNext);
        std::printf("%s\n", json{{"t", t}, {"reroute", fOk}, {"ms", planner.LastRoutingMs()}}.dump().c_str());
        return fOk;
    };
    host.fnStopNavigation = [&] { fDone = true; };
    host.fnSoundMs = [&player](const std::string& s) { return player.SoundDurationMs(s); };
    host.fnNavigationOn = [&] { return !fDone; };
    CGuidance guidance(std::move(host));
    pGuidance = &guidance;
    guidance.m_settings.nOffRoute = 1;
    guidance.m_settings.nStyle = a.settings.nStyle;
    guidance.Reset(&route);
    for (const GpsFix& fix : fixes) {
        if (fDone) break;
        current = fix;
        t = fix.Has(gfTime) ? std::round((fix.dTime - t0) * 86400.0 * 1000) / 1000 : t + 1;
        guidance.Step(fix);
        if (fDone) guidance.Reset(nullptr);
    }
    std::printf("%s\n", json{{"t", t}, {"arrived", fArrived}}.dump().c_str());
    return c_nExitOk;
}

} // namespace velka::tool
