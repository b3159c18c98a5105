#include "gauges/gauge.h"

#include "gps/positioning.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr const char16_t* c_aszGroupKeys[c_cGaugeGroups] = {
    u"trip1", u"trip2", u"max", u"navigation", u"gpsdata", u"altitude", u"precision", u"dgps", u"area", u"sonar",
    u"map", u"system"};

std::unique_ptr<CGaugeCatalogue> g_pCatalogue;
CGaugeFonts g_fonts;

CFontDesc Font(int nHeight, int nWeight) {
    CFontDesc f;
    f.strFace = u"Tahoma";
    f.nHeight = nHeight * ScreenFactorY();
    f.nWeight = nWeight;
    return f;
}

} // namespace

CGaugeCatalogue::CGaugeCatalogue() {
    for (int i = 0; i < c_cGaugeGroups; ++i) {
        m_aGroups[i].szKey = c_aszGroupKeys[i];
        m_aGroups[i].strTitle = LoadStr(IDS_GAUGE_GROUP_TRIP1 + static_cast<UINT>(i));
    }
}

CGaugeEntry& CGaugeCatalogue::Register(std::unique_ptr<CGauge> pGauge, int nGroup, const char16_t* szKey,
                                       UINT uTitleId, UINT uDescriptionId, bool fResettable) {
    auto pEntry = std::make_unique<CGaugeEntry>();
    pEntry->m_pGauge = std::move(pGauge);
    pEntry->nGroup = nGroup;
    pEntry->strKey = szKey;
    pEntry->strTitle = LoadStr(uTitleId);
    pEntry->strDescription = LoadStr(uDescriptionId);
    pEntry->fResettable = fResettable;
    pEntry->nRegistration = static_cast<int>(m_vecOwned.size());
    CGaugeEntry* p = pEntry.get();
    m_vecOwned.push_back(std::move(pEntry));
    m_vecList.insert(m_vecList.begin(), p);
    auto& group = m_aGroups[nGroup].vecGauges;
    group.insert(group.begin(), p);
    p->m_pGauge->Init();
    return *p;
}

CGaugeEntry* CGaugeCatalogue::Find(const char16_t* szKey) const {
    if (!szKey || !*szKey) return nullptr;
    for (CGaugeEntry* p : m_vecList)
        if (p->strKey == szKey) return p;
    return nullptr;
}

void CGaugeCatalogue::UpdateAll(const GpsFix& fix) {
    const GpsFix copy = fix;
    for (CGaugeEntry* p : m_vecList) p->m_pGauge->Update(copy);
}

void CGaugeCatalogue::PositionLostAll() {
    for (CGaugeEntry* p : m_vecList) p->m_pGauge->PositionLost();
}

void CGaugeCatalogue::NavigationStartedAll() {
    for (CGaugeEntry* p : m_vecList) p->m_pGauge->NavigationStarted();
}

void CGaugeCatalogue::ResetAll() {
    for (CGaugeEntry* p : m_vecList) p->m_pGauge->Reset();
}

CGaugeCatalogue* Gauges() { return g_pCatalogue.get(); }

void RegisterGaugeList(CGaugeCatalogue& catalogue); // gauge_list.cpp

void RegisterGauges() {
    if (g_pCatalogue) return;
    g_pCatalogue = std::make_unique<CGaugeCatalogue>();
    RegisterGaugeList(*g_pCatalogue);
}

void UnregisterGauges() { g_pCatalogue.reset(); }

std::u16string GaugeValueText(const char16_t* szKey, std::u16string* pstrUnit) {
    std::u16string strValue, strUnit;
    if (CGaugeEntry* p = g_pCatalogue ? g_pCatalogue->Find(szKey) : nullptr)
        p->m_pGauge->GetValueText(strValue, strUnit);
    if (pstrUnit) *pstrUnit = strUnit;
    return strValue;
}

bool AskResetAllGauges() {
    if (!g_pCatalogue || AskYesNo(IDS_ASK_RESET_ALL_GAUGES) != IDYES) return false;
    g_pCatalogue->ResetAll();
    return true;
}

void CreateGaugeFonts() {
    g_fonts.title[0] = Font(11, 400);
    g_fonts.title[1] = Font(14, 400);
    g_fonts.value[0] = Font(17, 700);
    g_fonts.value[1] = Font(23, 700);
    g_fonts.narrow[0] = Font(13, 700);
    g_fonts.narrow[1] = Font(20, 700);
    g_fonts.unit[0] = Font(13, 400);
    g_fonts.unit[1] = Font(17, 400);
}

void DeleteGaugeFonts() { g_fonts = CGaugeFonts{}; }

const CGaugeFonts& GaugeFonts() {
    if (g_fonts.value[0].nWeight != 700) CreateGaugeFonts();
    return g_fonts;
}

