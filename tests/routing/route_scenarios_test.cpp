// Route search on tiny maps compiled in the test: each scenario with the
// route it must take.
#include <gtest/gtest.h>

#include "tests/routing/tiny_map.h"

namespace velka {
namespace {

using test::CTinyMap;
using Nodes = std::vector<long long>;
using Tags = CTinyMap::Tags;

const Tags c_road = {{"highway", "residential"}};

Tags With(Tags tags, const std::string& k, const std::string& v) {
    tags.emplace_back(k, v);
    return tags;
}

// Routes and expects success.
CRouteRequest Route(CTinyMap& m, long long from, long long to, RouteOptions o = {}) {
    CRouteRequest r = m.Request(from, to, o);
    EXPECT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    return r;
}

// A square 1-2-4-3 with the side 1-2 one-way from 2 to 1.
void OneWaySquare(CTinyMap& m, const char* szOneWay) {
    m.Node(1, 0, 0);
    m.Node(2, 2, 0);
    m.Node(3, 0, 2);
    m.Node(4, 2, 2);
    if (std::string(szOneWay) == "-1") m.Way(10, {1, 2}, With(c_road, "oneway", "-1"));
    else m.Way(10, {2, 1}, With(c_road, "oneway", "yes"));
    m.Way(11, {1, 3}, c_road);
    m.Way(12, {3, 4}, c_road);
    m.Way(13, {4, 2}, c_road);
}

TEST(RouteScenario, OneWayStreetIsDrivenOnlyItsWay) {
    for (const char* szOneWay : {"yes", "-1"}) {
        CTinyMap m;
        OneWaySquare(m, szOneWay);
        std::string err;
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2)), (Nodes{1, 3, 4, 2})) << szOneWay;
        EXPECT_EQ(m.NodesOf(Route(m, 2, 1)), (Nodes{2, 1})) << szOneWay;
        // Both ends on the one-way road itself, against its direction: the
        // road alone would be a wrong-way drive.
        CRouteRequest r;
        r.ptStart = m.At(0.5, 0);
        r.ptEnd = m.At(1.5, 0);
        ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
        EXPECT_EQ(m.NodesOf(r), (Nodes{1, 3, 4, 2})) << szOneWay;
        // With its direction the road alone is the route.
        std::swap(r.ptStart, r.ptEnd);
        r.points.clear();
        ASSERT_TRUE(FindRoute(m.Map(), r));
        EXPECT_EQ(r.points.size(), 2u);
        EXPECT_NEAR(r.dLengthM, 76, 3); // 0.001 degrees of longitude at 47.1 N
    }
}

TEST(RouteScenario, EndBesideAJunctionOfAOneWayStreetIsReachedFromEveryRoad) {
    CTinyMap m;
    OneWaySquare(m, "yes");
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    // Under a metre short of node 1 on the one-way 2-1, as a junction's own
    // position lands once rounded to the map's grid: arriving at 1 from 3
    // reaches it, without the loop round to enter the one-way at 2.
    CRouteRequest r = m.Request(3, 1);
    r.ptEnd = m.At(0.01, 0);
    ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    EXPECT_EQ(m.NodesOf(r), (Nodes{3, 1}));
    EXPECT_LT(r.dLengthM, 225);
}

// A crossing at 5 with arms 1 (west), 2 (east), 3 (north), 4 (south), and
// longer ways round: 1-6-3 and 1-7-4.
void Crossing(CTinyMap& m) {
    m.Node(5, 0, 0);
    m.Node(1, -2, 0);
    m.Node(2, 2, 0);
    m.Node(3, 0, 2);
    m.Node(4, 0, -2);
    m.Node(6, -2, 3);
    m.Node(7, -2, -3);
    m.Way(21, {1, 5}, c_road);
    m.Way(22, {5, 2}, c_road);
    m.Way(23, {5, 3}, c_road);
    m.Way(24, {5, 4}, c_road);
    m.Way(25, {1, 6, 3}, c_road);
    m.Way(26, {1, 7, 4}, c_road);
}

