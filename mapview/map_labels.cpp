#include "mapview/map_labels.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "geometry/fast_math.h"
#include "mapdata/map_parser.h"
#include "mapdata/paint_context.h"
#include "mapview/styles.h"
#include "platform/debug.h"

namespace velka {

namespace {
constexpr std::size_t c_cReserve = 1024;
// Text extents remembered across frames before the cache starts afresh.
constexpr std::size_t c_cMaxExtents = 16384;

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
// Point ranks from which a point is minor: food, shops and the types of no
// group above; and points without an icon of their own.
constexpr unsigned c_nRankMinorService = 80;
constexpr WORD c_nRankNoIcon = 95;

CLabelBox Box(int x, int y, SIZE size) { return {x, y, x + size.cx, y + size.cy}; }
} // namespace

void CMapLabelStore::Clear(int cx, int cy) {
    m_labels.clear();
    m_labels.reserve(c_cReserve);
    m_candidates.clear();
    m_cx = std::max(cx, 0);
    m_cy = std::max(cy, 0);
    m_cCellsNw = m_cx / 8 + 1;
    m_cCellsNh = m_cy / 4 + 1;
    m_grid.assign(static_cast<std::size_t>(m_cCellsNw * m_cCellsNh), -1);
}

SIZE CMapLabelStore::Measure(std::u16string_view text, const CFontDesc& font) {
    if (!m_pDC) return {static_cast<LONG>(text.size() * 7), 14};
    std::u16string key = font.strFace;
    key += static_cast<char16_t>(font.nHeight & 0xFFFF);
    key += static_cast<char16_t>(font.nWeight & 0xFFFF);
    key += static_cast<char16_t>(font.fItalic ? 1 : 0);
    key += text;
    const auto it = m_extents.find(key);
    if (it != m_extents.end()) return it->second;
    m_pDC->SelectFont(font);
    const SIZE size = m_pDC->GetTextExtent(text);
    if (m_extents.size() >= c_cMaxExtents) m_extents.clear();
    m_extents.emplace(std::move(key), size);
    return size;
}

void CMapLabelStore::SetIconBitmaps(std::function<std::unique_ptr<ICanvas>(int, int)> fnCreate,
                                    COLORREF crBackground, bool fAntialias) {
    if (crBackground != m_crIconBack || fAntialias != m_fIconAntialias) m_icons.clear();
    m_fnCreateIcon = std::move(fnCreate);
    m_crIconBack = crBackground;
    m_fIconAntialias = fAntialias;
}

void CMapLabelStore::DrawIcon(ICanvas& dc, const CLabelRecord& r) {
    // Centred on the point: the 16 x 16 cell from (x - 8 f + 1, y - 8 f + 1).
    const int cx = 16 * m_fx, cy = 16 * m_fy;
    const int xLeft = r.x + 1 - 8 * m_fx, yTop = r.y + 1 - 8 * m_fy;
    if (!m_fnCreateIcon) {
        DrawPointIcon(dc, r.uIcon, r.x + 1, r.y + 1, m_fx, m_fy);
        return;
    }
    const std::uint32_t key = r.uIcon | std::uint32_t(m_fx & 0xFF) << 16 | std::uint32_t(m_fy & 0xFF) << 24;
    auto it = m_icons.find(key);
    if (it == m_icons.end()) {
        std::unique_ptr<ICanvas> p = m_fnCreateIcon(cx, cy);
        if (p) {
            CBrushDesc back;
            back.crColor = m_crIconBack;
            p->FillRect({0, 0, cx, cy}, back);
            p->SetAntialias(m_fIconAntialias);
            DrawPointIcon(*p, r.uIcon, 8 * m_fx, 8 * m_fy, m_fx, m_fy);
        }
        it = m_icons.emplace(key, std::move(p)).first;
    }
    if (!it->second) {
        DrawPointIcon(dc, r.uIcon, r.x + 1, r.y + 1, m_fx, m_fy);
        return;
    }
    dc.TransparentBlt(xLeft, yTop, cx, cy, *it->second, 0, 0, cx, cy, m_crIconBack);
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
            const int i = m_grid[static_cast<std::size_t>(r * m_cCellsNw + c)];
            if (i < 0) continue;
            const CLabelRecord& o = m_labels[static_cast<std::size_t>(i)];
            if (o.fVisible && o.wPriority <= wPriority) return false;
        }
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const int cell = r * m_cCellsNw + c;
            VELKA_ASSERT(cell < m_cCellsNw * m_cCellsNh);
            int& slot = m_grid[static_cast<std::size_t>(cell)];
            if (slot >= 0 && slot != cNewPointIndex) {
                const int cPointIndex = slot;
                VELKA_ASSERT(cPointIndex < cNewPointIndex);
                m_labels[static_cast<std::size_t>(cPointIndex)].fText = false;
            }
            slot = cNewPointIndex;
        }
    return true;
}

