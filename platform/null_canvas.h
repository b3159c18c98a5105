// A canvas that ignores every call: a base for test and benchmark canvases
// that record only what they look at.
#pragma once
#include <string_view>

#include "platform/canvas.h"

namespace velka {

class CNullCanvas : public ICanvas {
public:
    CNullCanvas(int cx, int cy) : m_cx(cx), m_cy(cy) {}
    int Width() const override { return m_cx; }
    int Height() const override { return m_cy; }
    void SelectPen(const CPenDesc&) override {}
    void SelectBrush(const CBrushDesc&) override {}
    void SelectFont(const CFontDesc&) override {}
    void SetTextColor(COLORREF) override {}
    void SetBkColor(COLORREF) override {}
    void SetBkMode(int) override {}
    void SetClipRect(const RECT&) override {}
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void Polyline(const POINT*, int) override {}
    void Polygon(const POINT*, int) override {}
    void Rectangle(const RECT&) override {}
    void Ellipse(const RECT&) override {}
    void FillRect(const RECT&, const CBrushDesc&) override {}
    void SetPixel(int, int, COLORREF) override {}
    void TextOut(int, int, std::u16string_view) override {}
    int DrawText(std::u16string_view, RECT*, UINT) override { return 0; }
    SIZE GetTextExtent(std::u16string_view text) override {
        return {static_cast<LONG>(text.size() * 6), 12};
    }
    void BitBlt(int, int, int, int, const ICanvas&, int, int) override {}
    void StretchBlt(int, int, int, int, const ICanvas&, int, int, int, int) override {}
    void TransparentBlt(int, int, int, int, const ICanvas&, int, int, int, int, COLORREF) override {}

private:
    int m_cx;
    int m_cy;
};

} // namespace velka
