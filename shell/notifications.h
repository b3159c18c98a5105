// Cross-thread notifications to the main window. Each of WM_USER+1 to
// WM_USER+5 has a pending flag: a poster sets it and posts only when it was
// clear, the user-interface thread clears it when it handles the message, so
// at most one message of each kind is ever queued.
#pragma once
#include "platform/win_types.h"

namespace velka {

// The first number of the program's own window messages.
constexpr UINT WM_USER = 1024;

constexpr UINT WM_EXIT_REQUEST = WM_USER;     // wParam = restart flag
constexpr UINT WM_GPS_STATUS = WM_USER + 1;   // status text changed
constexpr UINT WM_GPS_FIX = WM_USER + 2;      // new fix
constexpr UINT WM_GPS_POSITION = WM_USER + 3; // last position or course changed
constexpr UINT WM_GPS_DATA = WM_USER + 4;     // satellite table changed
constexpr UINT WM_GPS_INDICATOR = WM_USER + 5; // GPS indicator changed: redraw
constexpr UINT WM_NEXT_SOUND = WM_USER + 6;   // play the next queued sound
constexpr UINT WM_POSTED_ERROR = WM_USER + 20; // show the error boxes a worker thread queued
constexpr UINT WM_GPS_NO_POSITION = WM_USER + 7; // the receiver reports no position: tell the gauges

// Posts uMsg (WM_USER+1..+5) unless one is already pending; other messages
// are posted unconditionally. Returns true when a message was posted.
bool PostNotification(UINT uMsg);
// Called by the user-interface thread when it handles the message.
void ClearNotificationPending(UINT uMsg);
bool IsNotificationPending(UINT uMsg);

} // namespace velka
