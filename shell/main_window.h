// The main window's logic, apart from the window system: the four pages
// and the current one, the off-screen bitmap, the window procedure
// (messages, keys, pointer, timers, menu commands, cross-thread
// notifications), the menu update, the exit request and the restart. The
// window system is reached through IWindowPort; the Qt window implements
// it and turns its events into the messages below.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "shell/menu_commands.h"
#include "shell/page.h"
#include "shell/page_host.h"
#include "shell/window_port.h"
#include "shell/window_messages.h"

namespace velka {


class CMainWindow;
using HWND = CMainWindow*;
// The main window; null until it is created. Dialogs of every subsystem
// assert that it is set.
extern HWND g_hWnd;

class CMainWindow : public IPageHost {
public:
    // The four pages in index order (0 map, 1 route, 2 gauges, 3 satellites).
    explicit CMainWindow(std::array<std::unique_ptr<CPage>, c_cPages> pages);
    ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // The port is attached before it sends WM_CREATE.
    void Attach(IWindowPort* pPort) { m_pPort = pPort; }
    IWindowPort* Port() const override { return m_pPort; }

    // The window procedure. *pfHandled (when given) is false for messages
    // left to the window system's default processing.
    LRESULT WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam, bool* pfHandled = nullptr);

    // Pages.
    CPage& Page(UINT uIndex) const override { return *m_apPages[uIndex]; }
    UINT CurrentPageIndex() const { return m_uCurrentPage; }
    CPage& CurrentPage() const override { return *m_apPages[m_uCurrentPage]; }
    void SelectPage(UINT uIndex);
    void NextPage();
    void PreviousPage();
    // Start-up: Init on all pages, the stored page becomes current.
    void InitPages();
    // Shutdown: Deactivate on the current page, Done on all pages.
    void DonePages();

    void RedrawNow() override;
    void RefreshAllPages(bool fForce);
    void UpdateMenu() override;
    // Opens a map (wait cursor), refreshes all pages and lets OnMapOpened
    // choose the current page.
    void OpenMapAndChoosePage(const std::u16string& strPath, bool fAtlas);

    SIZE ClientSize() const override { return m_sizeClient; }
    const ICanvas* OffscreenBitmap() const { return m_pBitmap.get(); }
    ICanvas* OffscreenBitmap() { return m_pBitmap.get(); }
    SIZE BitmapSize() const { return m_sizeBitmap; }
    // Deletes the off-screen bitmap (shutdown).
    void DeleteBitmap();

private:
    void PageSwitchSteps();
    // Steps the page index by uStep (mod 4) until a page can be shown.
    void StepPage(UINT uStep);
    void OnSize(int cx, int cy);
    void OnCommand(UINT uId);
    void OnTimer(UINT uId);
    void OnExitRequest(WPARAM wParam);
    void ToggleGpsConnection();
    void ToggleTrackRecording();
    void CycleNightMode();

    std::array<std::unique_ptr<CPage>, c_cPages> m_apPages;
    UINT m_uCurrentPage = 0;
    IWindowPort* m_pPort = nullptr;
    SIZE m_sizeClient{};
    SIZE m_sizeBitmap{};
    std::unique_ptr<ICanvas> m_pBitmap;
};

// Positioning started or stopped: every page hears it, in index order
// (nothing before the window exists).
void TellPagesPositioningStarted();
void TellPagesPositioningStopped();

// Posts the exit request (WM_USER, wParam = restart flag) to the main window.
void RequestExit(bool fRestart);

// The next night mode of the cycle 3 -> 1 -> 2 -> 3 (0 and others -> 3).
int NextNightMode(int nMode);

// Shows the wait cursor for the life of the object.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace velka
