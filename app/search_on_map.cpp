#include "app/search_on_map.h"

#include <QTimer>
#include <algorithm>
#include <string>

#include "gps/positioning.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "mapview/styles.h"
#include "routing/navigator.h"
#include "search/search_dialogs.h"
#include "search/search_progress_window.h"
#include "shell/main_window.h"
#include "shell/window_messages.h"

namespace velka {
namespace {

// The selection balloon's life, as after a tap on the map.
constexpr UINT c_msSelectionBalloon = 15000;

// A map handed over (by a second start) while a search reads the open one
// opens once the cancelled search has returned.
void OpenMapAfterSearch(const std::u16string& strPath, bool fAtlas) {
    QTimer::singleShot(50, [strPath, fAtlas] {
        if (IsSearchRunning())
            OpenMapAfterSearch(strPath, fAtlas);
        else if (g_hWnd)
            g_hWnd->OpenMapAndChoosePage(strPath, fAtlas);
    });
}

} // namespace

void ShowFoundOnMap(const CFindTarget& t) {
    CMapPage* pPage = MapPage();
    if (!pPage || !g_hWnd) return;
    CSelectionItem item;
    item.pt = t.pt;
    item.strText = t.strText;
    if (t.nKind == rkPoint) item.uIcon = MapStyles().PointIcon(t.wType);
    pPage->Selection().Fill({item});
    if (IWindowPort* pPort = g_hWnd->Port()) {
        pPort->KillTimer(c_uTimerSelection);
        pPort->SetTimer(c_uTimerSelection, c_msSelectionBalloon);
    }
    pPage->Position().SetScale(std::min<unsigned>(t.wScale, g_cScales - 1));
    pPage->Position().SetCenter(t.pt.lX, t.pt.lY);
    g_hWnd->RefreshAllPages(true);
    for (UINT i = 0; i < c_cPages; ++i)
        if (g_hWnd->Page(i).OnMapOpened()) {
            g_hWnd->SelectPage(i);
            break;
        }
}

void GoToFound(const CFindTarget& t) {
    CNavigator* pNav = TheNavigator();
    if (!pNav) return;
    // Route points are in doubled map units.
    pNav->GoTo(t.pt.lX * 2, t.pt.lY * 2, t.strText, GetCurrentFix(), {g_ptReference.lX * 2, g_ptReference.lY * 2});
}

bool OpenMapReleasingSearch(const std::u16string& strPath, bool fAtlas) {
    if (IsSearchRunning()) {
        CancelSearch();
        OpenMapAfterSearch(strPath, fAtlas);
        return false;
    }
    ReleaseSearchDialogMap();
    return OpenMapOnPage(strPath, fAtlas);
}

} // namespace velka
