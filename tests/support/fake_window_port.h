// A window port without a window for the tests of the main window and the
// pages: it records the pop-up menus it is asked to show and answers them
// from a script, makes bitmaps with a factory the test gives (none by
// default) and does nothing else. Tests override what they watch.
#pragma once
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "shell/window_port.h"

namespace velka::test {

class CFakeWindowPort : public IWindowPort {
public:
    bool BuildMenuBar(const std::vector<CMenuPopup>&) override { return true; }
    void EnableMenuItem(UINT, bool) override {}
    void CheckMenuItem(UINT, bool) override {}
    void CheckMenuRadioItem(UINT, UINT, UINT) override {}
    void SetMenuItemImage(UINT, int) override {}
    void DrawMenuBar() override {}
    UINT TrackPopupMenu(const CMenuPopup& menu, int, int) override {
        m_menus.push_back(menu);
        if (m_answers.empty()) return 0;
        const UINT u = m_answers.front();
        m_answers.pop_front();
        return u;
    }
    void SetScrollBar(int nMax, int nPage, int nPos) override { m_scrollBar = {nMax, nPage, nPos}; }
    SIZE ClientSize() const override { return m_size; }
    std::unique_ptr<ICanvas> CreateBitmap(int cx, int cy) override {
        return m_fnCreateBitmap ? m_fnCreateBitmap(cx, cy) : nullptr;
    }
    void Invalidate() override {}
    void UpdateNow() override {}
    void SetTimer(UINT, UINT) override {}
    void KillTimer(UINT) override {}
    void SetWaitCursor(bool) override {}
    void SetForeground() override {}
    void Destroy() override {}
    void PostQuitMessage(int) override {}
    bool StartRestartedProcess() override { return false; }

    SIZE m_size{400, 300};
    std::array<int, 3> m_scrollBar{}; // the last SetScrollBar: max, page, position
    std::function<std::unique_ptr<ICanvas>(int cx, int cy)> m_fnCreateBitmap;
    std::vector<CMenuPopup> m_menus;   // every pop-up menu shown, in order
    std::deque<UINT> m_answers;        // the commands chosen, in order (then 0)
};

} // namespace velka::test
