// Routes on OpenStreetMap extracts against pgRouting's directed shortest
// lengths on the same data (../shared/data/routes): never shorter (that
// would be a leak through a one-way street or a restriction), equal on
// nearly all pairs the oracle models fully, and found wherever it found one.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "routing/route_search.h"
#include "tests/support/test_support.h"
#include "tests/routing/tiny_map.h"
#include "tools/mapc/mapc_osm.h"

namespace velka {
namespace {

struct OracleCase {
    const char* szExtract;
    const char* szPairs;
};

class Oracle : public ::testing::TestWithParam<OracleCase> {
protected:
    // Compiles the extract with the map compiler and opens it as m_pZem.
    void CompileExtract(const std::filesystem::path& pbf) {
        std::string err;
        ASSERT_TRUE(test::CompileOsmFile(pbf.string(), m_bytes, err)) << err;
        m_pMap = OpenMapMemory(u"oracle.zem", m_bytes.data(), m_bytes.size(), c_dwOpenAll);
        m_pZem = dynamic_cast<CZemParser*>(m_pMap.get());
        ASSERT_NE(m_pZem, nullptr);
    }

    std::vector<BYTE> m_bytes;
    std::unique_ptr<CMapParser> m_pMap;
    CZemParser* m_pZem = nullptr;
};

TEST_P(Oracle, ShortestRoutesAgreeWithPgRouting) {
    const auto pbf = test::CorpusPath(std::string("osm/") + GetParam().szExtract);
    const auto pairs = test::CorpusPath(std::string("routes/") + GetParam().szPairs);
    VELKA_REQUIRE_CORPUS(pbf);
    VELKA_REQUIRE_CORPUS(pairs);
    ASSERT_NO_FATAL_FAILURE(CompileExtract(pbf));
    CZemParser* pZem = m_pZem;

    std::ifstream in(pairs);
    std::string line;
    std::size_t cPairs = 0, cUnflagged = 0, cEqual = 0, cFlaggedDiffer = 0, cMissing = 0;
    while (std::getline(in, line)) {
        const auto q = nlohmann::json::parse(line);
        auto at = [](double lat, double lon) {
            return CMapPoint{mapc::DegreesToMapUnits(lon), mapc::DegreesToMapUnits(lat)};
        };
        CRouteRequest r;
        r.ptStart = at(q["from_lat"], q["from_lon"]);
        r.ptEnd = at(q["to_lat"], q["to_lon"]);
        r.options.fFastest = false;
        // The oracle's car graph has no tracks: leave out unpaved roads.
        r.options.fAvoidUnpaved = true;
        ++cPairs;
        const double dOracle = q["dist_directed_m"];
        const bool fFlagged = !q["flags"].empty();
        const bool fFound = FindRoute(*pZem, r);
        const double dTolerance = 0.01 * dOracle + 20;
        const bool fEqual = fFound && std::fabs(r.dLengthM - dOracle) <= dTolerance;
        if (!fFlagged) {
            // Everything the oracle models: never shorter, found, nearly always equal.
            ++cUnflagged;
            cEqual += fEqual;
            if (fFound) EXPECT_GE(r.dLengthM, dOracle - dTolerance) << line;
            else ++cMissing, std::printf("no route: %s\n", line.substr(0, 160).c_str());
        } else if (!fEqual) {
            // The oracle drove where a restriction, an access tag or an area
            // forbids: ours may be longer, or missing when only that way leads
            // there, or shorter when an end lies on a private driveway (ours
            // starts on the nearest road open to the car).
            ++cFlaggedDiffer;
            std::printf("flagged %s: %s m against %.0f m\n", q["flags"].dump().c_str(),
                        fFound ? std::to_string(static_cast<long>(r.dLengthM)).c_str() : "no route", dOracle);
        }
    }
    EXPECT_EQ(cPairs, 200u);
    EXPECT_GE(cEqual * 100, cUnflagged * 95) << cEqual << " of " << cUnflagged << " unflagged pairs equal";
    // Every pair the oracle routes is routed here too (the ends are source
    // nodes: rounded to the map's grid they must still count as junctions).
    EXPECT_EQ(cMissing, 0u);
    std::printf("%s: %zu pairs, %zu of %zu unflagged equal within 1 %% + 20 m, %zu unflagged without route, "
                "%zu flagged differ\n",
                GetParam().szExtract, cPairs, cEqual, cUnflagged, cMissing, cFlaggedDiffer);
}

// A* with its bound finds the cost Dijkstra finds, on random pairs over the
// whole extract (1 000 by default; VELKA_ROUTE_PAIRS sets the count, the
// release check runs 10 000).
TEST_P(Oracle, AStarFindsDijkstrasCostOnRandomPairs) {
    const auto pbf = test::CorpusPath(std::string("osm/") + GetParam().szExtract);
    VELKA_REQUIRE_CORPUS(pbf);
    ASSERT_NO_FATAL_FAILURE(CompileExtract(pbf));
    CZemParser* pZem = m_pZem;
    CRoadGraph& g = RoadGraphOf(*pZem);
    ASSERT_TRUE(g.Build({}));
    const char* pszPairs = std::getenv("VELKA_ROUTE_PAIRS");
    const int cPairs = pszPairs ? std::max(1, std::atoi(pszPairs)) : 1000;
    const CMapRect& rc = pZem->Bounds();
    std::mt19937 rng(4242);
    std::uniform_int_distribution<LONG> x(rc.left, rc.right), y(rc.top, rc.bottom);
    int cRouted = 0;
    for (int i = 0; i < cPairs; ++i) {
        CRouteRequest q[2];
        const SearchMethod methods[2] = {SearchMethod::Dijkstra, SearchMethod::AStar};
        const CMapPoint a{x(rng), y(rng)}, b{x(rng), y(rng)};
        for (int k = 0; k < 2; ++k) {
            q[k].ptStart = a;
            q[k].ptEnd = b;
            q[k].options.fFastest = i % 2 == 0;
            q[k].method = methods[k];
            FindRoute(g, q[k]);
        }
        ASSERT_EQ(q[1].error, q[0].error) << i;
        if (q[0].error != RouteError::None) continue;
        ++cRouted;
        EXPECT_NEAR(q[1].dCost, q[0].dCost, 1e-4 * q[0].dCost + 1e-3) << i;
    }
    std::printf("%s: %d random pairs, %d routed, A* against Dijkstra compared on each\n", GetParam().szExtract, cPairs,
                cRouted);
    EXPECT_GT(cRouted * 4, cPairs); // most random points lie near a road
}

INSTANTIATE_TEST_SUITE_P(Extracts, Oracle,
                         ::testing::Values(OracleCase{"andorra-20200501.osm.pbf", "andorra-20200501.routes.jsonl"},
                                           OracleCase{"liechtenstein-20150727.osm.pbf",
                                                      "liechtenstein-20150727.routes.jsonl"}));

} // namespace
} // namespace velka
