#include <gtest/gtest.h>

#include <cmath>

#include "geometry/geodesy.h"
#include "geometry/self_check.h"
#include "platform/debug.h"

namespace velka {
namespace {

TEST(Geodesy, ReferenceValues) {
    EXPECT_NEAR(Course(-118, 33, -73, 40), 65.8, 0.1);
    EXPECT_NEAR(Distance(26.614940f, 51.336262f, 26.612539f, 51.335442f), 190, 1);
    EXPECT_EQ(GeoidHeight(55, 37), 16.0f);

    const unsigned before = AssertionCount();
    RunGeometrySelfChecks();
    EXPECT_EQ(AssertionCount(), before);
}

TEST(Geodesy, CourseSpecialCases) {
    EXPECT_EQ(Course(10, 20, 10, 20), 0.0f);
    EXPECT_EQ(Course(10, 90, 50, 10), 180.0f);  // from the north pole everything is south
    EXPECT_EQ(Course(10, -90, 50, 10), 0.0f);
    EXPECT_NEAR(Course(0, 0, 1, 0), 90, 1e-4);
    EXPECT_NEAR(Course(0, 0, -1, 0), 270, 1e-4);
    EXPECT_NEAR(Course(0, 0, 0, -1), 180, 1e-4);
    EXPECT_NEAR(Course(179.5f, 0, -179.5f, 0), 90, 1e-3); // across the date line
    for (float lon = -180; lon < 180; lon += 7.3f) {
        const float c = Course(lon, 10, lon - 0.001f, 10.001f);
        EXPECT_GE(c, 0);
        EXPECT_LT(c, 360);
    }
}

TEST(Geodesy, CourseChangeWrapsIntoHalfTurns) {
    // 350 then 10: +20; 10 then 350: -20 (legs along the equator and meridians).
    const float c350 = Course(0, 0, -0.1763f, 1);
    ASSERT_NEAR(c350, 350, 0.1);
    EXPECT_NEAR(CourseChange(0.1763f, -1, 0, 0, 0.1763f, 1), 20, 0.2);
    EXPECT_NEAR(CourseChange(-0.1763f, -1, 0, 0, -0.1763f, 1), -20, 0.2);
    EXPECT_NEAR(CourseChange(0, 0, 1, 0, 2, 0), 0, 1e-3);
    EXPECT_NEAR(CourseChange(0, 0, 1, 0, 1, 1), -90, 1e-2); // east, then north: a left turn
    EXPECT_NEAR(CourseChange(0, 0, 1, 0, 0, 0), 180, 1e-2); // straight back
}

TEST(Geodesy, DistanceAndFastDistance) {
    EXPECT_EQ(Distance(30, 60, 30, 60), 0.0);
    // A quarter of the equator: the arc on the equatorial radius.
    EXPECT_NEAR(Distance(0, 0, 90, 0), 6378137.0 * 3.14159265358979 / 2, 2);
    // Antipodes on the equator: half the circumference, no NaN from rounding.
    EXPECT_NEAR(Distance(0, 0, 180, 0), 6378137.0 * 3.14159265358979, 5);
    EXPECT_NEAR(Distance(-45, 0, 135, 0), 6378137.0 * 3.14159265358979, 5);
    // Symmetric enough for navigation over short legs.
    const double d1 = Distance(37.6f, 55.75f, 37.61f, 55.76f);
    EXPECT_NEAR(d1, Distance(37.61f, 55.76f, 37.6f, 55.75f), 1e-3 * d1);
    EXPECT_NEAR(FastDistance(37.6f, 55.75f, 37.61f, 55.76f), d1, 0.01 * d1);
    EXPECT_NEAR(FastDistance(0, 0, 0, 1), 6378137.0 * 3.14159265358979 / 180, 1);
}

TEST(Geodesy, GeoidGrid) {
    // The whole grid: row sums and a weighted checksum of all 703 values.
    long sum = 0, weighted = 0;
    for (int r = 0; r < c_cGeoidRows; ++r)
        for (int c = 0; c < c_cGeoidColumns; ++c) {
            sum += g_GeoidGrid[r][c];
            weighted += g_GeoidGrid[r][c] * (r * 37 + c + 1);
        }
    EXPECT_EQ(sum, -1063);
    EXPECT_EQ(weighted, 680424);
    for (int r = 0; r < c_cGeoidRows; ++r) EXPECT_EQ(g_GeoidGrid[r][0], g_GeoidGrid[r][36]) << r;
    EXPECT_EQ(g_GeoidGrid[9][26], -102); // the Indian Ocean low
    EXPECT_EQ(g_GeoidGrid[13][15], 59);

    for (float lon = -180; lon <= 180; lon += 13.7f) {
        EXPECT_EQ(GeoidHeight(90, lon), 13.0f) << lon;
        EXPECT_EQ(GeoidHeight(-90, lon), -30.0f) << lon;
    }
    // At 85 degrees half-way between rows 80 and 90.
    EXPECT_NEAR(GeoidHeight(85, -180), (3 + 13) / 2.0, 1e-4);
    EXPECT_NEAR(GeoidHeight(85, -175), ((3 + 1) / 2.0 + 13) / 2.0, 1e-4);
    // On grid nodes the node value; at the last meridian the first.
    EXPECT_EQ(GeoidHeight(0, 80), -102.0f);
    EXPECT_EQ(GeoidHeight(20, 180), GeoidHeight(20, -180));
    EXPECT_NEAR(GeoidHeight(25, 180), (5 + -7) / 2.0, 1e-4);
    // Bilinear inside a cell.
    EXPECT_NEAR(GeoidHeight(5, 5), (18 + 12 + 22 + 23) / 4.0, 1e-4);
    // Outside the grid: 0, also for longitudes past 180 that would wrap
    // into the next row.
    EXPECT_EQ(GeoidHeight(100, 0), 0.0f);
    EXPECT_EQ(GeoidHeight(0, 190), 0.0f);
    EXPECT_EQ(GeoidHeight(0, -190), 0.0f);
    EXPECT_EQ(GeoidHeight(std::nanf(""), 0), 0.0f);
}

} // namespace
} // namespace velka
