#include "platform/recording_canvas.h"

#include <algorithm>
#include <cstdlib>

namespace velka {

CCanvasCall& CRecordingCanvas::Add(const char* szOp) {
    m_calls.push_back({});
    m_calls.back().strOp = szOp;
    return m_calls.back();
}

std::vector<CCanvasCall> CRecordingCanvas::CallsOf(const std::string& strOp) const {
    std::vector<CCanvasCall> out;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(out),
                 [&](const CCanvasCall& c) { return c.strOp == strOp; });
    return out;
}

std::vector<std::vector<POINT>> CRecordingCanvas::Polylines() const {
    std::vector<std::vector<POINT>> out;
    for (const CCanvasCall& c : m_calls)
        if (c.strOp == "Polyline") out.push_back(c.vecPoints);
    return out;
}

std::vector<CPenDesc> CRecordingCanvas::Pens() const {
    std::vector<CPenDesc> out;
    for (const CCanvasCall& c : m_calls)
        if (c.strOp == "SelectPen") out.push_back(c.pen);
    return out;
}

void CRecordingCanvas::SelectPen(const CPenDesc& pen) {
    m_pen = pen;
    Add("SelectPen").pen = pen;
}
void CRecordingCanvas::SelectBrush(const CBrushDesc& brush) {
    m_brush = brush;
    Add("SelectBrush").brush = brush;
}
void CRecordingCanvas::SelectFont(const CFontDesc& font) {
    m_font = font;
    Add("SelectFont").font = font;
}
void CRecordingCanvas::SetTextColor(COLORREF cr) {
    m_crText = cr;
    Add("SetTextColor").cr = cr;
}
void CRecordingCanvas::SetBkColor(COLORREF cr) { Add("SetBkColor").cr = cr; }
void CRecordingCanvas::SetBkMode(int nMode) { Add("SetBkMode").uFlags = static_cast<UINT>(nMode); }
void CRecordingCanvas::SetClipRect(const RECT& rc) { Add("SetClipRect").rc = rc; }
void CRecordingCanvas::MoveTo(int x, int y) {
    m_ptCurrent = {x, y};
    Add("MoveTo").vecPoints = {{x, y}};
}
void CRecordingCanvas::LineTo(int x, int y) {
    Add("LineTo").vecPoints = {m_ptCurrent, {x, y}};
    m_ptCurrent = {x, y};
}
void CRecordingCanvas::Polyline(const POINT* pPoints, int cPoints) {
    Add("Polyline").vecPoints.assign(pPoints, pPoints + std::max(cPoints, 0));
}
void CRecordingCanvas::Polygon(const POINT* pPoints, int cPoints) {
    CCanvasCall& c = Add("Polygon");
    c.vecPoints.assign(pPoints, pPoints + std::max(cPoints, 0));
    c.pen = m_pen;
    c.brush = m_brush;
}
void CRecordingCanvas::Rectangle(const RECT& rc) { Add("Rectangle").rc = rc; }
void CRecordingCanvas::Ellipse(const RECT& rc) { Add("Ellipse").rc = rc; }
void CRecordingCanvas::FillRect(const RECT& rc, const CBrushDesc& brush) {
    CCanvasCall& c = Add("FillRect");
    c.rc = rc;
    c.brush = brush;
}
void CRecordingCanvas::SetPixel(int x, int y, COLORREF cr) {
    CCanvasCall& c = Add("SetPixel");
    c.vecPoints = {{x, y}};
    c.cr = cr;
}
void CRecordingCanvas::TextOut(int x, int y, std::u16string_view text) {
    CCanvasCall& c = Add("TextOut");
    c.vecPoints = {{x, y}};
    c.strText = text;
    c.font = m_font;
    c.cr = m_crText;
}

SIZE CRecordingCanvas::GetTextExtent(std::u16string_view text) {
    const LONG h = std::abs(m_font.nHeight);
    return {static_cast<LONG>(text.size()) * std::max<LONG>(h / 2, 1), h};
}

int CRecordingCanvas::DrawText(std::u16string_view text, RECT* pRect, UINT uFormat) {
    SIZE sz = GetTextExtent(text);
    if (uFormat & DT_CALCRECT) {
        if (pRect) {
            pRect->right = pRect->left + sz.cx;
            pRect->bottom = pRect->top + sz.cy;
        }
        return sz.cy;
    }
    CCanvasCall& c = Add("DrawText");
    c.strText = text;
    if (pRect) c.rc = *pRect;
    c.uFlags = uFormat;
    c.font = m_font;
    c.cr = m_crText;
    return sz.cy;
}

void CRecordingCanvas::BitBlt(int xDst, int yDst, int cx, int cy, const ICanvas&, int xSrc, int ySrc) {
    CCanvasCall& c = Add("BitBlt");
    c.rc = {xDst, yDst, xDst + cx, yDst + cy};
    c.vecPoints = {{xSrc, ySrc}};
}
void CRecordingCanvas::StretchBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas&, int xSrc,
                                  int ySrc, int cxSrc, int cySrc) {
    CCanvasCall& c = Add("StretchBlt");
    c.rc = {xDst, yDst, xDst + cxDst, yDst + cyDst};
    c.vecPoints = {{xSrc, ySrc}, {xSrc + cxSrc, ySrc + cySrc}};
}
void CRecordingCanvas::TransparentBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas&, int xSrc,
                                      int ySrc, int cxSrc, int cySrc, COLORREF crTransparent) {
    CCanvasCall& c = Add("TransparentBlt");
    c.rc = {xDst, yDst, xDst + cxDst, yDst + cyDst};
    c.vecPoints = {{xSrc, ySrc}, {xSrc + cxSrc, ySrc + cySrc}};
    c.cr = crTransparent;
}

} // namespace velka
