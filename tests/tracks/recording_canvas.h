// A canvas that records the pens selected and the polylines drawn on it
// and ignores everything else (for the track tests and benchmarks).
#pragma once
#include <vector>

#include "platform/canvas.h"

namespace velka::test {

// Records pens and polylines; every other drawing call is ignored.
class CRecordingCanvas : public ICanvas {
public:
    CRecordingCanvas(int cx, int cy) : m_cx(cx), m_cy(cy) {}
    std::vector<std::vector<POINT>> m_polylines;
    std::vector<CPenDesc> m_pens;

    int Width() const override { return m_cx; }
    int Height() const override { return m_cy; }
    void SelectPen(const CPenDesc& pen) override { m_pens.push_back(pen); }
    void Polyline(const POINT* p, int c) override { m_polylines.emplace_back(p, p + c); }
    void SelectBrush(const CBrushDesc&) override {}
    void SelectFont(const CFontDesc&) override {}
    void SetTextColor(COLORREF) override {}
    void SetBkColor(COLORREF) override {}
    void SetBkMode(int) override {}
    void SetClipRect(const RECT&) override {}
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void Polygon(const POINT*, int) override {}
    void Rectangle(const RECT&) override {}
    void Ellipse(const RECT&) override {}
    void FillRect(const RECT&, const CBrushDesc&) override {}
    void SetPixel(int, int, COLORREF) override {}
    void TextOut(int, int, std::u16string_view) override {}
    int DrawText(std::u16string_view, RECT*, UINT) override { return 0; }
    SIZE GetTextExtent(std::u16string_view) override { return {}; }
    void BitBlt(int, int, int, int, const ICanvas&, int, int) override {}
    void StretchBlt(int, int, int, int, const ICanvas&, int, int, int, int) override {}
    void TransparentBlt(int, int, int, int, const ICanvas&, int, int, int, int, COLORREF) override {}

private:
    int m_cx;
    int m_cy;
};

} // namespace velka::test
