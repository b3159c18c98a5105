#include "gauges/gauge_page.h"

#include "gauges/gauge_dialogs.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/page_host.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr UINT IDM_GAUGE_PAGE = 103;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SPACE = 0x20;

// Default layouts by row, columns 0-3.
constexpr const char16_t* c_aszPortrait[c_cGaugeRows][c_cGaugeColumns] = {
    {u"speed", u"tripodometer", u"pointer", u""},
    {u"avespeed_moving", u"triptime_moving", u"triptime_stopped", u""},
    {u"maxspeed", u"odometer", u"vspeed", u""},
    {u"hdop", u"elev", u"maxelev", u""},
    {u"time", u"power", u"vdop", u""},
    {u"y", u"x", u"satellites", u""},
    {u"sunrise", u"sunset", u"geoid", u""},
    {u"azimuth", u"bearing", u"distance_cur", u""},
};
constexpr const char16_t* c_aszLandscape[c_cGaugeRows][c_cGaugeColumns] = {
    {u"speed", u"maxspeed", u"time", u"odometer"},
    {u"avespeed_moving", u"triptime_moving", u"triptime_stopped", u"tripodometer"},
    {u"avespeed_moving2", u"triptime_moving2", u"triptime_stopped2", u"tripodometer2"},
    {u"sunrise", u"sunset", u"x", u"y"},
    {u"hdop", u"vdop", u"satellites", u"gpsfix"},
    {u"glideratio", u"bearing", u"vspeed", u"elev"},
    {u"mapfile", u"mapsincache", u"protocolerrors", u"memory"},
    {u"azimuth", u"geoid", u"power", u"pointer"},
};

std::u16string CellSetting(int nCell) { return FormatW(u"Gauge_%d", nCell); }

} // namespace

CGaugeDialogs& GaugeDialogs() {
    static CGaugeDialogs dialogs;
    return dialogs;
}

CGaugeLayout GaugeLayout(int cx, int cy, bool fBig) {
    const int cxCell = ScaleX(fBig ? c_cxBigCell : c_cxSmallCell);
    const int cyCell = ScaleY(fBig ? c_cyBigCell : c_cySmallCell);
    CGaugeLayout l;
    // A window smaller than one cell still shows one (clipped) cell.
    l.cColumns = std::clamp(cx / std::max(cxCell, 1), 1, c_cGaugeColumns);
    l.cRows = std::clamp(cy / std::max(cyCell, 1), 1, c_cGaugeRows);
    return l;
}

int CGaugeLayout::HitTest(int x, int y, int cx, int cy) const {
    const int c = cx > 0 ? std::clamp(static_cast<int>(static_cast<long long>(x) * cColumns / cx), 0, cColumns - 1) : 0;
    const int r = cy > 0 ? std::clamp(static_cast<int>(static_cast<long long>(y) * cRows / cy), 0, cRows - 1) : 0;
    return CellIndex(c, r);
}

RECT CGaugeLayout::Cell(int c, int r, int cx, int cy) const {
    const int w = std::max(cx - 1, 0), h = std::max(cy - 1, 0);
    RECT rc;
    rc.left = w * c / cColumns;
    rc.right = w * (c + 1) / cColumns;
    rc.top = h * r / cRows;
    rc.bottom = h * (r + 1) / cRows;
    return rc;
}

const char16_t* DefaultGaugeKey(int nCell, bool fPortrait) {
    if (nCell < 0 || nCell >= c_cGauges) return u"";
    // Invert the cell index: columns 0 and 1 interleave, 2 and 3 run down.
    const int c = nCell < 16 ? nCell % 2 : nCell / 8;
    const int r = nCell < 16 ? nCell / 2 : nCell % 8;
    return (fPortrait ? c_aszPortrait : c_aszLandscape)[r][c];
}

void CGaugePage::Init() {
    m_fBig = ReadSettingBool(u"BigGauges", true);
    ReadCells();
}

SIZE CGaugePage::Size() const {
    if (m_cx > 0 && m_cy > 0) return SIZE{m_cx, m_cy};
    if (IWindowPort* pPort = PageHostPort()) return pPort->ClientSize();
    return SIZE{248, 330};
}

void CGaugePage::ReadCells() {
    const SIZE s = Size();
    const bool fPortrait = s.cx < s.cy;
    CGaugeCatalogue* pCat = Gauges();
    for (int i = 0; i < c_cGauges; ++i) {
        const std::u16string strKey = ReadSettingString(CellSetting(i).c_str(), 32, DefaultGaugeKey(i, fPortrait));
        m_apEntries[static_cast<std::size_t>(i)] = pCat ? pCat->Find(strKey) : nullptr;
    }
}

void CGaugePage::RestoreDefaults() {
    const SIZE s = Size();
    for (int i = 0; i < c_cGauges; ++i) WriteSettingString(CellSetting(i).c_str(), DefaultGaugeKey(i, s.cx < s.cy));
    ReadCells();
}

void CGaugePage::Activate() { ReadCells(); }

void CGaugePage::OnSize(int cx, int cy) {
    m_cx = cx;
    m_cy = cy;
    ReadCells();
}

