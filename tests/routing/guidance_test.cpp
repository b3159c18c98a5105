// Guidance replayed on synthetic routes: manoeuvre kinds and leads, prompts
// announced before their turn, arrival said once, leaving the route
// re-routes at once, and the planner's lists around the position.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/geodesy.h"
#include "routing/guidance.h"
#include "routing/navigator.h"
#include "routing/route_geometry.h"
#include "routing/route_planner.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

constexpr double c_dLat0 = 47.1, c_dLon0 = 9.5;
constexpr double c_dMPerDegLat = 111195.0;
double MPerDegLon() { return c_dMPerDegLat * std::cos(c_dLat0 * 3.14159265358979 / 180); }

// A point x metres east and y metres north of the origin.
RoutePoint At(double x, double y, BYTE btKind = rkRouting) {
    RoutePoint p;
    p.lX = DegreesToSemicircles(c_dLon0 + x / MPerDegLon());
    p.lY = DegreesToSemicircles(c_dLat0 + y / c_dMPerDegLat);
    p.btKind = btKind;
    return p;
}

// North for 600 m, a right turn, east for 600 m; shape points every 50 m.
Route LRoute() {
    Route r;
    r.points.push_back(At(0, 0, rkVia));
    for (int y = 50; y < 600; y += 50) r.points.push_back(At(0, y));
    r.points.push_back(At(0, 600, rkRouting | rkManoeuvre));
    for (int x = 50; x < 600; x += 50) r.points.push_back(At(x, 600));
    r.points.push_back(At(600, 600, rkVia));
    RecomputeAngles(r);
    return r;
}

GpsFix Fix(double x, double y, float fCourse, float fSpeed, double t) {
    GpsFix f;
    f.SetPosition(static_cast<float>(c_dLon0 + x / MPerDegLon()), static_cast<float>(c_dLat0 + y / c_dMPerDegLat));
    f.SetCourse(fCourse);
    f.SetSpeed(fSpeed);
    f.SetTime(t);
    return f;
}

struct Recorder {
    std::vector<std::pair<double, std::vector<std::string>>> prompts; // (distance to turn, sounds)
    int cEnd = 0, cOut = 0, cCalculated = 0, cReroutes = 0, cStops = 0;
    double dToTurn = 0;
};

CGuidance::Host MakeHost(Recorder& rec, std::function<bool(std::int32_t, std::int32_t, std::size_t, std::size_t)> fnReroute = {}) {
    CGuidance::Host h;
    h.fnSpeak = [&rec](std::unique_ptr<CManoeuvrePrompt> p, std::size_t, double) {
        std::vector<SoundName> list;
        p->BuildSoundList(list);
        std::vector<std::string> v;
        for (auto& s : list) v.push_back(s.strName);
        rec.prompts.emplace_back(rec.dToTurn, v);
    };
    h.fnRouteEvent = [&rec](int n) {
        if (n == rpEnd) ++rec.cEnd;
        if (n == rpOut) ++rec.cOut;
        if (n == rpCalculated) ++rec.cCalculated;
    };
    h.fnReroute = [&rec, fnReroute](std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext) {
        ++rec.cReroutes;
        return fnReroute ? fnReroute(lX, lY, iVia, iNext) : false;
    };
    h.fnSoundMs = [](const std::string&) { return 700u; };
    h.fnNavigationOn = [] { return true; };
    return h;
}

TEST(Guidance, ManoeuvreKindsAndLeads) {
    auto kind = [](long a, BYTE btExtra = 0, BYTE btKind = rkRouting | rkManoeuvre) {
        RoutePoint p;
        p.btKind = btKind;
        p.lAngle = a;
        p.btExtra = btExtra;
        return ManoeuvreKindOf(p);
    };
    EXPECT_EQ(kind(15), mkNone);
    EXPECT_EQ(kind(16), mkKeepRight);
    EXPECT_EQ(kind(-61), mkLeft);
    EXPECT_EQ(kind(161), mkUTurnRight);
    EXPECT_EQ(kind(-111), mkSharpLeft);
    EXPECT_EQ(kind(70, 1, rkRouting | rkManoeuvre | rkKeep), mkRight);
    EXPECT_EQ(kind(20, 0, rkRouting | rkManoeuvre | rkKeep), mkKeepLeft);
    EXPECT_EQ(kind(0, 3, rkRouting | rkManoeuvre | rkRoundaboutEntry), mkToRoundabout);
    EXPECT_EQ(kind(90, 0, rkVia), mkNone);
    EXPECT_EQ(FarLead(50, 4), 238);
    EXPECT_EQ(NearLead(5, 2), 30);
    EXPECT_EQ(ManoeuvreKindText(mkToRoundabout, 12, 2), "12 TOROUND 2");
}