bool CMapLabelStore::Fits(const CLabelBox& b) const {
    if (b.right <= 0 || b.bottom <= 0 || b.left >= m_cx || b.top >= m_cy) return false;
    const int c0 = std::max(b.left >> 3, 0), c1 = std::min((b.right - 1) >> 3, m_cCellsNw - 1);
    const int r0 = std::max(b.top >> 2, 0), r1 = std::min((b.bottom - 1) >> 2, m_cCellsNh - 1);
    for (int r = r0; r <= r1; ++r) {
        const int* pRow = &m_grid[static_cast<std::size_t>(r * m_cCellsNw)];
        for (int c = c0; c <= c1; ++c)
            if (pRow[c] >= 0) return false;
    }
    return true;
}

void CMapLabelStore::Claim(const CLabelBox& b, int nIndex) {
    const int c0 = std::max(b.left >> 3, 0), c1 = std::min((b.right - 1) >> 3, m_cCellsNw - 1);
    const int r0 = std::max(b.top >> 2, 0), r1 = std::min((b.bottom - 1) >> 2, m_cCellsNh - 1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) m_grid[static_cast<std::size_t>(r * m_cCellsNw + c)] = nIndex;
}

WORD CMapLabelStore::PointRank(WORD wType) {
    const unsigned t = wType >> 8;
    if (t >= 0x01 && t <= 0x04) return static_cast<WORD>(10 + t);       // capitals, big cities
    if (t >= 0x05 && t <= 0x08) return static_cast<WORD>(20 + t);       // cities
    if (t >= 0x09 && t <= 0x0D) return static_cast<WORD>(30 + t - 9);   // towns, villages
    switch (wType) {
    case 0x3001: case 0x3002: case 0x3008:             // police, hospital, fire station
    case 0x2F01: case 0x2F04: case 0x2F08: case 0x5904: // fuel, airport, station, heliport
        return 40;
    default: break;
    }
    if (t >= 0x0E && t <= 0x11) return 50;   // hamlets, quarters
    if (t >= 0x62 && t <= 0x66) return 60;   // peaks and other natural features
    if (t == 0x2A || t == 0x2E) return 90;   // food and shops
    if (t >= 0x2B && t <= 0x30) return 70;   // lodging, attractions, services
    return 80;
}

WORD CMapLabelStore::LineRank(WORD wType) {
    // The IMG maps' extended road lines 0x8101..0x8104 rank as the roads
    // 0x02..0x05 of their class.
    if (wType >= 0x8101 && wType <= 0x8104) wType = static_cast<WORD>(wType - 0x80FF);
    switch (wType) {
    case 0x01: case 0x02: return 25;                  // motorways, trunk roads
    case 0x03: case 0x04: return 45;                  // main roads
    case 0x05: case 0x06: case 0x0C: return 65;       // streets, roundabouts
    default: return 85;
    }
}

