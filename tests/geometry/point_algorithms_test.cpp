#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "geometry/map_types.h"
#include "geometry/point_algorithms.h"
#include "platform/debug.h"

namespace velka {
namespace {

TEST(MapRect, EmptyAccumulationAndSetOperations) {
    CMapRect rc = CMapRect::MakeEmpty();
    EXPECT_TRUE(rc.IsEmpty());
    EXPECT_TRUE(rc.IsInverted());
    EXPECT_EQ(rc.Width(), 0);
    rc.Add(CMapPoint{5, -7});
    EXPECT_EQ(rc, (CMapRect{5, -7, 5, -7}));
    EXPECT_TRUE(rc.IsEmpty()); // zero width and height
    EXPECT_FALSE(rc.IsInverted());
    EXPECT_TRUE(rc.Contains(5, -7));

    const CMapPoint pts[] = {{-10, 0}, {20, 30}};
    rc.Add(pts, 2);
    EXPECT_EQ(rc, (CMapRect{-10, -7, 20, 30}));
    EXPECT_EQ(rc.Width(), 30);
    EXPECT_EQ(rc.Height(), 37);
    EXPECT_EQ(rc.CenterX(), 5);
    EXPECT_EQ(rc.CenterY(), 11); // 23 / 2 truncates
    EXPECT_EQ((CMapRect{-3, -3, 0, 0}).CenterX(), -1);
    EXPECT_FALSE(rc.IsEmpty());
    EXPECT_TRUE(rc.Contains(CMapRect{-10, -7, 20, 30}));
    EXPECT_FALSE(rc.Contains(CMapRect{-11, 0, 0, 0}));

    // Inclusive bounds: touching rectangles intersect.
    EXPECT_TRUE(rc.Intersects(CMapRect{20, 30, 40, 40}));
    EXPECT_FALSE(rc.Intersects(CMapRect{21, 0, 40, 40}));
    EXPECT_FALSE(rc.Intersects(CMapRect{0, -20, 5, -8}));
    const CMapRect cut = CMapRect::Intersection(rc, CMapRect{0, 0, 100, 100});
    EXPECT_EQ(cut, (CMapRect{0, 0, 20, 30}));
    EXPECT_TRUE(CMapRect::Intersection(rc, CMapRect{50, 50, 60, 60}).IsInverted());

    CMapRect other{100, 100, 110, 120};
    rc.Add(other);
    EXPECT_EQ(rc, (CMapRect{-10, -7, 110, 120}));
    rc.Inflate(2, 3);
    EXPECT_EQ(rc, (CMapRect{-12, -10, 112, 123}));

    // Extreme coordinates neither overflow the centre nor the width.
    const CMapRect all{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(all.CenterX(), 0);
    EXPECT_EQ(all.Width(), INT32_MAX);
}

TEST(PolylineLength, ExactAndFixedPointAgree) {
    const CMapPoint pts[] = {{0, 0}, {1000, 0}, {100, 100000}, {100000, 0}, {100, 0}};
    EXPECT_EQ(PolylineLength(pts, 0, 4, 0.7f), 314752);
    EXPECT_EQ(PolylineLengthFast(pts, 0, 4, 0.7f), 314596);
    EXPECT_EQ(PolylineLength(pts, 1, 2, 0.7f), 100003); // one segment, rounded
    EXPECT_EQ(PolylineLength(pts, 2, 2, 0.7f), 0);

    // Random segments in each regime of the fixed-point method stay close to
    // the exact length: short ones within a unit or two, medium ones within
    // the >> 5 pre-scaling.
    std::mt19937 rng(3);
    for (int regime = 0; regime < 3; ++regime) {
        const std::int32_t limit = regime == 0 ? 2047 : regime == 1 ? 32767 : 1048575;
        std::uniform_int_distribution<std::int32_t> d(-limit, limit);
        std::uniform_real_distribution<float> k(0.05f, 1.0f);
        for (int i = 0; i < 3000; ++i) {
            const CMapPoint seg[] = {{0, 0}, {d(rng), d(rng)}};
            const float kk = k(rng);
            const auto exact = PolylineLength(seg, 0, 1, kk);
            const auto fast = PolylineLengthFast(seg, 0, 1, kk);
            // The factor rounds to 1/256 (off by up to 1/512), the products
            // truncate to whole units, the medium regime works in 32-unit steps.
            const double tolerance =
                4 + 0.001 * std::abs(seg[1].lX) / std::sqrt(kk) + (regime == 2 ? 64 : 0);
            ASSERT_LE(std::abs(exact - fast), tolerance) << seg[1].lX << "," << seg[1].lY << " kk " << kk;
        }
    }

    // A segment of 2^20 units or more is measured exactly, after an assertion.
    const unsigned before = AssertionCount();
    const CMapPoint longSeg[] = {{0, 0}, {0, 3000000}, {-2000000000, 2000000000}};
    EXPECT_EQ(PolylineLengthFast(longSeg, 0, 2, 0.5f), PolylineLength(longSeg, 0, 2, 0.5f));
    EXPECT_EQ(AssertionCount(), before + 2);
}

TEST(NearestPoint, OnSegment) {
    CMapPoint pt;
    EXPECT_NEAR(NearestPointOnSegment({0, 0}, {100, 20}, {50, 30}, 0.5f, pt), 338, 1e-3);
    EXPECT_EQ(pt, (CMapPoint{64, 13}));
    EXPECT_NEAR(NearestPointOnSegment({0, 0}, {100, 20}, {150, 130}, 0.5f, pt), 12725, 1e-3);
    EXPECT_EQ(pt, (CMapPoint{100, 20}));
    EXPECT_NEAR(NearestPointOnSegment({0, 0}, {100, 20}, {-10, -10}, 0.5f, pt), 125, 1e-3);
    EXPECT_EQ(pt, (CMapPoint{0, 0}));
    // Degenerate segment: the distance to its point, x weighted by k^2.
    EXPECT_NEAR(NearestPointOnSegment({7, 7}, {7, 7}, {17, 10}, 0.5f, pt), 25 + 9, 1e-3);
    EXPECT_EQ(pt, (CMapPoint{7, 7}));
    // Far apart map coordinates keep whole-unit precision.
    EXPECT_NEAR(NearestPointOnSegment({-1000000000, 536870912}, {1000000000, 536870912},
                                      {123456789, 536870000}, 0.6f, pt),
                912.0 * 912.0, 1.0);
    EXPECT_EQ(pt, (CMapPoint{123456789, 536870912}));
}

TEST(NearestPoint, OnPolylineAndClosedOutline) {
    const CMapPoint tri[] = {{0, 0}, {100, 0}, {0, 100}};
    CMapPoint pt;
    std::size_t iSeg = 99;
    // (-5, 50) is nearest to the closing edge from (0, 100) back to (0, 0).
    EXPECT_NEAR(NearestPointOnPolyline(tri, 3, {-5, 50}, 1, true, pt, iSeg), 25, 1e-3);
    EXPECT_EQ(pt, (CMapPoint{0, 50}));
    EXPECT_EQ(iSeg, 2u);
    // Open, that edge does not exist.
    EXPECT_GT(NearestPointOnPolyline(tri, 3, {-5, 50}, 1, false, pt, iSeg), 25);
    EXPECT_EQ(iSeg, 1u);
    // A tie keeps the earlier segment: (100, 0) ends segment 0 and starts 1.
    EXPECT_NEAR(NearestPointOnPolyline(tri, 3, {110, -10}, 1, false, pt, iSeg), 200, 1e-3);
    EXPECT_EQ(iSeg, 0u);
    // One point is a segment of zero length.
    EXPECT_NEAR(NearestPointOnPolyline(tri, 1, {3, 4}, 1, false, pt, iSeg), 25, 1e-3);
    EXPECT_EQ(iSeg, 0u);
    // No points: -1, nothing set, an assertion.
    const unsigned before = AssertionCount();
    pt = {42, 42};
    EXPECT_EQ(NearestPointOnPolyline(tri, 0, {3, 4}, 1, false, pt, iSeg), -1.0f);
    EXPECT_EQ(pt, (CMapPoint{42, 42}));
    EXPECT_EQ(AssertionCount(), before + 1);
}

TEST(Nearness, PolylineAndPolygon) {
    const CMapPoint line[] = {{0, 0}, {1000, 0}, {1000, 1000}};
    EXPECT_TRUE(IsNearPolyline(line, 3, {500, 10}, 10, 1, false));
    EXPECT_FALSE(IsNearPolyline(line, 3, {500, 11}, 10, 1, false));
    // k = 0.5 halves x distances: 20 units of x are 10 units of distance.
    EXPECT_TRUE(IsNearPolyline(line, 3, {1020, 500}, 10, 0.5f, false));
    EXPECT_FALSE(IsNearPolyline(line, 3, {1022, 500}, 10, 0.5f, false));
    // The closing segment only when closed.
    EXPECT_FALSE(IsNearPolyline(line, 3, {500, 505}, 10, 1, false));
    EXPECT_TRUE(IsNearPolyline(line, 3, {500, 505}, 10, 1, true));
    EXPECT_FALSE(IsNearPolyline(line, 1, {0, 0}, 10, 1, false));

    const CMapPoint square[] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    EXPECT_TRUE(IsNearPolygon(square, 4, {50, 50}, 1, 1));  // inside
    EXPECT_TRUE(IsNearPolygon(square, 4, {105, 50}, 5, 1)); // near the outline
    EXPECT_FALSE(IsNearPolygon(square, 4, {106, 50}, 5, 1));
    EXPECT_FALSE(IsNearPolygon(square, 4, {5000, 5000}, 5, 1));
}

// Reference parity: a ray to the left just above p's line never meets a
// vertex, so plain crossing counting is exact off the boundary.
bool ReferenceInside(const std::vector<CMapPoint>& poly, const CMapPoint& p) {
    bool inside = false;
    const double py = p.lY + 1e-3;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const CMapPoint& a = poly[i];
        const CMapPoint& b = poly[(i + 1) % poly.size()];
        if ((a.lY > py) == (b.lY > py)) continue;
        const double x = a.lX + (py - a.lY) * (b.lX - a.lX) / (b.lY - a.lY);
        if (x < p.lX) inside = !inside;
    }
    return inside;
}

bool OnBoundary(const std::vector<CMapPoint>& poly, const CMapPoint& p) {
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const CMapPoint& a = poly[i];
        const CMapPoint& b = poly[(i + 1) % poly.size()];
        const long long cross = static_cast<long long>(b.lX - a.lX) * (p.lY - a.lY) -
                                static_cast<long long>(b.lY - a.lY) * (p.lX - a.lX);
        if (cross == 0 && std::min(a.lX, b.lX) <= p.lX && p.lX <= std::max(a.lX, b.lX) &&
            std::min(a.lY, b.lY) <= p.lY && p.lY <= std::max(a.lY, b.lY))
            return true;
    }
    return false;
}

TEST(PointInPolygon, BoundaryVerticesAndTouchingLines) {
    const CMapPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_TRUE(PointInPolygon(square, 4, {5, 10}));  // on the top edge
    EXPECT_TRUE(PointInPolygon(square, 4, {10, 10})); // a vertex
    EXPECT_TRUE(PointInPolygon(square, 4, {5, 5}));
    EXPECT_FALSE(PointInPolygon(square, 4, {11, 5}));
    EXPECT_FALSE(PointInPolygon(square, 4, {-1, 10})); // level with the top, outside
    const CMapPoint diamond[] = {{5, 0}, {10, 5}, {5, 10}, {0, 5}};
    EXPECT_FALSE(PointInPolygon(diamond, 4, {20, 5})); // level with two vertices
    EXPECT_TRUE(PointInPolygon(diamond, 4, {5, 5}));
    EXPECT_FALSE(PointInPolygon(diamond, 4, {20, 10})); // touches the top vertex only
    EXPECT_TRUE(PointInPolygon(diamond, 4, {7, 7}));
    // A run of vertices on the line left of p: crossed (below to above)
    // counts once, touched (below to below) counts nothing.
    const CMapPoint crossed[] = {{0, 0}, {2, 5}, {4, 5}, {6, 10}, {20, 10}, {20, 0}};
    EXPECT_TRUE(PointInPolygon(crossed, 6, {15, 5}));
    EXPECT_FALSE(PointInPolygon(crossed, 6, {1, 5}));
    const CMapPoint touched[] = {{0, 0}, {2, 5}, {4, 5}, {6, 0}, {20, 0}, {20, 10}, {0, 10}};
    EXPECT_TRUE(PointInPolygon(touched, 7, {15, 5}));
    EXPECT_TRUE(PointInPolygon(touched, 7, {1, 5}));
    EXPECT_TRUE(PointInPolygon(touched, 7, {3, 5})); // on the run
    EXPECT_FALSE(PointInPolygon(touched, 7, {3, 4})); // inside the notch
    // Repeated points are skipped; all points equal is nothing.
    const CMapPoint dup[] = {{0, 0}, {0, 0}, {10, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    EXPECT_TRUE(PointInPolygon(dup, 7, {5, 5}));
    EXPECT_FALSE(PointInPolygon(dup, 7, {15, 5}));
    const CMapPoint same[] = {{3, 3}, {3, 3}, {3, 3}};
    EXPECT_FALSE(PointInPolygon(same, 3, {3, 3}));
    const unsigned before = AssertionCount();
    EXPECT_FALSE(PointInPolygon(square, 2, {1, 1}));
    EXPECT_EQ(AssertionCount(), before + 1);
    // Huge coordinates: the crossing test is exact.
    const CMapPoint big[] = {{-2000000000, -2000000000}, {2000000000, -1999999999}, {0, 2000000000}};
    EXPECT_TRUE(PointInPolygon(big, 3, {0, 0}));
    EXPECT_TRUE(PointInPolygon(big, 3, {1999999999, -1999999999})); // 3e-10 above the edge
    EXPECT_FALSE(PointInPolygon(big, 3, {1999999999, -2000000000}));
}

TEST(PointInPolygon, MatchesReferenceOnRandomLatticePolygons) {
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> coord(0, 12);
    std::uniform_int_distribution<int> count(3, 9);
    for (int n = 0; n < 400; ++n) {
        std::vector<CMapPoint> poly(static_cast<std::size_t>(count(rng)));
        for (auto& v : poly) v = {coord(rng), coord(rng)};
        for (int x = -1; x <= 13; ++x)
            for (int y = -1; y <= 13; ++y) {
                const CMapPoint p{x, y};
                const bool expected = OnBoundary(poly, p) || ReferenceInside(poly, p);
                ASSERT_EQ(PointInPolygon(poly.data(), poly.size(), p), expected)
                    << "polygon " << n << " point " << x << "," << y;
            }
    }
}

} // namespace
} // namespace velka
