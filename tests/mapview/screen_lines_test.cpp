// Screen lines made ready for the painter: vertices within a pixel are
// dropped without moving a line's ends, and only the runs that can reach
// the visible rectangle are kept.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "mapview/screen_lines.h"

namespace velka {
namespace {

using Runs = std::vector<std::pair<int, int>>;

TEST(ScreenLinesTest, SimplifyDropsVerticesWithinAPixelAndKeepsBothEnds) {
    const POINT line[] = {{0, 0}, {1, 0}, {1, 1}, {5, 1}, {6, 2}, {10, 2}, {10, 3}};
    std::vector<POINT> out;
    const int n = SimplifyToPixel(line, 7, out);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(out[0], (POINT{0, 0}));
    EXPECT_EQ(out[1], (POINT{5, 1}));
    // The last vertex replaces the kept one next to it: the line ends where it ended.
    EXPECT_EQ(out[2], (POINT{10, 3}));
    // A line that never leaves its first pixel neighbourhood keeps one point.
    const POINT dot[] = {{4, 4}, {5, 4}, {4, 5}};
    EXPECT_EQ(SimplifyToPixel(dot, 3, out), 1);
    EXPECT_EQ(SimplifyToPixel(dot, 0, out), 0);
}

TEST(ScreenLinesTest, RunsKeepSegmentsThatCrossTheViewAndCutTheRest) {
    const RECT rc{0, 0, 100, 100};
    Runs runs;
    // Wholly inside: one run of every point.
    const POINT inside[] = {{10, 10}, {50, 50}, {90, 10}};
    VisibleRuns(inside, 3, rc, runs);
    EXPECT_EQ(runs, (Runs{{0, 3}}));
    // Out to the right and back: the far segments go, the line is cut.
    const POINT out_and_back[] = {{50, 50}, {150, 50}, {300, 60}, {300, 200}, {150, 60}, {50, 60}};
    VisibleRuns(out_and_back, 6, rc, runs);
    EXPECT_EQ(runs, (Runs{{0, 2}, {4, 2}}));
    // A segment from above-left to below-right passes the view though both
    // ends are outside: kept.
    const POINT diagonal[] = {{-50, -50}, {150, 150}};
    VisibleRuns(diagonal, 2, rc, runs);
    EXPECT_EQ(runs, (Runs{{0, 2}}));
    // Wholly beyond one side: nothing.
    const POINT above[] = {{-50, -10}, {50, -20}, {150, -5}};
    VisibleRuns(above, 3, rc, runs);
    EXPECT_TRUE(runs.empty());
    VisibleRuns(above, 1, rc, runs);
    EXPECT_TRUE(runs.empty());
}

} // namespace
} // namespace velka