void CGauge::Draw(ICanvas& dc, bool fSmall, int x, int y) {
    std::u16string strValue, strUnit;
    GetValueText(strValue, strUnit);
    if (strValue.size() > 32) strValue.resize(32);
    if (strUnit.size() > 32) strUnit.resize(32);
    if (strValue.empty()) {
        strValue = u"-";
        strUnit.clear();
    }
    const CGaugeFonts& fonts = GaugeFonts();
    const int k = fSmall ? 0 : 1;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    int cxUnit = 0;
    if (!strUnit.empty()) {
        dc.SelectFont(fonts.unit[k]);
        cxUnit = dc.GetTextExtent(strUnit).cx;
    }
    dc.SelectFont(fonts.value[k]);
    SIZE size = dc.GetTextExtent(strValue);
    const int cxRoom = ScaleX(fSmall ? 72 : 100) - cxUnit;
    int yBase = y + ScaleY(fSmall ? 31 : 45);
    if (size.cx > cxRoom) {
        CFontDesc font = fonts.narrow[k];
        dc.SelectFont(font);
        size = dc.GetTextExtent(strValue);
        if (fSmall) yBase -= ScaleY(1);
        // A value too wide even for the narrow font (a position in degrees
        // and minutes) gets smaller still rather than run under the next cell.
        const int nMin = 9 * ScreenFactorY();
        while (size.cx > cxRoom + ScaleX(fSmall ? 4 : 10) && font.nHeight > nMin) {
            --font.nHeight;
            dc.SelectFont(font);
            size = dc.GetTextExtent(strValue);
        }
    }
    // Lower-left corners: the text's top is its baseline cell minus its height.
    dc.TextOut(x + ScaleX(fSmall ? 4 : 10), yBase - size.cy, strValue);
    if (!strUnit.empty()) {
        dc.SelectFont(fonts.unit[k]);
        const SIZE su = dc.GetTextExtent(strUnit);
        dc.TextOut(x + ScaleX(fSmall ? 6 : 13) + size.cx, y + ScaleY(fSmall ? 30 : 44) - su.cy, strUnit);
    }
}

void DrawGpsStatusIcon(ICanvas& dc, int x, int y, int nIndicator) {
    const int d = ScaleX(16);
    const COLORREF cr = nIndicator < 0 ? RGB(160, 160, 160) : nIndicator == 0 ? RGB(255, 210, 0) : RGB(0, 190, 0);
    dc.SelectPen(CPenDesc{PS_SOLID, ScreenFactorX(), RGB(0, 0, 0)});
    CBrushDesc brush;
    brush.crColor = cr;
    dc.SelectBrush(brush);
    dc.Ellipse(RECT{x, y, x + d, y + d});
    if (nIndicator < 0) {
        dc.SelectPen(CPenDesc{PS_SOLID, 2 * ScreenFactorX(), RGB(200, 0, 0)});
        dc.MoveTo(x + 2, y + 2);
        dc.LineTo(x + d - 2, y + d - 2);
        return;
    }
    if (nIndicator == 0) return;
    CFontDesc font = GaugeFonts().unit[0];
    font.nWeight = 700;
    dc.SelectFont(font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    const std::u16string s = FormatW(u"%d", nIndicator);
    const SIZE e = dc.GetTextExtent(s);
    dc.TextOut(x + (d - e.cx) / 2, y + (d - e.cy) / 2, s);
}

void DrawGaugeCell(ICanvas& dc, bool fSmall, int left, int top, int cx, int cy, CGaugeEntry* pEntry,
                   int nState) {
    static constexpr COLORREF c_acrFace[3] = {RGB(255, 255, 255), RGB(232, 240, 255), RGB(255, 240, 160)};
    dc.SelectPen(CPenDesc{PS_SOLID, 1, RGB(0, 0, 0)});
    CBrushDesc brush;
    brush.crColor = c_acrFace[nState >= 0 && nState <= 2 ? nState : 0];
    dc.SelectBrush(brush);
    dc.Rectangle(RECT{left, top, left + cx + 1, top + cy + 1});
    if (!pEntry) return;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0x60, 0x60, 0x60));
    dc.SelectFont(GaugeFonts().title[fSmall ? 0 : 1]);
    dc.TextOut(left + ScaleX(fSmall ? 4 : 10), top + ScaleY(fSmall ? 3 : 5), pEntry->strTitle);
    VELKA_ASSERT(pEntry->m_pGauge);
    if (pEntry->m_pGauge) pEntry->m_pGauge->Draw(dc, fSmall, left, top);
}

void DrawGpsStatus(ICanvas& dc, int x, int y) {
    if (IsPositioningRunning()) DrawGpsStatusIcon(dc, x, y, GetGpsIndicator());
}

void PassFixToGauges() {
    if (Gauges()) Gauges()->UpdateAll(GetCurrentFix());
}

void TellGaugesPositionLost() {
    if (Gauges()) Gauges()->PositionLostAll();
}

} // namespace velka