TEST(RouteScenario, TurnRestrictionsOverANode) {
    {
        CTinyMap m;
        Crossing(m);
        std::string err;
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3)), (Nodes{1, 5, 3})); // without a restriction
    }
    {
        CTinyMap m;
        Crossing(m);
        m.Relation(90, {{'w', 21, "from"}, {'n', 5, "via"}, {'w', 23, "to"}},
                   {{"type", "restriction"}, {"restriction", "no_left_turn"}});
        std::string err;
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3)), (Nodes{1, 6, 3}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 4)), (Nodes{1, 5, 4})); // other turns stay open
        EXPECT_EQ(m.NodesOf(Route(m, 2, 3)), (Nodes{2, 5, 3})); // and from other roads
        // The restriction binds vehicles, not walkers.
        RouteOptions walk;
        walk.nVehicle = rvPedestrian;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3, walk)), (Nodes{1, 5, 3}));
    }
    {
        CTinyMap m;
        Crossing(m);
        m.Relation(91, {{'w', 21, "from"}, {'n', 5, "via"}, {'w', 22, "to"}},
                   {{"type", "restriction"}, {"restriction", "only_straight_on"}});
        std::string err;
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3)), (Nodes{1, 6, 3}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 4)), (Nodes{1, 7, 4}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2)), (Nodes{1, 5, 2}));
    }
    {
        // Only trucks are bound; restriction:hgv, and except= frees buses.
        CTinyMap m;
        Crossing(m);
        m.Relation(92, {{'w', 21, "from"}, {'n', 5, "via"}, {'w', 23, "to"}},
                   {{"type", "restriction"}, {"restriction:hgv", "no_left_turn"}});
        m.Relation(93, {{'w', 22, "from"}, {'n', 5, "via"}, {'w', 24, "to"}},
                   {{"type", "restriction"}, {"restriction", "no_left_turn"}, {"except", "psv"}});
        std::string err;
        ASSERT_TRUE(m.Compile(err)) << err;
        RouteOptions truck, bus;
        truck.nVehicle = rvTruck;
        bus.nVehicle = rvBus;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3)), (Nodes{1, 5, 3}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 3, truck)), (Nodes{1, 6, 3}));
        EXPECT_NE(m.NodesOf(Route(m, 2, 4)), (Nodes{2, 5, 4}));
        EXPECT_EQ(m.NodesOf(Route(m, 2, 4, bus)), (Nodes{2, 5, 4}));
    }
}

