#include "mapview/map_labels.h"

#include <algorithm>
#include <cmath>

#include "geometry/fast_math.h"
#include "mapdata/map_parser.h"
#include "mapdata/paint_context.h"
#include "mapview/styles.h"
#include "platform/debug.h"

namespace velka {

namespace {
constexpr std::size_t c_cReserve = 1024;

// A record of a parser's label: where its text comes from and what it is.
CLabelRecord MakeRecord(const CLabelSource& source, int nKind, WORD wType, const CLabelStyle* pStyle) {
    CLabelRecord rec;
    rec.pParser = source.pParser;
    rec.dwLabelOffset = source.dwLabelOffset;
    rec.nKind = nKind;
    rec.wType = wType;
    if (pStyle) {
        rec.font = pStyle->font;
        rec.crText = pStyle->crColor;
    }
    return rec;
}
constexpr UINT DT_NOPREFIX_ = 0x800;
} // namespace

void CMapLabelStore::Clear(int cx, int cy) {
    m_labels.clear();
    m_labels.reserve(c_cReserve);
    m_cx = std::max(cx, 0);
    m_cy = std::max(cy, 0);
    m_cCellsNw = m_cx / 8 + 1;
    m_cCellsNh = m_cy / 4 + 1;
    m_textGrid.assign(static_cast<std::size_t>(m_cCellsNw * m_cCellsNh), -1);
    m_iconGrid.assign(static_cast<std::size_t>(m_cCellsNw * m_cCellsNh), -1);
}

SIZE CMapLabelStore::Measure(std::u16string_view text, const CFontDesc& font) {
    if (!m_pDC) return {static_cast<LONG>(text.size() * 7), 14};
    m_pDC->SelectFont(font);
    return m_pDC->GetTextExtent(text);
}

bool CMapLabelStore::PlaceText(int cNewPointIndex, SIZE size, int& x, int& y, WORD wPriority,
                               UINT uAlign) {
    if (uAlign & c_uCenterX)
        x -= size.cx / 2;
    else if (uAlign & c_uRight)
        x -= size.cx;
    if (uAlign & c_uCenterY)
        y -= size.cy / 2;
    else if (uAlign & c_uBottom)
        y -= size.cy;
    if (m_cCellsNw <= 0 || m_cCellsNh <= 0) return false;
    // Cells partly off the grid are clamped to it.
    const int c0 = std::clamp(x >> 3, 0, m_cCellsNw - 1), c1 = std::clamp((x + size.cx) >> 3, 0, m_cCellsNw - 1);
    const int r0 = std::clamp(y >> 2, 0, m_cCellsNh - 1), r1 = std::clamp((y + size.cy) >> 2, 0, m_cCellsNh - 1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const int i = m_textGrid[static_cast<std::size_t>(r * m_cCellsNw + c)];
            if (i < 0) continue;
            const CLabelRecord& o = m_labels[static_cast<std::size_t>(i)];
            if (o.fVisible && o.wPriority <= wPriority) return false;
        }
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const int cell = r * m_cCellsNw + c;
            VELKA_ASSERT(cell < m_cCellsNw * m_cCellsNh);
            int& slot = m_textGrid[static_cast<std::size_t>(cell)];
            if (slot >= 0 && slot != cNewPointIndex) {
                const int cPointIndex = slot;
                VELKA_ASSERT(cPointIndex < cNewPointIndex);
                m_labels[static_cast<std::size_t>(cPointIndex)].fText = false;
            }
            slot = cNewPointIndex;
        }
    return true;
}

