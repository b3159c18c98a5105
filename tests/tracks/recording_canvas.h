// A canvas that records the pens selected and the polylines drawn on it
// and ignores everything else (for the track tests and benchmarks).
#pragma once
#include <vector>

#include "platform/null_canvas.h"

namespace velka::test {

class CRecordingCanvas : public CNullCanvas {
public:
    CRecordingCanvas(int cx, int cy) : CNullCanvas(cx, cy) {}
    std::vector<std::vector<POINT>> m_polylines;
    std::vector<CPenDesc> m_pens;

    void SelectPen(const CPenDesc& pen) override { m_pens.push_back(pen); }
    void Polyline(const POINT* p, int c) override { m_polylines.emplace_back(p, p + c); }
};

} // namespace velka::test
