// Screen geometry made ready for the painter: vertices closer than a pixel
// to the one kept before them are dropped, and a line is cut into the runs
// that can reach the visible area, so the painter never strokes what no
// one sees.
#pragma once
#include <utility>
#include <vector>

#include "platform/canvas.h"

namespace velka {

// Copies the points into out, leaving out each within one pixel (in x and
// in y) of the last point kept; the last point is always kept so a line
// still ends where it ends. Returns the count kept.
int SimplifyToPixel(const POINT* pPoints, int cPoints, std::vector<POINT>& out);

// The runs of a polyline (first index, point count) whose segments may
// touch rc: a segment wholly beyond one side of rc is left out, and the
// line is cut where such segments were. Every run has two points or more.
void VisibleRuns(const POINT* pPoints, int cPoints, const RECT& rc, std::vector<std::pair<int, int>>& runs);

} // namespace velka
