#include "gauges/satellite_page.h"

#include <algorithm>
#include <cmath>

#include "gauges/units.h"
#include "gps/positioning.h"
#include "platform/text.h"
#include "shell/page_host.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr COLORREF c_crBackground = RGB(0xB5, 0xF8, 0xE3);
constexpr COLORREF c_crSky = RGB(0x9B, 0xE7, 0xF7);
constexpr int c_cRamp = 32;
// The chart has room for 12 satellites; more narrow the bars.
constexpr int c_cBarSlots = 12;

int RampLevel(int i) { return 255 - i * 255 / 31; }
COLORREF GrayRamp(int i) { return RGB(RampLevel(i), RampLevel(i), RampLevel(i)); }
COLORREF GreenRamp(int i) { return RGB(0, 255 - 3 * RampLevel(i) / 4, 0); }
COLORREF RedRamp(int i) { return RGB(((i * 255 / 62) & 0x7F) | 0x80, 0, 0); }

CBrushDesc Brush(COLORREF cr) {
    CBrushDesc b;
    b.crColor = cr;
    return b;
}

CFontDesc TextFont() {
    CFontDesc f;
    f.nHeight = 13 * ScreenFactorY();
    return f;
}

// Text centred horizontally on x with its top (fBottom false) or its
// bottom edge at y.
void CentredText(ICanvas& dc, int x, int y, bool fBottom, const std::u16string& s) {
    const SIZE e = dc.GetTextExtent(s);
    dc.TextOut(x - e.cx / 2, fBottom ? y - e.cy : y, s);
}

bool IsUsed(const GpsSatellite& s) { return s.nState == 2; }

} // namespace

int StrengthIndex(int nSNR, int nScale) {
    if (nScale < 2) nScale = 2;
    return std::clamp(nSNR * c_cRamp / (nScale - 1), 0, c_cRamp - 1);
}

CSkyPlot SkyPlot(int cx, int cy) {
    CSkyPlot p;
    p.nRadius = std::min(cx, cy) / 4;
    if (cx < cy) {
        p.xCentre = cx / 2;
        p.yCentre = cy / 4;
    } else {
        p.xCentre = p.nRadius + ScaleX(8);
        p.yCentre = p.nRadius + ScaleY(8);
    }
    return p;
}

POINT CSkyPlot::At(int nElevation, int nAzimuth) const {
    const double dElevation = std::clamp(nElevation, 0, 90);
    const double d = nRadius * (90 - dElevation) / 90;
    const double a = nAzimuth * 3.14159265358979323846 / 180;
    return POINT{static_cast<LONG>(std::lround(xCentre + d * std::sin(a))),
                 static_cast<LONG>(std::lround(yCentre - d * std::cos(a)))};
}

CSkyView ReadSkyView() {
    CSkyView v;
    const int c = GetSatelliteCount();
    for (int i = 0; i < c; ++i) {
        const GpsSatellite s = GetSatellite(i);
        if (s.nPRN > 0) v.vecSatellites.push_back(s);
    }
    v.fix = GetCurrentFix();
    float fCourse = 0;
    v.fPosition = GetLastPosition(&v.fLon, &v.fLat, &fCourse);
    v.strStatus = GetGpsStatusText();
    return v;
}

void CSatellitePage::Redraw() {
    if (IPageHost* pHost = PageHost(); pHost && &pHost->CurrentPage() == this) pHost->RedrawNow();
}

void CSatellitePage::OnPaint(ICanvas& dc) { Draw(dc, ReadSkyView()); }

