#include "shell/page.h"

#include "shell/page_host.h"
#include "shell/resources.h"
#include "shell/screen.h"

namespace velka {

namespace {
IPageHost* g_pPageHost = nullptr;
} // namespace

IPageHost* PageHost() { return g_pPageHost; }
void SetPageHost(IPageHost* pHost) { g_pPageHost = pHost; }

void CTitlePage::OnPaint(ICanvas& dc) {
    RECT rc{0, 0, dc.Width(), dc.Height()};
    CBrushDesc white;
    white.crColor = RGB(255, 255, 255);
    dc.FillRect(rc, white);
    CFontDesc font;
    font.nHeight = -ScaleY(16);
    font.nWeight = 700;
    dc.SelectFont(font);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(LoadStr(m_uTitleId), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

} // namespace velka
