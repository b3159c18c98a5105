#include "shell/main_window.h"

#include <cstdint>

#include "platform/debug.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/notifications.h"
#include "shell/posted_boxes.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/subsystem_hooks.h"

namespace velka {

HWND g_hWnd = nullptr;

namespace {

// Night-mode images of the owner-drawn menu for the modes 1, 2 and 3.
int NightModeImage(int nMode) {
    switch (nMode) {
    case 1: return 34;
    case 2: return 25;
    case 3: return 35;
    default: return -1;
    }
}

} // namespace

int NextNightMode(int nMode) {
    switch (nMode) {
    case 3: return 1;
    case 1: return 2;
    case 2: return 3;
    default: return 3;
    }
}

void RequestExit(bool fRestart) { UiHost().PostMessage(WM_EXIT_REQUEST, fRestart ? 1 : 0, 0); }

CWaitCursor::CWaitCursor() {
    if (g_hWnd && g_hWnd->Port()) g_hWnd->Port()->SetWaitCursor(true);
}
CWaitCursor::~CWaitCursor() {
    if (g_hWnd && g_hWnd->Port()) g_hWnd->Port()->SetWaitCursor(false);
}

CMainWindow::CMainWindow(std::array<std::unique_ptr<CPage>, c_cPages> pages) : m_apPages(std::move(pages)) {
    for (const auto& p : m_apPages) VELKA_ASSERT(p != nullptr);
}

CMainWindow::~CMainWindow() {
    if (g_hWnd == this) g_hWnd = nullptr;
    if (PageHost() == this) SetPageHost(nullptr);
}

void CMainWindow::InitPages() {
    for (auto& p : m_apPages) p->Init();
    UINT uPage = static_cast<UINT>(ReadSettingInt(u"Page", 0));
    m_uCurrentPage = uPage > 3 ? 3 : uPage;
    PageSwitchSteps();
}

void CMainWindow::DonePages() {
    CurrentPage().Deactivate();
    for (auto& p : m_apPages) p->Done();
}

void CMainWindow::PageSwitchSteps() {
    // A page with a scroll bar sets it when it draws; the others have none.
    if (m_pPort && !CurrentPage().HasScrollBar()) m_pPort->SetScrollBar(0, 0, 0);
    CurrentPage().Activate();
    if (m_pPort) m_pPort->CheckMenuRadioItem(ID_PAGE_FIRST, ID_PAGE_FIRST + 4, ID_PAGE_FIRST + m_uCurrentPage);
    UpdateMenu();
    WriteSettingInt(u"Page", static_cast<int>(m_uCurrentPage));
}

void CMainWindow::SelectPage(UINT uIndex) {
    if (uIndex >= c_cPages) uIndex = c_cPages - 1;
    if (uIndex == m_uCurrentPage) return;
    CurrentPage().Deactivate();
    m_uCurrentPage = uIndex;
    PageSwitchSteps();
    RedrawNow();
}

void CMainWindow::NextPage() { StepPage(1); }
void CMainWindow::PreviousPage() { StepPage(c_cPages - 1); }

void CMainWindow::StepPage(UINT uStep) {
    CurrentPage().Deactivate();
    // At most one round: when no other page can be shown the current stays.
    UINT u = m_uCurrentPage;
    for (UINT k = 0; k < c_cPages; ++k) {
        u = (u + uStep) % c_cPages;
        if (m_apPages[u]->CanShow()) break;
    }
    m_uCurrentPage = u;
    PageSwitchSteps();
    RedrawNow();
}

void CMainWindow::RedrawNow() {
    VELKA_ASSERT(g_hWnd != nullptr);
    if (!m_pPort) return;
    m_pPort->Invalidate();
    m_pPort->UpdateNow();
    // An explicit redraw postpones the periodic page update.
    m_pPort->KillTimer(c_uTimerPeriodic);
    m_pPort->SetTimer(c_uTimerPeriodic, c_msPeriodic);
}

void CMainWindow::RefreshAllPages(bool fForce) {
    for (auto& p : m_apPages) p->Refresh(fForce);
}

void CMainWindow::UpdateMenu() {
    if (!m_pPort) return;
    const CSubsystemHooks& h = SubsystemHooks();
    IWindowPort& port = *m_pPort;
    const bool fMap = AskHook(h.map.fnIsOpen);

    port.EnableMenuItem(ID_HELP, false);
    port.EnableMenuItem(ID_MAP_INFO, fMap && h.map.fnInfo);
    port.EnableMenuItem(ID_FIND_NEAREST, fMap && h.search.fnFindNearest);
    port.EnableMenuItem(ID_FIND_CITY, fMap && h.search.fnFindCity);
    port.EnableMenuItem(ID_FIND_IN_CITY, fMap && h.search.fnFindInCity);
    port.EnableMenuItem(ID_FIND_ADDRESS, fMap && h.search.fnFindAddress);
    port.EnableMenuItem(ID_ZOOM_IN, CurrentPage().CanZoomIn());
    port.EnableMenuItem(ID_ZOOM_OUT, CurrentPage().CanZoomOut());
    for (UINT i = 0; i < c_cPages; ++i) port.EnableMenuItem(ID_PAGE_FIRST + i, m_apPages[i]->CanShow());
    port.EnableMenuItem(ID_STOP_GUIDANCE, AskHook(h.navigation.fnIsGuidanceActive) && h.navigation.fnStopGuidance);

    port.EnableMenuItem(ID_CONNECT_GPS, h.positioning.fnStart && h.positioning.fnStop);
    port.CheckMenuItem(ID_CONNECT_GPS, AskHook(h.positioning.fnIsRunning));
    port.EnableMenuItem(ID_RECORD_TRACK, h.tracks.fnStartRecording && h.tracks.fnStopRecording);
    port.CheckMenuItem(ID_RECORD_TRACK, ReadSettingBool(u"RecordTrack", false));
    port.SetMenuItemImage(ID_NIGHT_MODE, NightModeImage(ReadSettingInt(u"NightMode", 3)));

    // Commands whose dialogs belong to subsystems not present are disabled.
    port.EnableMenuItem(ID_ABOUT, static_cast<bool>(h.dialogs.fnAbout));
    port.EnableMenuItem(ID_OPTIONS, static_cast<bool>(h.dialogs.fnOptions));
    port.EnableMenuItem(ID_SAVE_WAYPOINT, static_cast<bool>(h.navigation.fnSaveWaypoint));
    port.EnableMenuItem(ID_WAYPOINTS, static_cast<bool>(h.navigation.fnWaypointList));
    port.EnableMenuItem(ID_OPEN_ATLAS, static_cast<bool>(h.map.fnAtlasDialog));
    port.EnableMenuItem(ID_SAVE_GAUGES, static_cast<bool>(h.gauges.fnSave));
    port.EnableMenuItem(ID_ROUTES, static_cast<bool>(h.navigation.fnRouteList));
    port.EnableMenuItem(ID_OPEN_MAP, h.map.fnChooseFile && h.map.fnOpen);
    port.EnableMenuItem(ID_EXIT, true);
    port.EnableMenuItem(ID_NIGHT_MODE, true);
    port.EnableMenuItem(ID_FULL_SCREEN, true);
    port.DrawMenuBar();
}

void CMainWindow::OpenMapAndChoosePage(const std::u16string& strPath, bool fAtlas) {
    {
        CWaitCursor wait;
        CallHook(SubsystemHooks().map.fnOpen, strPath, fAtlas);
        RefreshAllPages(true);
    }
    for (UINT i = 0; i < c_cPages; ++i) {
        if (m_apPages[i]->OnMapOpened()) {
            SelectPage(i);
            break;
        }
    }
}

void CMainWindow::DeleteBitmap() {
    m_pBitmap.reset();
    m_sizeBitmap = {};
}

void CMainWindow::OnSize(int cx, int cy) {
    m_sizeClient = {cx, cy};
    if (m_pBitmap && m_sizeBitmap.cx == cx && m_sizeBitmap.cy == cy) return;
    m_pBitmap.reset();
    if (m_pPort) m_pBitmap = m_pPort->CreateBitmap(cx, cy);
    m_sizeBitmap = {cx, cy};
    CurrentPage().OnSize(cx, cy);
}

void CMainWindow::OnExitRequest(WPARAM wParam) {
    const CSubsystemHooks& h = SubsystemHooks();
    if (AskHook(h.map.fnIsFrameRendering)) {
        // The frame stops first; the request comes round again.
        CallHook(h.map.fnStopRenderingFrame);
        UiHost().PostMessage(WM_EXIT_REQUEST, wParam, 0);
        return;
    }
    WriteSettingBool(u"SafeExit", true);
    // The new process starts before this window goes; it skips the
    // single-instance check, so it never gives way to this one.
    if (wParam && m_pPort) m_pPort->StartRestartedProcess();
    if (m_pPort) m_pPort->Destroy();
}

void CMainWindow::ToggleGpsConnection() {
    const CSubsystemHooks& h = SubsystemHooks();
    bool fWasOn = ReadSettingBool(u"ScanCOMPorts", true);
    WriteSettingBool(u"ScanCOMPorts", !fWasOn);
    bool fRunning = AskHook(h.positioning.fnIsRunning);
    if (fWasOn && fRunning)
        CallHook(h.positioning.fnStop);
    else if (!fWasOn && !fRunning)
        CallHook(h.positioning.fnStart, true);
    UpdateMenu();
}

void CMainWindow::ToggleTrackRecording() {
    const CSubsystemHooks& h = SubsystemHooks();
    bool fOn = !ReadSettingBool(u"RecordTrack", false);
    WriteSettingBool(u"RecordTrack", fOn);
    if (fOn)
        CallHook(h.tracks.fnStartRecording);
    else
        CallHook(h.tracks.fnStopRecording);
    CallHook(h.tracks.fnRecordingChanged, fOn);
    UpdateMenu();
}

void CMainWindow::CycleNightMode() {
    int nMode = NextNightMode(ReadSettingInt(u"NightMode", 3));
    WriteSettingInt(u"NightMode", nMode);
    CallHook(SubsystemHooks().map.fnApplyNightMode, nMode);
    RefreshAllPages(true);
    UpdateMenu();
}

void CMainWindow::OnCommand(UINT uId) {
    const CSubsystemHooks& h = SubsystemHooks();
    if (uId >= ID_PAGE_FIRST && uId <= ID_PAGE_LAST) {
        SelectPage(uId - ID_PAGE_FIRST);
        return;
    }
    switch (uId) {
    case ID_ZOOM_IN: CurrentPage().ZoomIn(); break;
    case ID_ZOOM_OUT: CurrentPage().ZoomOut(); break;
    case ID_ABOUT: CallHook(h.dialogs.fnAbout); break;
    case ID_EXIT: RequestExit(false); break;
    case ID_OPTIONS: CallHook(h.dialogs.fnOptions, ReadSettingInt(u"OptionsPage", 0)); break;
    case ID_SAVE_WAYPOINT:
        if (h.navigation.fnSaveWaypoint && h.navigation.fnSaveWaypoint()) RefreshAllPages(true);
        break;
    case ID_WAYPOINTS: CallHook(h.navigation.fnWaypointList); break;
    case ID_OPEN_ATLAS:
        VELKA_ASSERT(g_hWnd != nullptr);
        CallHook(h.map.fnAtlasDialog);
        break;
    case ID_STOP_GUIDANCE:
        CallHook(h.navigation.fnStopGuidance);
        RefreshAllPages(true);
        break;
    case ID_SAVE_GAUGES: CallHook(h.gauges.fnSave); break;
    case ID_MAP_INFO: CallHook(h.map.fnInfo); break;
    case ID_FULL_SCREEN: break;
    case ID_CONNECT_GPS:
        if (h.positioning.fnStart && h.positioning.fnStop) ToggleGpsConnection();
        break;
    case ID_RECORD_TRACK:
        if (h.tracks.fnStartRecording && h.tracks.fnStopRecording) ToggleTrackRecording();
        break;
    case ID_HELP: break;
    case ID_FIND_IN_CITY: CallHook(h.search.fnFindInCity); break;
    case ID_FIND_ADDRESS: CallHook(h.search.fnFindAddress); break;
    case ID_FIND_NEAREST: CallHook(h.search.fnFindNearest); break;
    case ID_FIND_CITY: CallHook(h.search.fnFindCity); break;
    case ID_NIGHT_MODE: CycleNightMode(); break;
    case ID_ROUTES: CallHook(h.navigation.fnRouteList); break;
    case ID_OPEN_MAP: {
        if (!h.map.fnChooseFile) break;
        int nFilter = ReadSettingInt(u"MapFormat", 0);
        std::u16string strPath = h.map.fnChooseFile(&nFilter);
        WriteSettingInt(u"MapFormat", nFilter);
        if (!strPath.empty()) OpenMapAndChoosePage(strPath, false);
        break;
    }
    default: CurrentPage().OnCommand(uId); break;
    }
}

void CMainWindow::OnTimer(UINT uId) {
    switch (uId) {
    case c_uTimerPeriodic:
        CurrentPage().OnPeriodic();
        if (m_pPort) m_pPort->SetTimer(c_uTimerPeriodic, c_msPeriodic);
        break;
    case c_uTimerSelection:
        if (m_pPort) m_pPort->KillTimer(c_uTimerSelection);
        if (AskHook(SubsystemHooks().map.fnClearSelection)) RedrawNow();
        break;
    default: CurrentPage().OnTimer(uId); break;
    }
}

LRESULT CMainWindow::WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam, bool* pfHandled) {
    if (pfHandled) *pfHandled = true;
    const CSubsystemHooks& h = SubsystemHooks();
    const int x = LParamX(lParam), y = LParamY(lParam);
    switch (uMsg) {
    case WM_CREATE:
        g_hWnd = this;
        SetPageHost(this);
        if (!m_pPort || !m_pPort->BuildMenuBar(MenuTemplate())) {
            ShowErrorText(u"Couldn't create menu bar");
            if (m_pPort) m_pPort->Destroy();
            return -1;
        }
        m_sizeClient = m_pPort->ClientSize();
        m_pPort->SetTimer(c_uTimerPeriodic, c_msPeriodic);
        return 0;
    case WM_DESTROY:
        if (m_pPort) m_pPort->PostQuitMessage(0);
        return 0;
    case WM_SIZE: OnSize(LParamX(lParam) & 0xFFFF, LParamY(lParam) & 0xFFFF); return 0;
    case WM_PAINT:
        if (m_pBitmap) CurrentPage().OnPaint(*m_pBitmap);
        return 0;
    case WM_CLOSE: RequestExit(false); return 0;
    case WM_COPYDATA: {
        const auto* pcds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!pcds || pcds->dwData != 0) return 0;
        std::u16string strPath;
        const auto* pch = static_cast<const char16_t*>(pcds->lpData);
        for (DWORD k = 0; pch && k < pcds->cbData / 2 && pch[k]; ++k) strPath += pch[k];
        OpenMapAndChoosePage(strPath, false);
        return 1;
    }
    case WM_HELP: return 0;
    case WM_DISPLAYCHANGE: RefreshAllPages(true); return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_LEFT: PreviousPage(); return 0;
        case VK_RIGHT: NextPage(); return 0;
        case VK_UP:
            if (CurrentPage().HasScrollBar())
                CurrentPage().OnVScroll(SB_LINEUP, 0);
            else
                CurrentPage().ZoomIn();
            return 0;
        case VK_DOWN:
            if (CurrentPage().HasScrollBar())
                CurrentPage().OnVScroll(SB_LINEDOWN, 0);
            else
                CurrentPage().ZoomOut();
            return 0;
        // Desktop keys: Page Up/Down page through scrolling pages and zoom
        // the others; '+' and '-' zoom.
        case VK_PRIOR:
            if (CurrentPage().HasScrollBar())
                CurrentPage().OnVScroll(SB_PAGEUP, 0);
            else
                CurrentPage().ZoomIn();
            return 0;
        case VK_NEXT:
            if (CurrentPage().HasScrollBar())
                CurrentPage().OnVScroll(SB_PAGEDOWN, 0);
            else
                CurrentPage().ZoomOut();
            return 0;
        case VK_ADD: CurrentPage().ZoomIn(); return 0;
        case VK_SUBTRACT: CurrentPage().ZoomOut(); return 0;
        default:
            if (pfHandled) *pfHandled = false;
            return 0;
        }
    case WM_COMMAND: OnCommand(static_cast<UINT>(wParam & 0xFFFF)); return 0;
    case WM_TIMER: OnTimer(static_cast<UINT>(wParam)); return 0;
    case WM_VSCROLL:
        CurrentPage().OnVScroll(static_cast<int>(wParam & 0xFFFF), static_cast<int>((wParam >> 16) & 0xFFFF));
        return 0;
    case WM_MOUSEMOVE: CurrentPage().OnMove(x, y); return 0;
    case WM_LBUTTONDOWN: CurrentPage().OnDown(x, y); return 0;
    case WM_LBUTTONUP: CurrentPage().OnUp(x, y); return 0;
    case WM_LBUTTONDBLCLK: CurrentPage().OnDblClick(x, y); return 0;
    case WM_RBUTTONUP: CurrentPage().OnRButtonUp(x, y); return 0;
    case WM_MOUSEWHEEL: {
        // Whole notches; a fine-grained wheel adds up in the window layer.
        const int nDelta = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
        if (nDelta / WHEEL_DELTA) CurrentPage().OnWheel(x, y, nDelta / WHEEL_DELTA);
        return 0;
    }
    case MM_WOM_DONE: CallHook(h.sound.fnBufferDone); return 0;
    case WM_EXIT_REQUEST: OnExitRequest(wParam); return 0;
    case WM_GPS_STATUS:
        ClearNotificationPending(WM_GPS_STATUS);
        CurrentPage().OnGpsStatus();
        return 0;
    case WM_GPS_FIX:
        CallHook(h.gauges.fnPassFix);
        CallHook(h.map.fnCheckAutoNightMode);
        ClearNotificationPending(WM_GPS_FIX);
        CurrentPage().OnGpsFix();
        return 0;
    case WM_GPS_POSITION:
        CallHook(h.navigation.fnUpdate);
        ClearNotificationPending(WM_GPS_POSITION);
        CurrentPage().OnGpsPosition();
        return 0;
    case WM_GPS_DATA:
        ClearNotificationPending(WM_GPS_DATA);
        CurrentPage().OnGpsData();
        return 0;
    case WM_GPS_INDICATOR:
        RedrawNow();
        ClearNotificationPending(WM_GPS_INDICATOR);
        return 0;
    case WM_NEXT_SOUND: CallHook(h.sound.fnPlayNext); return 0;
    case WM_POSTED_ERROR: ShowPostedErrors(); return 0;
    case WM_GPS_NO_POSITION: CallHook(h.gauges.fnPositionLost); return 0;
    default:
        if (pfHandled) *pfHandled = false;
        return 0;
    }
}

void TellPagesPositioningStarted() {
    if (g_hWnd)
        for (UINT i = 0; i < c_cPages; ++i) g_hWnd->Page(i).OnPositioningStarted();
}

void TellPagesPositioningStopped() {
    if (g_hWnd)
        for (UINT i = 0; i < c_cPages; ++i) g_hWnd->Page(i).OnPositioningStopped();
}

} // namespace velka
