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
#include "shell/window_messages.h"

namespace velka {

class IWindowPort {
public:
    virtual ~IWindowPort() = default;
    // Builds the menu bar from the template; false when it cannot.
    virtual bool BuildMenuBar(const std::vector<CMenuPopup>& menu) = 0;
    virtual void EnableMenuItem(UINT uId, bool fEnabled) = 0;
    virtual void CheckMenuItem(UINT uId, bool fChecked) = 0;
    // Checks uId and clears every other radio item from uFirst to uLast.
    virtual void CheckMenuRadioItem(UINT uFirst, UINT uLast, UINT uId) = 0;
    // Image of an owner-drawn item (-1: none).
    virtual void SetMenuItemImage(UINT uId, int nImage) = 0;
    virtual void DrawMenuBar() = 0;
    // Shows a pop-up menu at a client point and waits for the choice: the
    // command chosen, 0 when the menu was dismissed.
    virtual UINT TrackPopupMenu(const CMenuPopup& menu, int x, int y) = 0;

    virtual SIZE ClientSize() const = 0;
    // A bitmap compatible with the window, cx x cy pixels.
    virtual std::unique_ptr<ICanvas> CreateBitmap(int cx, int cy) = 0;
    virtual void Invalidate() = 0; // the whole client area, no erase
    virtual void UpdateNow() = 0;  // paints an invalid area at once
    virtual void SetTimer(UINT uId, UINT uElapseMs) = 0;
    virtual void KillTimer(UINT uId) = 0;
    virtual void SetWaitCursor(bool fWait) = 0;
    virtual void SetForeground() = 0;
    // Destroys the window; the port then delivers WM_DESTROY.
    virtual void Destroy() = 0;
    virtual void PostQuitMessage(int nExitCode) = 0;
    // Starts the program again with the command line "/Start".
    virtual bool StartRestartedProcess() = 0;
};

class CMainWindow;
using HWND = CMainWindow*;
// The main window; null until it is created. Dialogs of every subsystem
// assert that it is set.
extern HWND g_hWnd;

class CMainWindow {
public:
    // The four pages in index order (0 map, 1 route, 2 gauges, 3 satellites).
    explicit CMainWindow(std::array<std::unique_ptr<CPage>, c_cPages> pages);
    ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // The port is attached before it sends WM_CREATE.
    void Attach(IWindowPort* pPort) { m_pPort = pPort; }
    IWindowPort* Port() const { return m_pPort; }

    // The window procedure. *pfHandled (when given) is false for messages
    // left to the window system's default processing.
    LRESULT WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam, bool* pfHandled = nullptr);

    // Pages.
    CPage& Page(UINT uIndex) const { return *m_apPages[uIndex]; }
    UINT CurrentPageIndex() const { return m_uCurrentPage; }
    CPage& CurrentPage() const { return *m_apPages[m_uCurrentPage]; }
    void SelectPage(UINT uIndex);
    void NextPage();
    void PreviousPage();
    // Start-up: Init on all pages, the stored page becomes current.
    void InitPages();
    // Shutdown: Deactivate on the current page, Done on all pages.
    void DonePages();

    void RedrawNow();
    void RefreshAllPages(bool fForce);
    void UpdateMenu();
    // Opens a map (wait cursor), refreshes all pages and lets OnMapOpened
    // choose the current page.
    void OpenMapAndChoosePage(const std::u16string& strPath, bool fAtlas);

    SIZE ClientSize() const { return m_sizeClient; }
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
