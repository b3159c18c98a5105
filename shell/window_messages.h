// The window messages, keys and timers the main window handles, with their
// Win32 numbers, and the data record of a command line handed over by a
// second instance.
#pragma once
#include <cstdint>

#include "platform/win_types.h"
#include "shell/notifications.h"

namespace velka {

using LRESULT = std::intptr_t;

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_HELP = 0x0053;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONUP = 0x0205;
// The wheel: wParam high word the signed delta (120 a notch), lParam the
// client point.
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr int WHEEL_DELTA = 120;
constexpr UINT MM_WOM_DONE = 0x03BD;

constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
// Desktop keys beside the handheld's arrows.
constexpr UINT VK_PRIOR = 0x21; // Page Up
constexpr UINT VK_NEXT = 0x22;  // Page Down
constexpr UINT VK_ADD = 0x6B;   // '+'
constexpr UINT VK_SUBTRACT = 0x6D; // '-'

// Timers of the main window.
constexpr UINT c_uTimerPeriodic = 12;  // every 2 s: OnPeriodic of the current page
constexpr UINT c_uTimerSelection = 16; // 15 s after a tap: clears the selection balloon
constexpr UINT c_uTimerDragRedraw = 17; // 20 ms after the last drag movement (map page)
constexpr UINT c_msPeriodic = 2000;

struct COPYDATASTRUCT {
    std::uintptr_t dwData = 0;
    DWORD cbData = 0;
    const void* lpData = nullptr;
};

constexpr LPARAM MakeLParam(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>((static_cast<std::uint32_t>(lo) & 0xFFFF) |
                                                          ((static_cast<std::uint32_t>(hi) & 0xFFFF) << 16)));
}
constexpr int LParamX(LPARAM lp) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(lp) & 0xFFFF));
}
constexpr int LParamY(LPARAM lp) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((static_cast<std::uint32_t>(lp) >> 16) & 0xFFFF));
}
constexpr WPARAM MakeWParam(unsigned lo, unsigned hi) {
    return static_cast<WPARAM>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16));
}

} // namespace velka