void CMapLabelStore::AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                                   POINT pt, WORD wPriority, const CLabelStyle* _pLD, UINT uIcon) {
    if (pt.x < 0 || pt.y < 0 || pt.x >= m_cx || pt.y >= m_cy) return;
    VELKA_ASSERT(_pLD);
    if (text.empty() && !uIcon) return;
    CCandidate c;
    c.rec = MakeRecord(source, lkPoint, wType, _pLD);
    // The type ranks the point (a type without an icon of its own after
    // all others); the parser's priority orders equal ranks.
    const WORD wRank = uIcon == piDefault ? c_nRankNoIcon : PointRank(wType);
    c.rec.wPriority = static_cast<WORD>(wRank << 8 | std::min<WORD>(wPriority, 255));
    c.rec.uIcon = uIcon;
    c.rec.x = pt.x;
    c.rec.y = pt.y;
    c.rec.strText = text;
    c.rec.fText = !text.empty();
    c.nOrder = static_cast<int>(m_candidates.size());
    m_candidates.push_back(std::move(c));
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
    CCandidate c;
    c.rec = MakeRecord(source, lkPolygon, wType, pStyle);
    c.rec.strText = text;
    c.rec.sizeText = size;
    c.rec.x = static_cast<int>(sx / cPoints) - size.cx / 2;
    c.rec.y = static_cast<int>(sy / cPoints);
    c.rec.wPriority = 0xFFFF;
    c.nOrder = static_cast<int>(m_candidates.size());
    m_candidates.push_back(std::move(c));
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
    CCandidate c;
    c.rec = MakeRecord(source, lkPolyline, wType, pStyle);
    c.rec.strText = text;
    c.rec.fShield = fShield;
    c.rec.sizeText = size;
    c.rec.wPriority = static_cast<WORD>(LineRank(wType) << 8);
    const float w = static_cast<float>(size.cx), h = static_cast<float>(size.cy);
    if (fShield) {
        c.rec.font = m_fontShield;
        x -= size.cx / 2;
        y -= size.cy / 2;
    } else {
        const int nAngle = LabelAngle(b.x - a.x, b.y - a.y);
        const float fRad = static_cast<float>(nAngle) * c_PI / 180.0f;
        const float s = fast_sin(fRad), co = fast_cos(fRad);
        const float k = pStyle->fNearLine ? 0.6f * h : h;
        x += fast_floor(-w / 2 * co - k * s + 0.5f);
        y += fast_floor(w / 2 * s - k * co + 0.5f);
        c.rec.font = pStyle->font;
        c.rec.font.nEscapement = nAngle * 10;
    }
    c.rec.x = x;
    c.rec.y = y;
    c.aLine[0] = a;
    c.aLine[1] = b;
    c.nOrder = static_cast<int>(m_candidates.size());
    m_candidates.push_back(std::move(c));
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

CLabelBox CMapLabelStore::IconBox(const CLabelRecord& r) const {
    if (!r.uIcon) return {};
    return {r.x - 8 * m_fx + 1, r.y - 8 * m_fy + 1, r.x + 8 * m_fx + 1, r.y + 8 * m_fy + 1};
}

std::vector<CLabelBox> CMapLabelStore::TextBoxes(const CLabelRecord& r) const {
    std::vector<CLabelBox> boxes;
    if (!r.fText) return boxes;
    const SIZE s = r.sizeText;
    if (r.nKind == lkPoint) {
        boxes.push_back(Box(r.x + r.dxText, r.y + r.dyText, s));
    } else if (r.nKind == lkPolyline && r.fShield) {
        boxes.push_back({r.x - 2 * m_fx, r.y, r.x + s.cx + 2 * m_fx, r.y + s.cy});
    } else if (r.nKind == lkPolyline && r.font.nEscapement) {
        // The rotated text as pieces about as long as it is high, each
        // covered by its bounding box.
        const double dRad = r.font.nEscapement / 10.0 * c_PI / 180.0;
        const double ux = std::cos(dRad), uy = -std::sin(dRad); // along the text
        const double vx = -uy, vy = ux;                         // down the glyphs
        const int k = std::max(1, (s.cx + s.cy - 1) / std::max<LONG>(s.cy, 1));
        for (int i = 0; i < k; ++i) {
            const double t0 = double(s.cx) * i / k, t1 = double(s.cx) * (i + 1) / k;
            const double ax[4] = {t0 * ux, t1 * ux, t0 * ux + s.cy * vx, t1 * ux + s.cy * vx};
            const double ay[4] = {t0 * uy, t1 * uy, t0 * uy + s.cy * vy, t1 * uy + s.cy * vy};
            const auto [xl, xh] = std::minmax_element(ax, ax + 4);
            const auto [yl, yh] = std::minmax_element(ay, ay + 4);
            boxes.push_back({r.x + static_cast<int>(std::floor(*xl)), r.y + static_cast<int>(std::floor(*yl)),
                             r.x + static_cast<int>(std::ceil(*xh)) + 1, r.y + static_cast<int>(std::ceil(*yh)) + 1});
        }
    } else if (r.nKind != lkWaypoint) {
        boxes.push_back(Box(r.x, r.y, s));
    }
    return boxes;
}

bool CMapLabelStore::PlacePoint(CCandidate& c) {
    CLabelRecord& r = c.rec;
    const int nIndex = static_cast<int>(m_labels.size());
    const CLabelBox icon = IconBox(r);
    if (r.uIcon && !Fits(icon)) return false;
    if (r.fText) {
        r.sizeText = Measure(r.strText, r.font);
        const int w = r.sizeText.cx, h = r.sizeText.cy;
        // Beside the icon (right, left, below, above), or beside a bare point.
        const int gap = 2 * m_fx;
        const int e = r.uIcon ? 8 * m_fx : 2 * m_fx;
        const POINT aTry[4] = {{e + 1 + gap, -h / 2}, {-e + 1 - gap - w, -h / 2},
                               {-w / 2, e + 1 + gap}, {-w / 2, -e + 1 - gap - h}};
        bool fPlaced = false;
        for (const POINT& d : aTry) {
            const CLabelBox box = Box(r.x + d.x, r.y + d.y, r.sizeText);
            if (box.left < 0 || box.right > m_cx || !Fits(box)) continue;
            r.dxText = d.x;
            r.dyText = d.y;
            Claim(box, nIndex);
            fPlaced = true;
            break;
        }
        if (!fPlaced) return false;
    }
    if (r.uIcon) Claim(icon, nIndex);
    m_labels.push_back(std::move(r));
    return true;
}

bool CMapLabelStore::PlaceLine(CCandidate& c) {
    CLabelRecord& r = c.rec;
    // A name already shown on this stretch of the road is not repeated.
    const int cxMid = (c.aLine[0].x + c.aLine[1].x) / 2, cyMid = (c.aLine[0].y + c.aLine[1].y) / 2;
    const std::int64_t llNear = std::int64_t{std::max<LONG>(r.sizeText.cx * 3, 300 * m_fx)};
    for (const CLabelRecord& o : m_labels) {
        if (o.nKind != lkPolyline || o.strText != r.strText) continue;
        const std::int64_t dx = o.ptLine.x - cxMid, dy = o.ptLine.y - cyMid;
        if (dx * dx + dy * dy < llNear * llNear) return false;
    }
    const std::vector<CLabelBox> boxes = TextBoxes(r);
    for (const CLabelBox& b : boxes)
        if (!Fits(b)) return false;
    const int nIndex = static_cast<int>(m_labels.size());
    for (const CLabelBox& b : boxes) Claim(b, nIndex);
    r.ptLine = {cxMid, cyMid};
    m_labels.push_back(std::move(r));
    return true;
}

bool CMapLabelStore::PlaceArea(CCandidate& c) {
    const CLabelBox box = Box(c.rec.x, c.rec.y, c.rec.sizeText);
    if (!Fits(box)) return false;
    Claim(box, static_cast<int>(m_labels.size()));
    m_labels.push_back(std::move(c.rec));
    return true;
}

void CMapLabelStore::Place() {
    if (m_candidates.empty()) return;
    std::vector<std::size_t> order(m_candidates.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m_candidates[a].rec.wPriority < m_candidates[b].rec.wPriority;
    });
    for (std::size_t i : order) {
        CCandidate& c = m_candidates[i];
        if (c.rec.nKind == lkPoint) {
            const unsigned uRank = c.rec.wPriority >> 8;
            if ((uRank >= c_nRankNoIcon && m_uScale > c_uMinorScaleMax) ||
                (uRank >= c_nRankMinorService && m_uScale > c_uServiceScaleMax))
                continue;
        }
        switch (c.rec.nKind) {
        case lkPoint: PlacePoint(c); break;
        case lkPolyline: PlaceLine(c); break;
        default: PlaceArea(c); break;
        }
    }
    m_candidates.clear();
}

bool CMapLabelStore::DrawLabels(CPaintContext& pc, unsigned uScaleIndex, int* pcIcons) {
    m_uScale = uScaleIndex;
    Place();
    ICanvas& dc = pc.Canvas();
    dc.SetBkMode(TRANSPARENT);
    std::size_t n = 0;
    for (CLabelRecord& r : m_labels) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return false;
        if (!r.fVisible || !r.fText || r.nKind == lkWaypoint) continue;
        std::u16string text = r.strText;
        bool fBox = r.fShield;
        if (r.pParser && text.empty()) {
            char16_t sz[64];
            int nShield = 0;
            const int c = r.pParser->GetLabel(uScaleIndex, r.nKind, r.wType, r.dwLabelOffset, sz, &nShield);
            text.assign(sz, static_cast<std::size_t>(std::clamp(c, 0, 63)));
            fBox = nShield != 0;
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
            dc.TextOut(r.x + r.dxText, r.y + r.dyText, text);
        else
            dc.TextOut(r.x, r.y, text);
    }
    n = 0;
    int cIcons = 0;
    for (const CLabelRecord& r : m_labels) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return false;
        if (!r.fVisible || !r.uIcon) continue;
        DrawIcon(dc, r);
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