TEST(RouteScenario, RestrictionOverAViaWayBindsOnlyTrafficFromItsFromWay) {
    // 1-2 (from), 2-7-3 (via), 3-4 (to); a longer way round 2-8-4.
    CTinyMap m;
    m.Node(1, 0, 0);
    m.Node(2, 2, 0);
    m.Node(7, 3, 0);
    m.Node(3, 4, 0);
    m.Node(4, 4, 2);
    m.Node(8, 2, 3);
    m.Node(9, 3, -2);
    m.Way(31, {1, 2}, c_road);
    m.Way(32, {2, 7, 3}, c_road);
    m.Way(33, {3, 4}, c_road);
    m.Way(34, {2, 8, 4}, c_road);
    m.Way(35, {9, 7}, c_road); // a side road onto the via way
    m.Relation(94, {{'w', 31, "from"}, {'w', 32, "via"}, {'w', 33, "to"}},
               {{"type", "restriction"}, {"restriction", "no_left_turn"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    EXPECT_EQ(m.NodesOf(Route(m, 1, 4)), (Nodes{1, 2, 8, 4}));
    EXPECT_EQ(m.NodesOf(Route(m, 9, 4)), (Nodes{9, 7, 3, 4})); // from the side road
    CRouteRequest r;
    r.ptStart = m.At(2.5, 0); // on the via way itself
    r.ptEnd = m.NodePoint(4);
    ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    EXPECT_EQ(m.NodesOf(r), (Nodes{7, 3, 4}));
}

TEST(RouteScenario, UTurnsBannedByRelationOrAvoided) {
    // A street 1-2-3-5 with a side street 2-4; the start between 2 and 3.
    CTinyMap m;
    m.Node(1, 0, 0);
    m.Node(2, 2, 0);
    m.Node(3, 4, 0);
    m.Node(5, 6, 0);
    m.Node(4, 2, -1);
    m.Way(41, {1, 2}, c_road);
    m.Way(42, {2, 3}, c_road);
    m.Way(43, {2, 4}, c_road);
    m.Way(44, {3, 5}, c_road);
    m.Relation(95, {{'w', 42, "from"}, {'n', 3, "via"}, {'w', 42, "to"}},
               {{"type", "restriction"}, {"restriction", "no_u_turn"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    CRouteRequest r;
    r.ptStart = m.At(3, 0);
    r.ptEnd = m.NodePoint(1);
    r.fCourse = true;
    r.fCourseDeg = 90; // driving east: only the link forward
    r.fSpeedKmh = 30;
    ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    // The U-turn at 3 is banned; at the dead end 5 it is not.
    EXPECT_EQ(m.NodesOf(r), (Nodes{3, 5, 3, 2, 1}));
    r.points.clear();
    r.options.fAvoidUTurns = true;
    EXPECT_FALSE(FindRoute(m.Map(), r));
    EXPECT_EQ(r.error, RouteError::NoPath);
    // Driving west: only the link back.
    r.options.fAvoidUTurns = false;
    r.fCourseDeg = 265;
    r.points.clear();
    ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    EXPECT_EQ(m.NodesOf(r), (Nodes{2, 1}));
    // Too slow for the course to count: the shorter way back.
    r.fCourseDeg = 90;
    r.fSpeedKmh = 4;
    r.points.clear();
    ASSERT_TRUE(FindRoute(m.Map(), r)) << RouteErrorText(r.error);
    EXPECT_EQ(m.NodesOf(r), (Nodes{2, 1}));
}

TEST(RouteScenario, AccessTagsPerVehicle) {
    // Two ways from 1 to 2: the short one 1-3-2 tagged, the long one 1-4-2.
    auto build = [](CTinyMap& m, const Tags& tags) {
        m.Node(1, 0, 0);
        m.Node(2, 4, 0);
        m.Node(3, 2, 0.5);
        m.Node(4, 2, 3);
        m.Way(51, {1, 3, 2}, tags);
        m.Way(52, {1, 4, 2}, c_road);
    };
    RouteOptions car, walk, bike;
    walk.nVehicle = rvPedestrian;
    bike.nVehicle = rvBicycle;
    std::string err;
    {
        CTinyMap m;
        build(m, With(c_road, "access", "private"));
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, car)), (Nodes{1, 4, 2}));
    }
    {
        CTinyMap m;
        build(m, With(c_road, "motor_vehicle", "destination"));
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, car)), (Nodes{1, 3, 2}));
    }
    {
        CTinyMap m;
        build(m, {{"highway", "footway"}});
        ASSERT_TRUE(m.Compile(err)) << err;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, car)), (Nodes{1, 4, 2}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, walk)), (Nodes{1, 3, 2}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, bike)), (Nodes{1, 4, 2}));
    }
    {
        CTinyMap m;
        build(m, {{"highway", "footway"}, {"bicycle", "yes"}});
        ASSERT_TRUE(m.Compile(err)) << err;
        bike.fFastest = false; // fastest rides the street, faster than walking pace
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, bike)), (Nodes{1, 3, 2}));
    }
    {
        CTinyMap m;
        build(m, With(c_road, "toll", "yes"));
        ASSERT_TRUE(m.Compile(err)) << err;
        RouteOptions noToll;
        noToll.fAvoidTolls = true;
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, car)), (Nodes{1, 3, 2}));
        EXPECT_EQ(m.NodesOf(Route(m, 1, 2, noToll)), (Nodes{1, 4, 2}));
    }
}