void CGaugePage::Refresh(bool) { ReadCells(); }

void CGaugePage::OnPaint(ICanvas& dc) {
    const int cx = dc.Width(), cy = dc.Height();
    m_cx = cx;
    m_cy = cy;
    dc.FillRect(RECT{0, 0, cx, cy}, CBrushDesc{bkSolid, RGB(255, 255, 255)});
    const CGaugeLayout l = GaugeLayout(cx, cy, m_fBig);
    for (int r = 0; r < l.cRows; ++r) {
        for (int c = 0; c < l.cColumns; ++c) {
            const int nCell = CGaugeLayout::CellIndex(c, r);
            const RECT rc = l.Cell(c, r, cx, cy);
            const int nState = nCell == m_nPressed ? 2 : nCell == m_nSelected ? 1 : 0;
            DrawGaugeCell(dc, !m_fBig, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                          m_apEntries[static_cast<std::size_t>(nCell)], nState);
        }
    }
}

void CGaugePage::Redraw() {
    if (IPageHost* pHost = PageHost(); pHost && &pHost->CurrentPage() == this) pHost->RedrawNow();
}

void CGaugePage::SetBig(bool fBig) {
    if (fBig == m_fBig) return;
    m_fBig = fBig;
    WriteSettingBool(u"BigGauges", fBig);
    const CGaugeLayout l = GaugeLayout(Size().cx, Size().cy, m_fBig);
    // Keep the selection on a cell that is still shown.
    bool fShown = false;
    for (int r = 0; r < l.cRows; ++r)
        for (int c = 0; c < l.cColumns; ++c) fShown = fShown || CGaugeLayout::CellIndex(c, r) == m_nSelected;
    if (!fShown) m_nSelected = 0;
    Redraw();
    if (IPageHost* pHost = PageHost()) pHost->UpdateMenu();
}

void CGaugePage::OnDown(int x, int y) {
    const SIZE s = Size();
    m_nPressed = GaugeLayout(s.cx, s.cy, m_fBig).HitTest(x, y, s.cx, s.cy);
    m_nSelected = m_nPressed;
    Redraw();
}

void CGaugePage::OnUp(int, int) {
    if (m_nPressed < 0) return;
    m_nPressed = -1;
    Redraw();
}

void CGaugePage::OnDblClick(int x, int y) {
    const SIZE s = Size();
    m_nSelected = GaugeLayout(s.cx, s.cy, m_fBig).HitTest(x, y, s.cx, s.cy);
    Choose(m_nSelected);
}

void CGaugePage::OnKeyDown(UINT uKey) {
    if (uKey == VK_RETURN || uKey == VK_SPACE) Choose(m_nSelected);
}

void CGaugePage::OnRButtonUp(int x, int y) {
    const SIZE s = Size();
    m_nSelected = GaugeLayout(s.cx, s.cy, m_fBig).HitTest(x, y, s.cx, s.cy);
    Redraw();
    IWindowPort* pPort = PageHostPort();
    if (!pPort) return;
    CMenuPopup menu;
    menu.uTitleId = IDM_GAUGE_PAGE;
    auto item = [](UINT uId, bool fGrayed) {
        CMenuItem it;
        it.uId = uId;
        it.uTextId = c_uMenuTextBase + uId;
        it.fGrayed = fGrayed;
        return it;
    };
    CGaugeEntry* pEntry = CellGauge(m_nSelected);
    menu.vecItems = {item(ID_CHOOSE_GAUGE, GaugeDialogs().pfnChooseGauge == nullptr),
                     item(ID_RESET_GAUGE, !(pEntry && pEntry->fResettable)), item(ID_RESET_ALL_GAUGES, false),
                     item(ID_DEFAULT_GAUGES, false)};
    if (const UINT uId = pPort->TrackPopupMenu(menu, x, y)) OnCommand(uId);
}

void CGaugePage::Choose(int nCell) {
    const auto pfnChoose = GaugeDialogs().pfnChooseGauge;
    if (!pfnChoose || nCell < 0 || nCell >= c_cGauges) return;
    CGaugeEntry* pChosen = pfnChoose(CellGauge(nCell));
    if (!pChosen) return;
    WriteSettingString(CellSetting(nCell).c_str(), pChosen->strKey.c_str());
    m_apEntries[static_cast<std::size_t>(nCell)] = pChosen;
    Redraw();
}

void CGaugePage::OnCommand(UINT uId) {
    switch (uId) {
    case ID_CHOOSE_GAUGE: Choose(m_nSelected); break;
    case ID_RESET_GAUGE:
        if (CGaugeEntry* p = CellGauge(m_nSelected)) p->m_pGauge->Reset();
        Redraw();
        break;
    case ID_RESET_ALL_GAUGES:
        if (AskResetAllGauges()) Redraw();
        break;
    case ID_DEFAULT_GAUGES:
        if (AskYesNo(IDS_ASK_DEFAULT_GAUGES) == IDYES) {
            RestoreDefaults();
            Redraw();
        }
        break;
    default: break;
    }
}

} // namespace velka
