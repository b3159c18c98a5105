#include "routing/route_page.h"

#include <algorithm>
#include <cmath>

#include "gauges/units.h"
#include "geometry/geodesy.h"
#include "mapview/overlays.h"
#include "mapview/waypoint_icons.h"
#include "routing/guidance.h"
#include "routing/route_geometry.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr COLORREF c_crNextRow = RGB(0xD8, 0xFE, 0xD8);
constexpr COLORREF c_crListEven = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF c_crListOdd = RGB(0xEE, 0xF2, 0xF8);
constexpr COLORREF c_crFrame = RGB(0xB0, 0xB0, 0xB0);
constexpr COLORREF c_crTitle = RGB(0x60, 0x60, 0x60);
constexpr double c_dPi = 3.14159265358979323846;

CFontDesc BoldFont(int nHeight) {
    CFontDesc f;
    f.strFace = u"Tahoma";
    f.nHeight = ScaleY(nHeight);
    f.nWeight = 700;
    return f;
}

} // namespace

CRoutePage::CRoutePage(RoutePageSource source) : m_src(std::move(source)) {}

void CRoutePage::Init() { m_fBig = ReadSettingBool(u"BigRoutePoints", true); }

int CRoutePage::RowHeight() const { return (m_fBig ? 64 : 48) * ScreenFactorY(); }

int CRoutePage::PointCount() const {
    const Route* p = m_src.fnRoute ? m_src.fnRoute() : nullptr;
    return p ? static_cast<int>(p->points.size()) : 0;
}

int CRoutePage::PageRows() const { return std::max(1, m_cy / std::max(1, RowHeight())); }

// Fewer rows than a page: the range is just 0, never inverted.
int CRoutePage::MaxScroll() const { return std::max(0, PointCount() - PageRows()); }

void CRoutePage::UpdateScrollBar() {
    if (m_src.fnSetScrollBar) m_src.fnSetScrollBar(std::max(0, PointCount() - 1), PageRows(), m_nScroll);
}

void CRoutePage::Redraw() {
    if (m_src.fnRedraw) m_src.fnRedraw();
}

void CRoutePage::SetBig(bool fBig) {
    m_fBig = fBig;
    WriteSettingBool(u"BigRoutePoints", fBig);
    Redraw();
    if (m_src.fnUpdateMenu) m_src.fnUpdateMenu();
}

void CRoutePage::SetScroll(int nPos, bool fUser) {
    nPos = std::clamp(nPos, 0, MaxScroll());
    if (nPos == m_nScroll) return;
    m_nScroll = nPos;
    if (fUser) m_fAutoScroll = false;
    Redraw();
}

void CRoutePage::FollowGuidance() {
    m_fAutoScroll = true;
    m_nScroll = std::clamp(static_cast<int>(m_src.fnNextPoint ? m_src.fnNextPoint() : 0), 0, MaxScroll());
    Redraw();
}

void CRoutePage::OnGuidanceStarted() {
    m_nScroll = 0;
    m_fAutoScroll = true;
    Redraw();
}

void CRoutePage::OnGpsPosition() {
    if (m_fAutoScroll) FollowGuidance();
}

void CRoutePage::OnSize(int cx, int cy) {
    m_cx = cx;
    m_cy = cy;
}

void CRoutePage::OnVScroll(int nCode, int nPos) {
    const int nPage = PageRows();
    switch (nCode) {
    case SB_LINEUP: SetScroll(m_nScroll - 1, true); break;
    case SB_LINEDOWN: SetScroll(m_nScroll + 1, true); break;
    case SB_PAGEUP: SetScroll(m_nScroll - (nPage - 1), true); break;
    case SB_PAGEDOWN: SetScroll(m_nScroll + (nPage - 1), true); break;
    case SB_TOP: SetScroll(0, true); break;
    case SB_BOTTOM: SetScroll(MaxScroll(), true); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: SetScroll(nPos, true); break;
    default: break;
    }
}

void CRoutePage::OnDown(int, int y) {
    m_fDown = true;
    m_yDown = y;
    m_nScrollDown = m_nScroll;
}

void CRoutePage::OnMove(int, int y) {
    if (!m_fDown) return;
    SetScroll(m_nScrollDown - (y - m_yDown) / std::max(1, RowHeight()), true);
}