TEST(RouteScenario, RoundaboutEntryCountsItsExit) {
    CTinyMap m;
    m.Node(1, 0, 1);  // north
    m.Node(2, 1, 0);  // east
    m.Node(3, 0, -1); // south
    m.Node(4, -1, 0); // west
    m.Node(11, 0, 4);
    m.Node(12, 4, 0);
    m.Node(13, 0, -4);
    m.Node(14, -4, 0);
    m.Way(60, {3, 2, 1, 4, 3}, {{"highway", "primary"}, {"junction", "roundabout"}});
    m.Way(61, {11, 1}, {{"highway", "primary"}, {"name", "North"}});
    m.Way(62, {12, 2}, {{"highway", "primary"}});
    m.Way(63, {13, 3}, {{"highway", "primary"}});
    m.Way(64, {14, 4}, {{"highway", "primary"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    const CRouteRequest r = Route(m, 13, 11);
    EXPECT_EQ(m.NodesOf(r), (Nodes{13, 3, 2, 1, 11}));
    std::size_t cEntries = 0;
    for (const RouteSearchPoint& p : r.points) {
        if ((p.btKind & 3) != 3) continue;
        ++cEntries;
        EXPECT_EQ(p.btExtra, 2); // the second exit
    }
    EXPECT_EQ(cEntries, 1u);
    for (const RouteSearchPoint& p : r.points) EXPECT_FALSE(p.btKind & c_btPointRoundaboutExit);
}

TEST(RouteScenario, RampAndAvoidedMotorway) {
    CTinyMap m;
    m.Node(1, 0, 0);
    m.Node(5, 2, 0);
    m.Node(2, 8, 0);
    m.Node(3, 0, 2);
    m.Node(6, 4, 2);
    m.Node(4, 12, 2);
    m.Node(7, 12, 0);
    m.Way(71, {1, 5, 2}, {{"highway", "primary"}});
    m.Way(72, {3, 6, 4}, {{"highway", "motorway"}, {"oneway", "yes"}});
    m.Way(73, {5, 6}, {{"highway", "motorway_link"}, {"oneway", "yes"}});
    m.Node(8, 14, 2);
    m.Way(74, {2, 7, 4}, {{"highway", "tertiary"}});
    m.Way(75, {4, 8}, {{"highway", "tertiary"}});
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    const CRouteRequest r = Route(m, 1, 8);
    EXPECT_EQ(m.NodesOf(r), (Nodes{1, 5, 6, 4, 8}));
    bool fRamp = false;
    for (const RouteSearchPoint& p : r.points)
        if (p.btKind & c_btPointRamp) {
            fRamp = true;
            EXPECT_TRUE(p.btKind & (c_btPointManoeuvre | c_btPointKeep));
            EXPECT_GT(p.nAngle, -90); // a bend left, not a reversal
            EXPECT_LT(p.nAngle, 0);
        }
    EXPECT_TRUE(fRamp);
    RouteOptions avoid;
    avoid.fAvoidHighways = true;
    EXPECT_EQ(m.NodesOf(Route(m, 1, 8, avoid)), (Nodes{1, 5, 2, 7, 4, 8}));
}

TEST(RouteScenario, FailuresAreReported) {
    CTinyMap m;
    OneWaySquare(m, "yes");
    m.Node(8, 40, 40);
    m.Node(9, 41, 40);
    m.Way(80, {8, 9}, c_road); // an island
    std::string err;
    ASSERT_TRUE(m.Compile(err)) << err;
    CRouteRequest r;
    r.ptStart = m.At(0, 0);
    r.ptEnd = m.At(0.2, 0); // about 15 m
    EXPECT_FALSE(FindRoute(m.Map(), r));
    EXPECT_EQ(r.error, RouteError::TooClose);
    r = m.Request(1, 9);
    EXPECT_FALSE(FindRoute(m.Map(), r));
    EXPECT_EQ(r.error, RouteError::NoPath);
    EXPECT_TRUE(r.points.empty());
    r = m.Request(1, 2);
    r.ptEnd = m.At(100, 100);
    EXPECT_FALSE(FindRoute(m.Map(), r));
    EXPECT_EQ(r.error, RouteError::NoRoadNearEnd);
    // A failed search leaves the graph as it was: the next one works.
    const std::size_t cLinks = RoadGraphOf(m.Map()).Links().size();
    r = m.Request(1, 2);
    EXPECT_TRUE(FindRoute(m.Map(), r));
    EXPECT_EQ(RoadGraphOf(m.Map()).Links().size(), cLinks);
}

} // namespace
} // namespace velka