void CMapLabelStore::AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                                   POINT pt, WORD wPriority, const CLabelStyle* _pLD, UINT uIcon) {
    if (pt.x < 0 || pt.y < 0 || pt.x >= m_cx || pt.y >= m_cy) return;
    VELKA_ASSERT(_pLD);
    const int nIndex = static_cast<int>(m_labels.size());
    if (uIcon) {
        int& slot = m_iconGrid[static_cast<std::size_t>((pt.y >> 2) * m_cCellsNw + (pt.x >> 3))];
        if (slot >= 0) {
            CLabelRecord& o = m_labels[static_cast<std::size_t>(slot)];
            if (o.fVisible && o.wPriority <= wPriority) return;
            o.fVisible = false;
        }
        slot = nIndex;
    }
    CLabelRecord rec = MakeRecord(source, lkPoint, wType, _pLD);
    rec.wPriority = wPriority;
    rec.uIcon = uIcon;
    rec.x = pt.x;
    rec.y = pt.y;
    rec.fText = false;
    if (!text.empty()) {
        const SIZE size = Measure(text, rec.font);
        // With an icon the text starts right of it, centred on the point.
        if (uIcon) {
            rec.dxText = 6 * m_fx;
            rec.dyText = -size.cy / 2 - 2 * m_fy;
        }
        int x = pt.x + rec.dxText, y = pt.y + rec.dyText;
        if (PlaceText(nIndex, size, x, y, wPriority, 0)) {
            rec.fText = true;
            rec.strText = text;
        }
    }
    if (!rec.fText && !uIcon) return;
    m_labels.push_back(std::move(rec));
}

void CMapLabelStore::AddPolygonLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                                     const POINT* pPoints, int cPoints, const CMapRect&,
                                     const CLabelStyle* pStyle) {
    if (text.empty() || cPoints <= 0 || !pStyle) return;
    const SIZE size = Measure(text, pStyle->font);
    CMapRect rc = CMapRect::MakeEmpty();
    std::int64_t sx = 0, sy = 0;
    for (int i = 0; i < cPoints; ++i) {
        rc.Add(pPoints[i].x, pPoints[i].y);
        sx += pPoints[i].x;
        sy += pPoints[i].y;
    }
    if (std::int64_t{rc.right} - rc.left < size.cx) return;
    int x = static_cast<int>(sx / cPoints), y = static_cast<int>(sy / cPoints);
    const int nIndex = static_cast<int>(m_labels.size());
    if (!PlaceText(nIndex, size, x, y, 0xFFFF, c_uCenterX)) return;
    CLabelRecord rec = MakeRecord(source, lkPolygon, wType, pStyle);
    rec.strText = text;
    rec.x = x;
    rec.y = y;
    m_labels.push_back(std::move(rec));
}

int CMapLabelStore::LabelAngle(int dx, int dy) {
    float fLabelAngle = fast_atan(dy, dx);
    if (fLabelAngle >= c_PI / 2) fLabelAngle -= c_PI;
    if (fLabelAngle < -c_PI / 2) fLabelAngle += c_PI;
    VELKA_ASSERT(-c_PI / 2 <= fLabelAngle && fLabelAngle < c_PI / 2);
    const int nAngle = fast_floor(fLabelAngle / c_PI * 180.0f + 0.5f);
    VELKA_ASSERT(-90 <= nAngle && nAngle <= 90);
    return -nAngle;
}

void CMapLabelStore::AddPolylineLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                                      const POINT* pPoints, int cPoints, const CMapRect&,
                                      const CLabelStyle* pStyle, bool fShield) {
    if (text.empty() || cPoints < 2 || !pStyle) return;
    const CFontDesc& fontMeasure = fShield ? m_fontShield : pStyle->font;
    const SIZE size = Measure(text, fontMeasure);
    CMapRect rc = CMapRect::MakeEmpty();
    for (int i = 0; i < cPoints; ++i) rc.Add(pPoints[i].x, pPoints[i].y);
    if (std::max<std::int64_t>(std::int64_t{rc.right} - rc.left, std::int64_t{rc.bottom} - rc.top) < size.cx)
        return;
    // The longest segment (the first of equal ones).
    std::uint32_t best = 0;
    int iBest = 0;
    for (int i = 0; i + 1 < cPoints; ++i) {
        const std::int64_t dx = pPoints[i + 1].x - pPoints[i].x, dy = pPoints[i + 1].y - pPoints[i].y;
        const std::uint32_t len =
            fast_sqrt(static_cast<std::uint32_t>(std::min<std::int64_t>(dx * dx + dy * dy, UINT32_MAX)));
        if (len > best) {
            best = len;
            iBest = i;
        }
    }
    const POINT& a = pPoints[iBest];
    const POINT& b = pPoints[iBest + 1];
    int x = (a.x + b.x) / 2, y = (a.y + b.y) / 2;
    CLabelRecord rec = MakeRecord(source, lkPolyline, wType, pStyle);
    rec.strText = text;
    rec.fShield = fShield;
    const float w = static_cast<float>(size.cx), h = static_cast<float>(size.cy);
    if (fShield) {
        rec.font = m_fontShield;
        x -= size.cx / 2;
        y -= size.cy / 2;
    } else {
        const int nAngle = LabelAngle(b.x - a.x, b.y - a.y);
        const float fRad = static_cast<float>(nAngle) * c_PI / 180.0f;
        const float s = fast_sin(fRad), c = fast_cos(fRad);
        const float k = pStyle->fNearLine ? 0.6f * h : h;
        x += fast_floor(-w / 2 * c - k * s + 0.5f);
        y += fast_floor(w / 2 * s - k * c + 0.5f);
        rec.font = pStyle->font;
        rec.font.nEscapement = nAngle * 10;
    }
    rec.x = x;
    rec.y = y;
    m_labels.push_back(std::move(rec));
}

