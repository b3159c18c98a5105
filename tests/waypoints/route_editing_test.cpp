// Route editing on the store: references counted as points come and go,
// insertion where the route grows least, routing points dropped when an
// existing route is edited, and the route found under a click.
#include <gtest/gtest.h>

#include "waypoints/route_editing.h"

namespace velka {
namespace {

// A waypoint x, y hundredths of a degree from (10 E, 50 N), in semicircles.
Waypoint* Add(CWaypointStore& store, double x, double y) {
    const auto semi = [](double d) { return static_cast<LONG>(d * 2147483648.0 / 180.0); };
    return store.CreateWaypoint(semi(10 + x / 100), semi(50 + y / 100), 0, std::nullopt, nullptr);
}

TEST(RouteEditing, PointsKeepTheirWaypointsCountedAndInsertGoesWhereTheRouteGrowsLeast) {
    CWaypointStore store;
    Waypoint* a = Add(store, 0, 0);
    Waypoint* b = Add(store, 10, 0);
    Waypoint* c = Add(store, 20, 0);
    Waypoint* d = Add(store, 5, 1);
    Waypoint* e = Add(store, -5, 0);
    CRouteEditor editor;
    EXPECT_FALSE(editor.Add(store, *a)); // nothing edited yet
    Route* pRoute = editor.Start(store, *a);
    ASSERT_NE(pRoute, nullptr);
    EXPECT_EQ(pRoute->strName, u"001");
    EXPECT_TRUE(editor.Add(store, *c));
    EXPECT_TRUE(editor.Insert(store, *b)); // between a and c
    EXPECT_TRUE(editor.Insert(store, *d)); // between a and b
    EXPECT_TRUE(editor.Insert(store, *e)); // before a: the route grows least there
    std::vector<Waypoint*> order;
    for (const RoutePoint& p : pRoute->points) {
        order.push_back(p.pWaypoint);
        EXPECT_EQ(p.btKind, rkVia);
    }
    EXPECT_EQ(order, (std::vector<Waypoint*>{e, a, d, b, c}));
    EXPECT_EQ(b->cRefs, 1);
    EXPECT_TRUE(editor.Contains(*d));

    // Twice in the route, removed at once; a waypoint not in it is no change.
    editor.Add(store, *b);
    EXPECT_EQ(b->cRefs, 2);
    EXPECT_TRUE(editor.Remove(store, *b));
    EXPECT_EQ(b->cRefs, 0);
    EXPECT_FALSE(editor.Contains(*b));
    EXPECT_FALSE(editor.Remove(store, *b));
    EXPECT_EQ(pRoute->points.size(), 4u);
    EXPECT_EQ(editor.End(), pRoute);
    EXPECT_FALSE(editor.IsEditing());
}

TEST(RouteEditing, ContinuingAPlannedRouteKeepsTheUsersPointsAndTheRouteIsFoundByItsLegs) {
    CWaypointStore store;
    Waypoint* a = Add(store, 0, 0);
    Waypoint* b = Add(store, 10, 0);
    Route* pRoute = store.CreateRoute(nullptr, 0);
    RoutePoint p;
    p.pWaypoint = a;
    store.AppendPoint(*pRoute, p);
    RoutePoint q;
    q.btKind = rkRouting | rkManoeuvre;
    q.lX = (a->lX + b->lX) / 2;
    q.lY = a->lY + 1000000;
    store.AppendPoint(*pRoute, q);
    p.pWaypoint = b;
    store.AppendPoint(*pRoute, p);

    // Found by the bend through q, not by the straight line a-b.
    EXPECT_EQ(RouteNear(store, {a->lX / 4 + q.lX / 4, a->lY / 4 + q.lY / 4}, 50), pRoute);
    EXPECT_EQ(RouteNear(store, {(a->lX + b->lX) / 4, a->lY / 2}, 50), nullptr);

    CRouteEditor editor;
    editor.Continue(store, *pRoute);
    EXPECT_EQ(editor.Editing(), pRoute);
    ASSERT_EQ(pRoute->points.size(), 2u);
    EXPECT_EQ(pRoute->points[1].pWaypoint, b);
    // Deleted routes are not found.
    ASSERT_EQ(store.DeleteRoute(pRoute), CError());
    EXPECT_EQ(RouteNear(store, {a->lX / 2, a->lY / 2}, 50), nullptr);
}

} // namespace
} // namespace velka