void CRoutePage::OnRButtonUp(int x, int y) {
    m_fDown = false;
    if (!m_src.fnContextMenu) return;
    const UINT uCmd = m_src.fnContextMenu(x, y, m_fAutoScroll);
    if (uCmd) OnCommand(uCmd);
}

void CRoutePage::OnCommand(UINT uId) {
    if (uId != c_uCmdAutoScroll) return;
    if (m_fAutoScroll)
        m_fAutoScroll = false;
    else
        FollowGuidance();
}

void CRoutePage::OnDblClick(int, int) { FollowGuidance(); }

void CRoutePage::OnPaint(ICanvas& dc) {
    const int cx = dc.Width(), cy = dc.Height();
    m_cx = cx;
    m_cy = cy;
    dc.FillRect({0, 0, cx, cy}, CBrushDesc{bkSolid, RGB(0xFF, 0xFF, 0xFF)});
    UpdateScrollBar();
    const Route* pRoute = m_src.fnRoute ? m_src.fnRoute() : nullptr;
    dc.SetBkMode(TRANSPARENT);
    if (!pRoute || pRoute->points.empty()) {
        dc.SelectFont(BoldFont(18));
        dc.SetTextColor(RGB(0xFF, 0, 0));
        RECT rc{0, 0, cx, cy};
        dc.DrawText(LoadStr(IDS_NO_ACTIVE_ROUTE), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const auto& pts = pRoute->points;
    const int n = static_cast<int>(pts.size());
    const int sx = ScreenFactorX(), sy = ScreenFactorY();
    const int hu = m_fBig ? 64 : 48, lu = m_fBig ? 19 : 18;
    const int h = hu * sy;
    const int iNext = std::min(static_cast<int>(m_src.fnNextPoint ? m_src.fnNextPoint() : 0), n - 1);

    float fLon = 0, fLat = 0, fCourse = 0;
    bool fCourseValid = false;
    const bool fPos = m_src.fnPosition && m_src.fnPosition(fLon, fLat, fCourse, fCourseValid);
    const float fAvg = m_src.fnAverageSpeed ? m_src.fnAverageSpeed() : 0.0f;

    int y = h * (iNext - m_nScroll);
    double dCum = 0, dTime = 0;
    int cRows = 0;
    for (int i = iNext; i < n && y < cy; ++i) {
        const RoutePoint& p = pts[static_cast<std::size_t>(i)];
        const std::u16string strName = p.pWaypoint ? p.pWaypoint->strName : p.strName;
        double dLeg = 0, dLegCourse = 0;
        if (i == iNext) {
            if (fPos) {
                dLeg = Distance(fLon, fLat, PointLon(p), PointLat(p));
                dLegCourse = Course(fLon, fLat, PointLon(p), PointLat(p));
            }
        } else {
            dLeg = LegLength(*pRoute, static_cast<std::size_t>(i - 1), static_cast<std::size_t>(i));
        }
        dCum = i == iNext ? dLeg : dCum + dLeg;
        double f = 1;
        if (i == iNext && fCourseValid) f = std::max(0.5, std::cos((dLegCourse - fCourse) * c_dPi / 180));
        const double dSpeed = std::max(0.1, fAvg * f / 3.6);
        dTime += dLeg / dSpeed;

        const bool fLast = i == n - 1;
        const bool fUser = !(p.btKind & rkRouting);
        if (!fLast && !fUser && ManoeuvreKindOf(p) == mkNone) continue;

        const CBrushDesc brush{bkSolid, i == iNext ? c_crNextRow : (cRows % 2 ? c_crListOdd : c_crListEven)};
        dc.SelectPen(CPenDesc{PS_SOLID, 1, c_crFrame});
        dc.SelectBrush(brush);
        dc.Rectangle({0, y, cx, y + h + 1});
        if (p.pWaypoint) DrawWaypointIconAt(dc, p.pWaypoint->wType, 10 * sx, y + 14 * sy, sx);
        if (!fLast) {
            RECT rcPic{0, y, h, y + h};
            if (p.btKind & rkRouting) {
                if (p.lAngle < -30) rcPic.left += 10 * sx, rcPic.right += 10 * sx;
                DrawManoeuvrePicture(dc, rcPic, ManoeuvreKindOf(p), static_cast<int>(p.lAngle), p.btExtra);
            } else {
                dc.SelectPen(CPenDesc{PS_SOLID, 1, RGB(0, 0, 0)});
                dc.SelectBrush(CBrushDesc{bkSolid, RGB(0x40, 0x80, 0x40)});
                DrawArrowShape(dc, h / 2, y + h / 2, static_cast<int>(std::lround(dLegCourse)) - 90, h / 3, h / 8, h / 5, true);
            }
        }
        std::u16string strTitle;
        if (fLast)
            strTitle = FormatMessageId(IDS_ARRIVAL_AT, strName.c_str());
        else if (p.pWaypoint)
            strTitle = FormatMessageId(IDS_WAYPOINT_AT, strName.c_str());
        else
            strTitle = strName;
        dc.SelectFont(BoldFont(m_fBig ? 20 : 15));
        dc.SetTextColor(c_crTitle);
        RECT rcTitle{fLast ? 24 * sx : h, y + 3 * sy, cx - 5 * sx, y + (hu - lu) * sy};
        dc.DrawText(strTitle, &rcTitle, DT_LEFT | DT_WORDBREAK);

        const int yLine = y + (hu - lu) * sy;
        dc.SelectFont(BoldFont(18));
        dc.SetTextColor(i == iNext ? RGB(0xFF, 0, 0) : RGB(0, 0, 0));
        if (fPos) {
            std::u16string strValue, strUnit, strTime;
            FormatDistance(static_cast<float>(dCum), strValue, strUnit);
            dc.TextOut(h, yLine, strValue + u" " + strUnit);
            FormatTimeSpan(dTime / 86400.0, strTime);
            RECT rcTime{0, yLine, cx - 20 * sx, yLine + lu * sy};
            dc.DrawText(strTime, &rcTime, DT_RIGHT | DT_SINGLELINE);
        }
        dc.SelectPen(CPenDesc{PS_SOLID, 1, c_crFrame});
        dc.MoveTo(5 * sx, y + h - 1);
        dc.LineTo(cx - 5 * sx, y + h - 1);
        y += h;
        ++cRows;
    }
}

void DrawManoeuvrePicture(ICanvas& dc, const RECT& rc, int nKind, int nAngle, int nExit) {
    const int w = rc.right - rc.left, hgt = rc.bottom - rc.top;
    const int cx = rc.left + w / 2, cy = rc.top + hgt / 2;
    const int d = std::min(w, hgt);
    if (nKind == mkNone) return;
    dc.SelectPen(CPenDesc{PS_SOLID, std::max(3, d / 10), RGB(0x30, 0x30, 0x90)});
    if (nKind == mkToRoundabout || nKind == mkFromRoundabout) {
        dc.SelectBrush(CBrushDesc{bkNull});
        const int r = d / 5;
        dc.Ellipse({cx - r, cy - r, cx + r, cy + r});
        dc.MoveTo(cx, rc.bottom - d / 8);
        dc.LineTo(cx, cy + r);
        if (nExit > 0) {
            std::u16string s(1, static_cast<char16_t>(u'0' + std::min(nExit, 9)));
            CFontDesc f;
            f.nHeight = d / 4;
            f.nWeight = 700;
            dc.SelectFont(f);
            dc.SetTextColor(RGB(0x30, 0x30, 0x90));
            RECT rcNum{cx - r, cy - r, cx + r, cy + r};
            dc.DrawText(s, &rcNum, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        return;
    }
    // Stem from the bottom to the centre, then an arrow in the new direction.
    dc.MoveTo(cx, rc.bottom - d / 8);
    dc.LineTo(cx, cy);
    dc.SelectPen(CPenDesc{PS_SOLID, 1, RGB(0x30, 0x30, 0x90)});
    dc.SelectBrush(CBrushDesc{bkSolid, RGB(0x30, 0x30, 0x90)});
    const double a = nAngle * c_dPi / 180;
    const int x1 = cx + static_cast<int>(std::lround(std::sin(a) * d / 4));
    const int y1 = cy - static_cast<int>(std::lround(std::cos(a) * d / 4));
    DrawArrowShape(dc, x1, y1, nAngle - 90, d / 4, d / 12, d / 6, true);
}

} // namespace velka
