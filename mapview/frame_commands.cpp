#include "mapview/frame_commands.h"

#include <algorithm>

namespace velka {

void CFrameCommands::Clear() {
    m_commands.clear();
    m_points.clear();
}

void CFrameCommands::Add(Kind nKind, bool fAntialias, const CPenDesc& pen, const CBrushDesc& brush,
                         const POINT* pPoints, int cPoints) {
    if (!pPoints || cPoints < 2) return;
    int yMin = INT_MAX, yMax = INT_MIN;
    for (int i = 0; i < cPoints; ++i) {
        yMin = std::min(yMin, pPoints[i].y);
        yMax = std::max(yMax, pPoints[i].y);
    }
    const int nHalf = (pen.nStyle == PS_NULL ? 0 : std::max(pen.nWidth, 1)) / 2 + 2;
    yMin = yMin > INT_MIN + nHalf ? yMin - nHalf : INT_MIN;
    yMax = yMax < INT_MAX - nHalf ? yMax + nHalf : INT_MAX;
    m_commands.push_back({nKind, fAntialias, pen, brush, m_points.size(), cPoints, yMin, yMax});
    m_points.insert(m_points.end(), pPoints, pPoints + cPoints);
}

void CFrameCommands::AddFill(const CBrushDesc& brush, const POINT* pPoints, int cPoints) {
    Add(ckFill, false, CPenDesc{PS_NULL, 0, 0}, brush, pPoints, cPoints);
}

void CFrameCommands::AddLine(const CPenDesc& pen, bool fAntialias, const POINT* pPoints, int cPoints) {
    Add(ckLine, fAntialias, pen, CBrushDesc{}, pPoints, cPoints);
}

void CFrameCommands::AddShape(const CPenDesc& pen, const CBrushDesc& brush, const POINT* pPoints, int cPoints) {
    Add(ckShape, true, pen, brush, pPoints, cPoints);
}

bool CFrameCommands::Replay(ICanvas& dc, bool fAntialias, const std::function<bool()>& fnStop, int yTop,
                            int yBottom) const {
    std::size_t n = 0;
    bool fAaNow = fAntialias;
    dc.SetAntialias(fAaNow);
    for (const CCommand& c : m_commands) {
        if ((++n & 63) == 0 && fnStop && fnStop()) {
            dc.SetAntialias(fAntialias);
            return false;
        }
        if (c.yMax < yTop || c.yMin >= yBottom) continue;
        const bool fAa = fAntialias && c.fAntialias;
        if (fAa != fAaNow) dc.SetAntialias(fAaNow = fAa);
        dc.SelectPen(c.pen);
        const POINT* p = m_points.data() + c.nFirst;
        if (c.nKind == ckLine) {
            dc.Polyline(p, c.cPoints);
        } else {
            dc.SelectBrush(c.brush);
            dc.Polygon(p, c.cPoints);
        }
    }
    dc.SetAntialias(fAntialias);
    return true;
}

} // namespace velka
