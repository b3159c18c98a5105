// What the window system offers the main window and its pages: the menu
// bar, pop-up menus, bitmaps, repaint, timers, the cursor and the process's
// end. The Qt window implements it.
#pragma once
#include <memory>
#include <vector>

#include "platform/canvas.h"
#include "platform/win_types.h"
#include "shell/menu_commands.h"

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
    // The vertical scroll bar beside the client area: items 0..nMax, nPage
    // of them visible, the top one nPos. Shown only while the items do not
    // fit the page; (0, 0, 0) hides it. Its use arrives as WM_VSCROLL.
    virtual void SetScrollBar(int nMax, int nPage, int nPos) = 0;

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

} // namespace velka
