// The road graph of a compiled map, and the three search methods against
// each other on the demo town.
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "tests/routing/tiny_map.h"
#include "tests/support/test_support.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka {
namespace {

using test::CTinyMap;

TEST(RoadGraph, LinksJoinConsecutiveNodesInTheStoredDirection) {
    // A three-point street with nodes at its ends only, a one-way street
    // from its end, and a dead-end stub with a single node.
    CTinyMap m;
    m.Node(1, 0, 0);
    m.Node(2, 1, 1);
    m.Node(3, 2, 0);
    m.Node(4, 4, 0);
    m.Node(5, 2, -2);
    m.Way(1, {1, 2, 3}, {{"highway", "residential"}});
    m.Way(2, {3, 4}, {{"highway", "residential"}, {"oneway", "yes"}});
    m.Way(3, {3, 5}, {{"highway", "residential"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    CRoadGraph& g = RoadGraphOf(m.Map());
    ASSERT_TRUE(g.Build({}));
    EXPECT_EQ(g.NodeCount(), 4u); // 1, 3, 4, 5: 2 is no junction
    EXPECT_EQ(g.Links().size(), 5u);
    EXPECT_EQ(g.OneWayLinks(), 1u);
    std::size_t cFromThree = 0;
    for (const RoutingLink& l : g.Links()) {
        EXPECT_NE(l.nFromNode, l.nToNode);
        EXPECT_NE(l.nFromPoint, l.nToPoint);
        if (l.nFromPoint == 0 && l.nToPoint == 2) {
            // The whole bent street: two diagonals of a 0.001 degree square.
            EXPECT_NEAR(l.fLength * 20000000.0 / 1073741824.0, 2 * std::hypot(76.0, 111.2), 3);
        }
        const RoutingNode& n = g.Nodes()[static_cast<std::size_t>(l.nFromNode)];
        bool fListed = false;
        for (std::int32_t k = n.nFirstLink; k >= 0; k = g.Links()[static_cast<std::size_t>(k)].cNextLink)
            fListed |= k == l.cLink;
        EXPECT_TRUE(fListed);
        if (l.wRoadFlags & c_wRoadOneWay) {
            EXPECT_TRUE(l.fAscending);
        }
        cFromThree += g.Nodes()[static_cast<std::size_t>(l.nFromNode)].cLinks == 3;
    }
    EXPECT_EQ(cFromThree, 3u); // node 3 has three road pieces, each with a link leaving it
    // A second build reads nothing again.
    const auto* pLinks = g.Links().data();
    EXPECT_TRUE(g.Build({}));
    EXPECT_EQ(g.Links().data(), pLinks);
}

TEST(RoadGraph, ACancelledBuildLeavesNothingAndTheNextBuilds) {
    CTinyMap m;
    m.Node(1, 0, 0);
    m.Node(2, 2, 0);
    m.Way(1, {1, 2}, {{"highway", "residential"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    CRoadGraph& g = RoadGraphOf(m.Map());
    std::atomic<bool> fCancel{true};
    RouteProgress progress;
    progress.pCancel = &fCancel;
    GraphError e = GraphError::None;
    EXPECT_FALSE(g.Build(progress, &e));
    EXPECT_EQ(e, GraphError::Cancelled);
    EXPECT_FALSE(g.IsBuilt());
    EXPECT_TRUE(g.Links().empty());
    fCancel = false;
    EXPECT_TRUE(g.Build(progress));
    EXPECT_EQ(g.Links().size(), 2u);
}

// The demo town compiled once for the tests below.
class DemoTown : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::TempDir dir;
        const std::string path = dir.File("demo.osm");
        { std::ofstream(path) << mapc::DemoTownOsm(); }
        mapc::CStyle style;
        std::string err;
        ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
        mapc::CMapcOptions options;
        options.inputs = {path};
        mapc::CMapcMap map;
        ASSERT_TRUE(mapc::CompileOsm(options, style, map, err)) << err;
        s_bytes = new std::vector<BYTE>;
        ASSERT_TRUE(mapc::EncodeZem(map, *s_bytes, err)) << err;
        s_pMap = OpenMapMemory(u"demo.zem", s_bytes->data(), s_bytes->size(), c_dwOpenAll).release();
    }
    static void TearDownTestSuite() {
        delete s_pMap;
        delete s_bytes;
    }
    static CZemParser& Map() { return *dynamic_cast<CZemParser*>(s_pMap); }
    static inline std::vector<BYTE>* s_bytes = nullptr;
    static inline CMapParser* s_pMap = nullptr;
};

TEST_F(DemoTown, SearchMethodsAgreeAndFastestAndShortestKeepTheirOrder) {
    CRoadGraph& g = RoadGraphOf(Map());
    ASSERT_TRUE(g.Build({}));
    const CMapRect& rc = Map().Bounds();
    std::mt19937 rng(18);
    std::uniform_int_distribution<LONG> x(rc.left, rc.right), y(rc.top, rc.bottom);
    std::size_t cRoutes = 0;
    for (int i = 0; i < 300; ++i) {
        const CMapPoint a{x(rng), y(rng)}, b{x(rng), y(rng)};
        for (bool fFastest : {false, true}) {
            CRouteRequest q[3];
            const SearchMethod methods[3] = {SearchMethod::Dijkstra, SearchMethod::DijkstraLazy, SearchMethod::AStar};
            for (int k = 0; k < 3; ++k) {
                q[k].ptStart = a;
                q[k].ptEnd = b;
                q[k].options.fFastest = fFastest;
                q[k].options.nVehicle = i % 2 ? rvCar : rvPedestrian;
                q[k].method = methods[k];
                FindRoute(g, q[k]);
                EXPECT_EQ(q[k].error, q[0].error) << i;
            }
            if (q[0].error != RouteError::None) continue;
            ++cRoutes;
            // The lazy search makes the same transitions in the same order.
            EXPECT_EQ(q[1].dCost, q[0].dCost) << i;
            ASSERT_EQ(q[1].points.size(), q[0].points.size()) << i;
            for (std::size_t p = 0; p < q[0].points.size(); ++p) EXPECT_EQ(q[1].points[p].pt, q[0].points[p].pt);
            EXPECT_NEAR(q[2].dCost, q[0].dCost, 1e-4 * q[0].dCost + 1e-3) << i;
        }
        // Each mode's route is no worse than the other's by its own cost.
        CRouteRequest fast, shortest;
        fast.ptStart = shortest.ptStart = a;
        fast.ptEnd = shortest.ptEnd = b;
        shortest.options.fFastest = false;
        if (!FindRoute(g, fast) || !FindRoute(g, shortest) || fast.points.size() < 3) continue;
        EXPECT_LE(fast.dCostFastest, shortest.dCostFastest * (1 + 1e-4)) << i;
        EXPECT_LE(shortest.dCostShortest, fast.dCostShortest * (1 + 1e-4)) << i;
    }
    EXPECT_GT(cRoutes, 200u);
}

} // namespace
} // namespace velka
