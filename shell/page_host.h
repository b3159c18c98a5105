// The window the four pages live in, as the pages see it: its client size,
// the other pages, the repaint and menu update, and the window system's
// port. The main window implements it; a page reaches it through
// PageHost(), which is null before the window is created.
#pragma once
#include "platform/win_types.h"
#include "shell/page.h"
#include "shell/window_port.h"

namespace velka {

class IPageHost {
public:
    virtual ~IPageHost() = default;
    virtual IWindowPort* Port() const = 0;
    virtual CPage& Page(UINT uIndex) const = 0;
    virtual SIZE ClientSize() const = 0;
    virtual void RedrawNow() = 0;
    virtual void UpdateMenu() = 0;
};

// The page host of the process, null until the main window is created.
IPageHost* PageHost();
void SetPageHost(IPageHost* pHost);

// The host's port, or null without a host or a port.
inline IWindowPort* PageHostPort() {
    IPageHost* pHost = PageHost();
    return pHost ? pHost->Port() : nullptr;
}

} // namespace velka
