#include "mapview/overlays.h"

#include <algorithm>

#include "geometry/fast_math.h"
#include "gps/positioning.h"
#include "mapview/map_position.h"
#include "mapview/styles.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/screen.h"

namespace velka {

bool CursorPositionFromLastFix(CCursorPosition& p) {
    float fLon = 0, fLat = 0, fCourse = 0, fSpeed = 0;
    bool fCourseValid = false, fSpeedValid = false;
    if (!GetLastPosition(&fLon, &fLat, &fCourse, &fSpeed, &fCourseValid, &fSpeedValid)) return false;
    p.fAvailable = true;
    p.dLongitude = fLon;
    p.dLatitude = fLat;
    p.fHeading = fCourse;
    p.fSpeed = fSpeedValid ? fSpeed : 0.0f;
    p.fHeadingValid = fCourseValid;
    return true;
}
namespace {

constexpr UINT DT_NOPREFIX_ = 0x800;

int Round(float f) { return fast_floor(f + 0.5f); }

CPenDesc BlackPen() { return {PS_SOLID, ScreenFactorX() == 1 ? 1 : 2, RGB(0, 0, 0)}; }
CPenDesc WhitePen() { return {PS_SOLID, ScreenFactorX() == 1 ? 3 : 4, RGB(255, 255, 255)}; }
CBrushDesc Solid(COLORREF cr) {
    CBrushDesc b;
    b.crColor = cr;
    return b;
}
CBrushDesc Hollow() {
    CBrushDesc b;
    b.nKind = bkNull;
    return b;
}
float Radians(float fDegrees) {
    // Brought into (-360, 360) for the table functions.
    const int n = static_cast<int>(fDegrees);
    return (static_cast<float>(n % 360) + (fDegrees - static_cast<float>(n))) * c_PI / 180.0f;
}

} // namespace

void DrawHaloText(ICanvas& dc, int x, int y, std::u16string_view text, UINT uFlags, COLORREF cr) {
    dc.SetBkMode(TRANSPARENT);
    const UINT f = uFlags | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX_;
    auto at = [&](int px, int py) {
        if (uFlags & DT_RIGHT) --px;
        if (uFlags & DT_BOTTOM) --py;
        RECT rc{px, py, px + 1, py + 1};
        dc.DrawText(text, &rc, f);
    };
    dc.SetTextColor(RGB(255, 255, 255));
    at(x - 1, y - 1);
    at(x + 1, y - 1);
    at(x - 1, y + 1);
    at(x + 1, y + 1);
    dc.SetTextColor(cr);
    at(x, y);
}

void DrawPositionCursor(ICanvas& dc, const CMapPosition& pos, const CCursorPosition& p, bool fNight) {
    if (!p.fAvailable) return;
    const POINT s = pos.MapToScreen(DegreesToUnits(p.dLongitude), DegreesToUnits(p.dLatitude));
    const int x = s.x, y = s.y;
    const float f = static_cast<float>(ScreenFactorX());
    // By day black with a white rim; at night a bright fill, since black
    // vanishes on the dark ground.
    const COLORREF crFill = fNight ? c_crNightCursor : RGB(0, 0, 0);
    const CPenDesc rim{PS_SOLID, 1, fNight ? RGB(0, 0, 0) : RGB(255, 255, 255)};
    if (p.fHeadingValid && p.fSpeed >= 2 && p.fHeadingInDegrees) {
        // An arrowhead with a notched back along the course as the view
        // shows it: a map turned course-up has the course pointing up.
        const float fDir = Radians(p.fHeading - static_cast<float>(pos.Angle()));
        const float c = fast_cos(fDir), sn = fast_sin(fDir);
        // (a along the course, b to its right) to screen pixels.
        auto at = [&](float a, float b) { return POINT{x + Round(f * (a * sn + b * c)), y + Round(f * (-a * c + b * sn))}; };
        const POINT pts[4] = {at(11, 0), at(-8, 7), at(-3, 0), at(-8, -7)};
        dc.SelectPen(rim);
        dc.SelectBrush(Solid(crFill));
        dc.Polygon(pts, 4);
    } else {
        const int r = 6 * ScreenFactorX();
        dc.SelectPen(rim);
        dc.SelectBrush(Solid(crFill));
        dc.Ellipse({x - r, y - r, x + r + 1, y + r + 1});
    }
    dc.SetPixel(x, y, fNight ? RGB(0, 0, 0) : RGB(255, 255, 255));
}

void DrawHotSpot(ICanvas& dc, const CMapPosition& pos) {
    const POINT a = pos.Anchor();
    const int fx = ScreenFactorX();
    dc.SelectPen(BlackPen());
    dc.SelectBrush(Hollow());
    const int r = 6 * fx;
    dc.Ellipse({a.x - r, a.y - r, a.x + r + 1, a.y + r + 1});
    dc.MoveTo(a.x, a.y - 9 * fx);
    dc.LineTo(a.x, a.y + 9 * fx + 1);
    dc.MoveTo(a.x - 9 * fx, a.y);
    dc.LineTo(a.x + 9 * fx + 1, a.y);
}

void DrawCompass(ICanvas& dc, int x, int y, int L, int B, int nAngle) {
    const float t = Radians(static_cast<float>(nAngle));
    const float c = fast_cos(t), s = fast_sin(t);
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const POINT b1{Round(fx + B * c), Round(fy + B * s)};
    const POINT b2{Round(fx - B * c), Round(fy - B * s)};
    const POINT north[3] = {b1, b2, {Round(fx + L * s), Round(fy - L * c)}};
    const POINT south[3] = {b1, b2, {Round(fx - L * s), Round(fy + L * c)}};
    dc.SelectPen(BlackPen());
    dc.SelectBrush(Solid(RGB(0, 0, 255)));
    dc.Polygon(north, 3);
    dc.SelectBrush(Solid(RGB(255, 0, 0)));
    dc.Polygon(south, 3);
}

void DrawScaleBar(ICanvas& dc, int x, int y, const CMapPosition& pos, int nDistanceUnit) {
    const int fx = ScreenFactorX(), fy = ScreenFactorY();
    const POINT pts[4] = {{x, y - 4 * fy}, {x, y}, {x + 40 * fx, y}, {x + 40 * fx, y - 4 * fy}};
    dc.SelectPen(WhitePen());
    dc.Polyline(pts, 4);
    dc.SelectPen(BlackPen());
    dc.Polyline(pts, 4);
    CFontDesc font;
    font.strFace = u"Tahoma";
    font.nHeight = ScaleY(14);
    font.nWeight = 700;
    dc.SelectFont(font);
    DrawHaloText(dc, x + 20 * fx, y, ScaleBarLabel(pos.ScaleIndex(), nDistanceUnit), DT_CENTER | DT_BOTTOM,
                 RGB(0, 0, 0));
}

void DrawArrowShape(ICanvas& dc, int x, int y, int nAngle, int d, int _w0, int _w1, bool fTail) {
    VELKA_ASSERT(_w0 < _w1);
    const float t = Radians(static_cast<float>(nAngle));
    const float c = fast_cos(t), s = fast_sin(t);
    const int tl = fTail ? -d : 0;
    const int uv[7][2] = {{d, 0},        {d - _w1, _w1}, {d - _w1, _w0}, {tl, _w0},
                          {tl, -_w0},    {d - _w1, -_w0}, {d - _w1, -_w1}};
    POINT pts[7];
    for (int i = 0; i < 7; ++i) {
        const float u = static_cast<float>(uv[i][0]), v = static_cast<float>(uv[i][1]);
        pts[i] = {x + Round(u * c - v * s), y + Round(u * s + v * c)};
    }
    dc.Polygon(pts, 7);
}

// ---------------------------------------------------------------- selection

void CObjectSelection::Fill(std::vector<CSelectionItem> items) {
    m_items = std::move(items);
    m_iShown = 0;
    m_fDrawn = false;
}

void CObjectSelection::Clear() {
    m_items.clear();
    m_iShown = 0;
    m_fDrawn = false;
}

bool CObjectSelection::ShowNext() {
    if (m_iShown + 1 >= m_items.size()) return false;
    ++m_iShown;
    return true;
}

bool CObjectSelection::ShowPrevious() {
    if (m_iShown == 0) return false;
    --m_iShown;
    return true;
}

const CSelectionItem* CObjectSelection::Shown() const {
    return m_iShown < m_items.size() ? &m_items[m_iShown] : nullptr;
}

void CObjectSelection::Draw(ICanvas& dc, const CMapPosition& pos, const RECT& rcArea) {
    m_fDrawn = false;
    const CSelectionItem* p = Shown();
    if (!p) return;
    const POINT s = pos.MapToScreen(p->pt);
    if (s.x < rcArea.left || s.x >= rcArea.right || s.y < rcArea.top || s.y >= rcArea.bottom) return;
    const int fx = ScreenFactorX(), fy = ScreenFactorY();
    CFontDesc font;
    font.strFace = u"Tahoma";
    font.nHeight = ScaleY(14);
    dc.SelectFont(font);
    const std::u16string strCount = FormatW(u"%d/%d", static_cast<int>(m_iShown + 1), static_cast<int>(m_items.size()));
    const SIZE szText = dc.GetTextExtent(p->strText);
    const SIZE szCount = dc.GetTextExtent(strCount);
    const int cButton = 16 * fx, cPad = 4 * fx;
    const int cxBody = std::max<int>(szText.cx + (p->uIcon ? 20 * fx : 0), szCount.cx + 4 * cButton + 3 * cPad);
    const int cx = cxBody + 2 * cPad;
    const int cy = szText.cy + cButton + 3 * cPad;
    int left = std::clamp<int>(s.x - cx / 2, rcArea.left, std::max<int>(rcArea.left, rcArea.right - cx));
    int top = s.y - cy - 12 * fy;
    if (top < rcArea.top) top = s.y + 12 * fy;
    m_rcBalloon = {left, top, left + cx, top + cy};
    // Body with a pointer to the item.
    CPenDesc pen{PS_SOLID, fx, RGB(64, 64, 64)};
    CBrushDesc body;
    body.crColor = RGB(255, 255, 225);
    dc.SelectPen(pen);
    dc.SelectBrush(body);
    const bool fBelow = top > s.y;
    const int yEdge = fBelow ? top : top + cy - 1;
    const POINT tip[3] = {{s.x, s.y}, {std::clamp<int>(s.x - 6 * fx, left, left + cx), yEdge},
                          {std::clamp<int>(s.x + 6 * fx, left, left + cx), yEdge}};
    dc.Polygon(tip, 3);
    dc.Rectangle(m_rcBalloon);
    int x = left + cPad;
    const int yText = top + cPad;
    if (p->uIcon) {
        DrawPointIcon(dc, p->uIcon, x + 8 * fx, yText + szText.cy / 2, fx, fy);
        x += 20 * fx;
    }
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.TextOut(x, yText, p->strText);
    // Buttons: close, open, previous, next; then the item's number.
    const int yButtons = yText + szText.cy + cPad;
    static constexpr const char16_t* c_aszGlyphs[4] = {u"\u00D7", u"\u2026", u"\u25C0", u"\u25B6"};
    CBrushDesc face;
    face.crColor = RGB(230, 230, 230);
    for (int i = 0; i < 4; ++i) {
        const int bx = left + cPad + i * (cButton + cPad);
        m_arcButtons[i] = {bx, yButtons, bx + cButton, yButtons + cButton};
        dc.SelectPen(pen);
        dc.SelectBrush(face);
        dc.Rectangle(m_arcButtons[i]);
        RECT rc = m_arcButtons[i];
        dc.DrawText(c_aszGlyphs[i], &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    dc.TextOut(left + cPad + 4 * (cButton + cPad), yButtons + (cButton - szCount.cy) / 2, strCount);
    m_fDrawn = true;
}

CObjectSelection::Button CObjectSelection::HitTest(int x, int y) const {
    if (!m_fDrawn || Empty()) return btNone;
    auto in = [&](const RECT& rc) { return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom; };
    for (int i = 0; i < 4; ++i)
        if (in(m_arcButtons[i])) return static_cast<Button>(i);
    return in(m_rcBalloon) ? btBody : btNone;
}

} // namespace velka