TEST(Guidance, RecomputedAnglesGatherNearbyBends) {
    Route r;
    r.points = {At(0, 0, rkVia), At(0, 100, rkRouting | rkManoeuvre), At(20, 120), At(200, 120, rkVia)};
    RecomputeAngles(r);
    // 45 at the manoeuvre and 45 more within 40 m: one right turn of 90.
    EXPECT_NEAR(r.points[1].lAngle, 90, 2);
    EXPECT_NEAR(r.points[2].lAngle, 45, 2);
}

TEST(Guidance, DriveAnnouncesTheTurnBeforeItAndArrivesOnce) {
    Route r = LRoute();
    Recorder rec;
    CGuidance g(MakeHost(rec));
    g.Reset(&r);
    const double v = 50, step = v / 3.6;
    double t = 0;
    // Along the route, one fix a second.
    for (double s = 0; s <= 1250 && g.ActiveRoute(); s += step, t += 1) {
        const double x = s <= 600 ? 0 : s - 600, y = s <= 600 ? s : 600;
        rec.dToTurn = 600 - s;
        g.Step(Fix(x, y, s <= 600 ? 0.0f : 90.0f, static_cast<float>(v), t));
        if (rec.cEnd) g.Reset(nullptr);
    }
    ASSERT_EQ(rec.prompts.size(), 2u);
    EXPECT_EQ(rec.prompts[0].second, (std::vector<std::string>{"Pre", "TurnRight"}));
    EXPECT_EQ(rec.prompts[1].second, (std::vector<std::string>{"TurnRight"}));
    // The immediate prompt ends, with time to react, before the turn.
    EXPECT_GT(rec.prompts[1].first, step * (CGuidance::c_dReactionS + 0.7));
    EXPECT_GT(rec.prompts[0].first, rec.prompts[1].first);
    EXPECT_EQ(rec.cEnd, 1);
    EXPECT_EQ(rec.cOut, 0);
}

TEST(Guidance, DistancesFollowTheRouteWhenItsPointsAreReplaced) {
    Route r = LRoute();
    Recorder rec;
    CGuidance g(MakeHost(rec));
    g.Reset(&r);
    g.Step(Fix(0, 120, 0, 50, 0));
    EXPECT_NEAR(g.State().dwDistFinal, 1080, 5);
    EXPECT_NEAR(g.State().dwDistManoeuvre, 480, 5);
    // The same number of points, the second leg twice as long (as a
    // re-route or an edit leaves it): the sums are taken again.
    std::vector<RoutePoint> pts = r.points;
    for (std::size_t i = 13; i < pts.size(); ++i) pts[i] = At(100.0 * static_cast<double>(i - 12), 600, pts[i].btKind);
    r.points = std::move(pts);
    g.Step(Fix(0, 130, 0, 50, 1.0 / 86400));
    EXPECT_NEAR(g.State().dwDistFinal, 470 + 1200, 5);
    // A point added at the end counts too.
    r.points.push_back(At(1300, 600, rkVia));
    g.Step(Fix(0, 140, 0, 50, 2.0 / 86400));
    EXPECT_NEAR(g.State().dwDistFinal, 460 + 1300, 5);
}

TEST(Guidance, LeavingTheRouteReroutesWithinOneFix) {
    Route r = LRoute();
    const std::size_t cBefore = r.points.size();
    Recorder rec;
    std::size_t iViaSeen = 0, iNextSeen = 0;
    CRoutePlanner planner([](const LegRequest& leg, std::vector<RoutePoint>& out) {
        // A straight road to the target.
        RoutePoint p;
        p.lX = leg.ptTo.lX * 2;
        p.lY = leg.ptTo.lY * 2;
        p.btKind = rkRouting;
        out.push_back(p);
        return true;
    });
    CGuidance g(MakeHost(rec, [&](std::int32_t lX, std::int32_t lY, std::size_t iVia, std::size_t iNext) {
        iViaSeen = iVia;
        iNextSeen = iNext;
        return planner.Reroute(r, lX, lY, iVia, iNext);
    }));
    g.Reset(&r);
    double t = 0;
    for (double y = 0; y <= 200; y += 14) g.Step(Fix(0, y, 0, 50, t++));
    EXPECT_EQ(g.State().nState, nsOnRoute);
    // West, away from the road: the first fix beyond 100 m re-routes.
    int nFixes = 0;
    for (double x = -14; x >= -140 && rec.cReroutes == 0; x -= 14) {
        g.Step(Fix(x, 200, 270, 50, t++));
        ++nFixes;
        if (x < -100) break;
    }
    EXPECT_EQ(rec.cReroutes, 1);
    EXPECT_LE(nFixes, 8);
    EXPECT_EQ(rec.cOut, 1);
    EXPECT_EQ(rec.cCalculated, 1);
    // Aimed at the end, the first via point ahead; the new list is the
    // points behind, the position, the road found, the end.
    EXPECT_EQ(iViaSeen, cBefore - 1);
    EXPECT_EQ(r.points.size(), iNextSeen + 3);
    // The position point stands in the new list as a point made by routing,
    // never as a via point a later re-route would aim back at.
    const RoutePoint& pos = r.points[iNextSeen];
    EXPECT_EQ(pos.btKind & rkVia, 0);
    EXPECT_EQ(g.State().nState, nsOnRoute);
}

