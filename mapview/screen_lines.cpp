#include "mapview/screen_lines.h"

#include <algorithm>
#include <cstdlib>

namespace velka {

namespace {

// The sides of rc a point lies beyond (left 1, right 2, above 4, below 8).
unsigned Outcode(const POINT& p, const RECT& rc) {
    return (p.x < rc.left ? 1u : 0u) | (p.x > rc.right ? 2u : 0u) | (p.y < rc.top ? 4u : 0u) |
           (p.y > rc.bottom ? 8u : 0u);
}

} // namespace

int SimplifyToPixel(const POINT* pPoints, int cPoints, std::vector<POINT>& out) {
    out.resize(static_cast<std::size_t>(std::max(cPoints, 0)));
    int n = 0;
    for (int i = 0; i < cPoints; ++i) {
        const POINT& p = pPoints[i];
        if (n > 0) {
            POINT& last = out[static_cast<std::size_t>(n - 1)];
            if (std::abs(p.x - last.x) <= 1 && std::abs(p.y - last.y) <= 1) {
                // The end of the line replaces a kept point next to it.
                if (i == cPoints - 1 && n > 1) last = p;
                continue;
            }
        }
        out[static_cast<std::size_t>(n++)] = p;
    }
    return n;
}

void VisibleRuns(const POINT* pPoints, int cPoints, const RECT& rc, std::vector<std::pair<int, int>>& runs) {
    runs.clear();
    int nStart = -1;
    unsigned uPrev = cPoints > 0 ? Outcode(pPoints[0], rc) : 0;
    for (int i = 1; i < cPoints; ++i) {
        const unsigned u = Outcode(pPoints[i], rc);
        // Both ends beyond the same side: the segment cannot be seen.
        const bool fHidden = (u & uPrev) != 0;
        uPrev = u;
        if (fHidden) {
            if (nStart >= 0) runs.emplace_back(nStart, i - nStart);
            nStart = -1;
        } else if (nStart < 0) {
            nStart = i - 1;
        }
    }
    if (nStart >= 0) runs.emplace_back(nStart, cPoints - nStart);
}

} // namespace velka
