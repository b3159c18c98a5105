// A canvas that draws nothing and records every call, for tests of drawing
// code without a display. Text is measured with a fixed-pitch model: each
// character is half the font's height wide, a line is the height tall.
#pragma once
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace velka {

struct CCanvasCall {
    std::string strOp;          // "Polyline", "TextOut", "SelectPen", ...
    std::vector<POINT> vecPoints;
    RECT rc{};
    std::u16string strText;
    UINT uFlags = 0;
    COLORREF cr = 0;
    CPenDesc pen;
    CBrushDesc brush;
    CFontDesc font;
};

class CRecordingCanvas : public ICanvas {
public:
    CRecordingCanvas(int cx, int cy) : m_cx(cx), m_cy(cy) {}

    int Width() const override { return m_cx; }
    int Height() const override { return m_cy; }
    void SelectPen(const CPenDesc& pen) override;
    void SelectBrush(const CBrushDesc& brush) override;
    void SelectFont(const CFontDesc& font) override;
    void SetTextColor(COLORREF cr) override;
    void SetBkColor(COLORREF cr) override;
    void SetBkMode(int nMode) override;
    void SetClipRect(const RECT& rc) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const POINT* pPoints, int cPoints) override;
    void Polygon(const POINT* pPoints, int cPoints) override;
    void Rectangle(const RECT& rc) override;
    void Ellipse(const RECT& rc) override;
    void FillRect(const RECT& rc, const CBrushDesc& brush) override;
    void SetPixel(int x, int y, COLORREF cr) override;
    void TextOut(int x, int y, std::u16string_view text) override;
    int DrawText(std::u16string_view text, RECT* pRect, UINT uFormat) override;
    SIZE GetTextExtent(std::u16string_view text) override;
    void BitBlt(int xDst, int yDst, int cx, int cy, const ICanvas& src, int xSrc, int ySrc) override;
    void StretchBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc, int ySrc,
                    int cxSrc, int cySrc) override;
    void TransparentBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc,
                        int ySrc, int cxSrc, int cySrc, COLORREF crTransparent) override;

    const std::vector<CCanvasCall>& Calls() const { return m_calls; }
    // The calls of one operation, in order.
    std::vector<CCanvasCall> CallsOf(const std::string& strOp) const;
    // The points of every Polyline call, and every pen selected, in order.
    std::vector<std::vector<POINT>> Polylines() const;
    std::vector<CPenDesc> Pens() const;
    void Clear() { m_calls.clear(); }

    // The state the calls left behind.
    const CPenDesc& Pen() const { return m_pen; }
    const CBrushDesc& Brush() const { return m_brush; }
    const CFontDesc& Font() const { return m_font; }
    COLORREF TextColor() const { return m_crText; }

private:
    CCanvasCall& Add(const char* szOp);

    int m_cx, m_cy;
    std::vector<CCanvasCall> m_calls;
    CPenDesc m_pen;
    CBrushDesc m_brush;
    CFontDesc m_font;
    COLORREF m_crText = 0;
    POINT m_ptCurrent{};
};

} // namespace velka