TEST(Guidance, OffRouteWithoutReroutingStaysOffUntilBack) {
    Route r = LRoute();
    Recorder rec;
    CGuidance g(MakeHost(rec));
    g.m_settings.nOffRoute = 0;
    g.Reset(&r);
    double t = 0;
    for (double y = 0; y <= 200; y += 14) g.Step(Fix(0, y, 0, 50, t++));
    for (double x = -20; x >= -300; x -= 20) g.Step(Fix(x, 200, 270, 50, t++));
    EXPECT_EQ(g.State().nState, nsOffRoute);
    EXPECT_EQ(rec.cOut, 1);
    EXPECT_EQ(rec.cReroutes, 0);
    g.Step(Fix(0, 400, 0, 50, t++));
    EXPECT_EQ(g.State().nState, nsOnRoute);
}

TEST(Guidance, OnePointRouteReachedWithinTwentyMetres) {
    Route r;
    r.points.push_back(At(0, 100, rkVia));
    Recorder rec;
    CGuidance g(MakeHost(rec));
    g.Reset(&r);
    g.Step(Fix(0, 70, 0, 30, 0));
    EXPECT_EQ(rec.cEnd, 0);
    g.Step(Fix(0, 85, 0, 30, 1));
    EXPECT_EQ(rec.cEnd, 1);
}

TEST(Guidance, PlannerListsAroundThePosition) {
    test::ScopedSettings settings;
    int cSearches = 0;
    CRoutePlanner planner([&](const LegRequest&, std::vector<RoutePoint>& out) {
        ++cSearches;
        out.push_back(At(5, 5));
        return true;
    });
    Route one;
    one.points.push_back(At(0, 0, rkVia));
    EXPECT_TRUE(planner.Plan(one));
    EXPECT_EQ(one.points.size(), 1u);
    EXPECT_EQ(cSearches, 0);
    Route empty;
    EXPECT_TRUE(planner.Plan(empty));
    EXPECT_FALSE(planner.LeadIn(empty, 0, 0));

    Route r;
    r.points = {At(0, 0, rkVia), At(0, 500, rkVia), At(500, 500, rkVia)};
    planner.m_settings.nStyle = 1;
    EXPECT_TRUE(planner.Plan(r));
    EXPECT_EQ(r.points.size(), 3u);
    planner.m_settings.nStyle = 0;
    EXPECT_TRUE(planner.Plan(r));
    EXPECT_EQ(r.points.size(), 5u);
    EXPECT_EQ(cSearches, 2);
    const RoutePoint pos = At(-50, 0);
    EXPECT_TRUE(planner.LeadIn(r, pos.lX, pos.lY));
    ASSERT_EQ(r.points.size(), 7u);
    EXPECT_EQ(r.points[0].btKind, rkRouting);
    EXPECT_EQ(r.points[0].lX, pos.lX);
}

TEST(Guidance, StoredKeepPointsKeepTheirSide) {
    // The store keeps no keep side: a reloaded route derives it from the
    // angle, so a right fork is still "keep right".
    test::ScopedSettings settings;
    CWaypointStore store;
    Route* r = store.CreateRoute(nullptr, 1.0);
    for (RoutePoint p : {At(0, 0, rkVia), At(0, 100, rkRouting | rkManoeuvre | rkKeep), At(30, 160), At(60, 220, rkVia)}) {
        p.btExtra = 1;
        store.AppendPoint(*r, p);
    }
    RestoreLoadedRoute(*r);
    ASSERT_EQ(ManoeuvreKindOf(r->points[1]), mkKeepRight);
    const std::vector<BYTE> bytes = store.Serialize();
    CWaypointStore reloaded;
    SetRouteLoadedHook(&RestoreLoadedRoute);
    const bool fParsed = reloaded.Parse(bytes);
    SetRouteLoadedHook({});
    ASSERT_TRUE(fParsed);
    const Route& back = *reloaded.Routes().front();
    EXPECT_EQ(back.points[1].btExtra, 1);
    EXPECT_EQ(ManoeuvreKindOf(back.points[1]), mkKeepRight);
}

} // namespace
} // namespace velka
