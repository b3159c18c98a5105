// Guidance replayed on routes computed on maps compiled from OpenStreetMap
// extracts: simulated drives along them arrive, arrival is said once, and
// every turn of 60 degrees or more is announced before the car reaches it.
#include <array>
#include <cmath>
#include <fstream>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "routing/guidance.h"
#include "routing/map_leg_search.h"
#include "routing/route_geometry.h"
#include "routing/route_planner.h"
#include "routing/simulated_drive.h"
#include "tests/support/test_support.h"
#include "tests/routing/tiny_map.h"

namespace velka {
namespace {

// An extract with its pairs file, or (none) pairs drawn in its box.
struct GuideCase {
    const char* szExtract;
    const char* szPairs;
    double dSouth = 0, dWest = 0, dNorth = 0, dEast = 0;
};

// The first pairs of the file, or pseudo-random pairs in the box.
std::vector<std::array<double, 4>> Pairs(const GuideCase& c) {
    std::vector<std::array<double, 4>> v;
    if (c.szPairs) {
        std::ifstream in(test::CorpusPath(std::string("routes/") + c.szPairs));
        std::string line;
        while (std::getline(in, line)) {
            const auto q = nlohmann::json::parse(line);
            v.push_back({q["from_lat"], q["from_lon"], q["to_lat"], q["to_lon"]});
        }
        return v;
    }
    unsigned x = 12345;
    auto next = [&x] { return (x = x * 1103515245u + 12345u) / 4294967296.0; };
    for (int i = 0; i < 60; ++i) {
        const double a = next(), b = next(), c2 = next(), d = next();
        v.push_back({c.dSouth + a * (c.dNorth - c.dSouth), c.dWest + b * (c.dEast - c.dWest),
                     c.dSouth + c2 * (c.dNorth - c.dSouth), c.dWest + d * (c.dEast - c.dWest)});
    }
    return v;
}

class GuideCorpus : public ::testing::TestWithParam<GuideCase> {};

TEST_P(GuideCorpus, DrivesArriveAndEverySharpTurnIsAnnouncedFirst) {
    const auto pbf = test::CorpusPath(std::string("osm/") + GetParam().szExtract);
    VELKA_REQUIRE_CORPUS(pbf);
    if (GetParam().szPairs) VELKA_REQUIRE_CORPUS(test::CorpusPath(std::string("routes/") + GetParam().szPairs));
    std::string err;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(test::CompileOsmFile(pbf.string(), bytes, err)) << err;
    std::unique_ptr<CMapParser> pMap = OpenMapMemory(u"guide.zem", bytes.data(), bytes.size(), c_dwOpenAll);
    auto* pZem = dynamic_cast<CZemParser*>(pMap.get());
    ASSERT_NE(pZem, nullptr);
    CRoutePlanner planner(MakeMapLegSearch([pZem] { return pZem; }));
    planner.m_settings.fAvoidUnpaved = false;

    int cDrives = 0, cTurns = 0, cArrived = 0, cMissed = 0;
    for (const auto& q : Pairs(GetParam())) {
        if (cDrives >= 25) break;
        const std::string line = nlohmann::json(q).dump();
        Route route;
        for (auto [lat, lon] : {std::pair{q[0], q[1]}, std::pair{q[2], q[3]}}) {
            RoutePoint p;
            p.lX = DegreesToSemicircles(lon);
            p.lY = DegreesToSemicircles(lat);
            route.points.push_back(p);
        }
        planner.Plan(route);
        if (route.points.size() < 4) continue; // no road route between them
        ++cDrives;
        std::set<std::size_t> turns, announced;
        for (std::size_t j = 1; j + 1 < route.points.size(); ++j)
            if (ManoeuvreKindOf(route.points[j]) != mkNone && std::labs(route.points[j].lAngle) >= 60) turns.insert(j);

        int cEnd = 0;
        bool fStopped = false;
        CGuidance::Host host;
        CGuidance* pGuidance = nullptr;
        host.fnSpeak = [&](std::unique_ptr<CManoeuvrePrompt> p, std::size_t iPoint, double dDistance) {
            // Said before the point is reached: still ahead, at a distance.
            EXPECT_LE(pGuidance->State().iNextPoint, iPoint) << line;
            EXPECT_GT(dDistance, 0) << line;
            // A "then" chain covers the manoeuvres that follow.
            std::size_t j = iPoint;
            for (const CManoeuvrePrompt* c = p.get(); c && j < route.points.size(); c = c->m_pThen.get()) {
                announced.insert(j);
                do ++j;
                while (j < route.points.size() && ManoeuvreKindOf(route.points[j]) == mkNone);
            }
        };
        host.fnRouteEvent = [&](int n) { cEnd += n == rpEnd; };
        host.fnStopNavigation = [&] { fStopped = true; };
        host.fnSoundMs = [](const std::string&) { return 800u; };
        host.fnNavigationOn = [&] { return !fStopped; };
        CGuidance guidance(host);
        pGuidance = &guidance;
        guidance.Reset(&route);
        bool fFirst = true;
        for (const GpsFix& fix : SimulatedDrive(route, 50)) {
            guidance.Step(fix);
            // A turn the first fix is already at cannot be announced first.
            if (fFirst) {
                turns.erase(turns.begin(), turns.lower_bound(guidance.State().iNextPoint));
                fFirst = false;
            }
            if (fStopped) break;
        }
        // Arrival is said at most once; a drive that does not arrive and a
        // turn not announced first are listed.
        EXPECT_LE(cEnd, 1) << line;
        if (cEnd == 1) ++cArrived;
        else std::printf("not arrived: %s\n", line.c_str());
        cTurns += static_cast<int>(turns.size());
        for (std::size_t j : turns)
            if (!announced.count(j)) {
                ++cMissed;
                std::printf("not announced: %s: turn at point %zu\n", line.c_str(), j);
            }
    }
    EXPECT_GE(cDrives, 20);
    EXPECT_EQ(cArrived, cDrives) << cArrived << " of " << cDrives << " drives arrived";
    EXPECT_LE(cMissed * 100, cTurns) << cMissed << " of " << cTurns << " turns not announced first";
    std::printf("%s: %d drives, %d arrived; %d turns of 60 degrees or more, %d not announced first\n",
                GetParam().szExtract, cDrives, cArrived, cTurns, cMissed);
}

INSTANTIATE_TEST_SUITE_P(Extracts, GuideCorpus,
                         ::testing::Values(GuideCase{"andorra-20200501.osm.pbf", "andorra-20200501.routes.jsonl"},
                                           GuideCase{"liechtenstein-20150727.osm.pbf",
                                                     "liechtenstein-20150727.routes.jsonl"},
                                           GuideCase{"monaco-20210421.osm.pbf", nullptr, 43.727, 7.411, 43.750, 7.437}));

} // namespace
} // namespace velka