void CSatellitePage::Draw(ICanvas& dc, const CSkyView& view) {
    const int W = dc.Width(), H = dc.Height();
    const bool fPortrait = W < H;
    const int sx = ScreenFactorX();
    for (const GpsSatellite& s : view.vecSatellites)
        if (s.nSNR > m_nStrengthScale) m_nStrengthScale = s.nSNR + 1;

    // 1. Background.
    dc.FillRect(RECT{0, 0, W, H}, Brush(c_crBackground));
    dc.SetBkMode(TRANSPARENT);
    dc.SelectFont(TextFont());

    // 2. Sky plot.
    const CSkyPlot plot = SkyPlot(W, H);
    const int R = plot.nRadius, xc = plot.xCentre, yc = plot.yCentre;
    dc.SelectBrush(Brush(c_crSky));
    dc.SelectPen(CPenDesc{PS_SOLID, sx, RGB(0, 0, 0)});
    dc.Ellipse(RECT{xc - R, yc - R, xc + R, yc + R});
    dc.SelectPen(CPenDesc{PS_SOLID, sx, RGB(0, 0, 255)});
    dc.Ellipse(RECT{xc - R / 2, yc - R / 2, xc + R / 2, yc + R / 2});
    dc.SelectPen(CPenDesc{PS_SOLID, sx, RGB(0, 0, 0)});
    dc.Ellipse(RECT{xc - 1, yc - 1, xc + 1, yc + 1});
    dc.SetTextColor(RGB(0, 0, 255));
    CentredText(dc, xc, yc - R + ScaleY(4), false, LoadStr(IDS_COMPASS_FIRST));
    dc.SetTextColor(RGB(255, 0, 0));
    CentredText(dc, xc, yc + R - ScaleY(2), true, LoadStr(IDS_COMPASS_FIRST + 4));
    dc.SetTextColor(RGB(0, 0, 0));
    CentredText(dc, xc + R, yc + ScaleY(6), true, LoadStr(IDS_COMPASS_FIRST + 2));
    CentredText(dc, xc - R, yc + ScaleY(6), true, LoadStr(IDS_COMPASS_FIRST + 6));

    // 3. Satellites.
    for (const GpsSatellite& s : view.vecSatellites) {
        const POINT p = plot.At(s.nElevation, s.nAzimuth);
        const int i = StrengthIndex(s.nSNR, m_nStrengthScale);
        const int r = ScaleY(4);
        dc.SelectPen(CPenDesc{PS_SOLID, sx, RGB(0, 0, 0)});
        dc.SelectBrush(Brush(IsUsed(s) ? GreenRamp(i) : RedRamp(i)));
        dc.Ellipse(RECT{p.x - r, p.y - r, p.x + r, p.y + r});
        dc.SetTextColor(RGB(0, 0, 0));
        CentredText(dc, p.x, p.y + r, false, FormatW(u"%02d", s.nPRN));
    }

    // 4. Strength bars.
    const int cyArea = ScaleY(50);
    int xArea, cxArea, yBottom;
    if (fPortrait) {
        xArea = ScaleX(3);
        cxArea = W - ScaleX(6);
        yBottom = yc + R + ScaleY(50) + ScaleY(10);
    } else {
        xArea = 2 * xc;
        cxArea = W - 2 * xc - ScaleX(8);
        yBottom = ScaleY(50) + ScaleY(8);
    }
    for (int k = 0; k < cyArea; ++k) {
        const int i = cyArea > 1 ? k * 31 / (cyArea - 1) : 0;
        dc.FillRect(RECT{xArea, yBottom - k - 1, xArea + std::max(cxArea, 0), yBottom - k}, Brush(GrayRamp(i)));
    }
    const int cSlots = std::max(c_cBarSlots, static_cast<int>(view.vecSatellites.size()));
    const int cxBar = std::max(cxArea / (2 * cSlots), 1);
    for (std::size_t n = 0; n < view.vecSatellites.size(); ++n) {
        const GpsSatellite& s = view.vecSatellites[n];
        const int i = static_cast<int>(n);
        const int x = xArea + i * cxArea / cSlots + cxBar - cxBar / 2;
        const int snr = std::max(s.nSNR, 0);
        const int h = snr > m_nStrengthScale ? cyArea - ScaleY(3)
                                              : snr * (cyArea - ScaleY(5)) / m_nStrengthScale + ScaleY(2);
        dc.FillRect(RECT{x, yBottom - h, x + cxBar, yBottom},
                    Brush(IsUsed(s) ? RGB(0, 255, 0) : RGB(255, 0, 0)));
        dc.SetTextColor(RGB(0, 0, 0));
        CentredText(dc, x + cxBar / 2, yBottom, false, FormatW(u"%02d", s.nPRN));
    }

    // 5. Text block.
    const int cyLine = dc.GetTextExtent(u"0").cy + ScaleY(2);
    int xText, yText;
    if (fPortrait) {
        xText = ScaleX(10);
        yText = yBottom + cyLine + ScaleY(4);
    } else {
        xText = 2 * xc;
        yText = yBottom + cyLine + ScaleY(4);
    }
    dc.SetTextColor(RGB(0, 0, 0));
    std::u16string strLat = u"-", strLon = u"-";
    if (view.fPosition) {
        FormatLatitude(view.fLat, strLat);
        FormatLongitude(view.fLon, strLon);
    }
    dc.TextOut(xText, yText, LoadStr(IDS_SAT_LATITUDE) + u" " + strLat);
    dc.TextOut(xText, yText + cyLine, LoadStr(IDS_SAT_LONGITUDE) + u" " + strLon);
    std::u16string strFix = u"-";
    const GpsFix& f = view.fix;
    if (f.Has(gfQuality)) {
        const int q = f.nQuality >= 0 && f.nQuality < static_cast<int>(c_cFixQualityNames) ? f.nQuality : 1;
        const std::u16string strName = LoadStr(IDS_FIX_QUALITY_INVALID + static_cast<UINT>(q));
        if (f.Has(gfHorzError)) {
            std::u16string v, u;
            FormatDistance(std::max(f.fHorzError, 0.0f), v, u);
            strFix = FormatW(u"%s, ±%s %s", strName.c_str(), v.c_str(), u.c_str());
        } else if (f.Has(gfHDOP)) {
            strFix = FormatW(u"%s, HDOP %0.1f", strName.c_str(), static_cast<double>(f.fHDOP));
        } else {
            strFix = strName;
        }
    }
    dc.TextOut(xText, yText + 2 * cyLine, LoadStr(IDS_SAT_FIX) + u" " + strFix);

    // 6. Satellites used.
    if (f.Has(gfSatellites) && f.nSatellites != -1) {
        dc.SetTextColor(RGB(255, 0, 0));
        const std::u16string s = FormatMessageId(IDS_SAT_USED, f.nSatellites);
        if (fPortrait)
            dc.TextOut(ScaleX(10), ScaleY(10), s);
        else
            dc.TextOut(ScaleX(10), 2 * xc, s);
    }

    // 7. Status.
    dc.SetTextColor(RGB(0, 0, 128));
    std::u16string strStatus = view.strStatus;
    if (strStatus.size() > 256) strStatus.resize(256);
    dc.TextOut(ScaleX(10), H - ScaleY(18), strStatus);
}

} // namespace velka