void CMapLabelStore::AddFreeText(int x, int y, std::u16string_view text, const CFontDesc& font,
                                 COLORREF cr, UINT uFlags, UINT uIcon) {
    CLabelRecord rec;
    rec.nKind = lkWaypoint;
    rec.strText = text;
    rec.x = x;
    rec.y = y;
    rec.font = font;
    rec.crText = cr;
    rec.uFlags = uFlags;
    rec.uIcon = uIcon;
    m_labels.push_back(std::move(rec));
}

bool CMapLabelStore::DrawLabels(CPaintContext& pc, unsigned uScaleIndex, int* pcIcons) {
    ICanvas& dc = pc.Canvas();
    dc.SetBkMode(TRANSPARENT);
    std::size_t n = 0;
    for (CLabelRecord& r : m_labels) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return false;
        if (!r.fVisible || !r.fText || r.nKind == lkWaypoint) continue;
        std::u16string text = r.strText;
        bool fBox = false;
        if (r.pParser) {
            char16_t sz[64];
            int nShield = 0;
            const int c = r.pParser->GetLabel(uScaleIndex, r.nKind, r.wType, r.dwLabelOffset, sz, &nShield);
            text.assign(sz, static_cast<std::size_t>(std::clamp(c, 0, 63)));
            fBox = nShield != 0;
        } else {
            fBox = r.fShield;
        }
        if (text.empty()) continue;
        dc.SelectFont(r.font);
        if (fBox && r.nKind == lkPolyline) {
            const SIZE sz = dc.GetTextExtent(text);
            CPenDesc pen{PS_SOLID, 1, RGB(0, 0, 0)};
            CBrushDesc brush;
            brush.crColor = RGB(255, 255, 255);
            dc.SelectPen(pen);
            dc.SelectBrush(brush);
            dc.Rectangle({r.x - 2 * m_fx, r.y, r.x + sz.cx + 2 * m_fx, r.y + sz.cy});
            dc.SetTextColor(RGB(0, 0, 0));
        } else {
            dc.SetTextColor(r.crText);
        }
        if (r.nKind == lkPoint)
            dc.TextOut(r.x + r.dxText + 3 * m_fx, r.y + r.dyText + 2 * m_fy, text);
        else
            dc.TextOut(r.x, r.y, text);
    }
    n = 0;
    int cIcons = 0;
    for (const CLabelRecord& r : m_labels) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return false;
        if (!r.fVisible || !r.uIcon) continue;
        // Centred on the point: the 16 x 16 cell from (x - 8 f + 1, y - 8 f + 1).
        DrawPointIcon(dc, r.uIcon, r.x + 1, r.y + 1, m_fx, m_fy);
        ++cIcons;
    }
    if (pcIcons) *pcIcons += cIcons;
    return true;
}

bool CMapLabelStore::DrawWaypointTexts(CPaintContext& pc, int nRightEdge) {
    ICanvas& dc = pc.Canvas();
    dc.SetBkMode(TRANSPARENT);
    std::size_t n = 0;
    for (const CLabelRecord& r : m_labels) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return false;
        if (r.nKind != lkWaypoint) continue;
        dc.SelectFont(r.font);
        dc.SetTextColor(r.crText);
        RECT rc{r.x + 3 * m_fx, r.y + 2 * m_fy, nRightEdge, r.y + 2 * m_fy + 1};
        dc.DrawText(r.strText, &rc, r.uFlags | DT_NOCLIP | DT_NOPREFIX_);
    }
    return true;
}

} // namespace velka
