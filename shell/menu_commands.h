// The main window's menu commands and the menu bar built from them
// (menu template 100). An item's text is string 100000 + its command id;
// the gauge-page items 2000 to 2003 carry the page titles.
#pragma once
#include <vector>

#include "platform/win_types.h"

namespace velka {

constexpr UINT ID_ZOOM_IN = 40001;
constexpr UINT ID_ZOOM_OUT = 40002;
constexpr UINT ID_ABOUT = 40003;
constexpr UINT ID_EXIT = 40009;
constexpr UINT ID_OPTIONS = 40010;
constexpr UINT ID_SAVE_WAYPOINT = 40011;
constexpr UINT ID_WAYPOINTS = 40020;
constexpr UINT ID_OPEN_ATLAS = 40022;
constexpr UINT ID_STOP_GUIDANCE = 40024;
constexpr UINT ID_SAVE_GAUGES = 40026;
constexpr UINT ID_MAP_INFO = 40037;
constexpr UINT ID_FULL_SCREEN = 40051;
constexpr UINT ID_CONNECT_GPS = 40052;
constexpr UINT ID_RECORD_TRACK = 40062;
constexpr UINT ID_HELP = 40073;
constexpr UINT ID_FIND_IN_CITY = 40075;
constexpr UINT ID_FIND_ADDRESS = 40076;
constexpr UINT ID_FIND_NEAREST = 40090;
constexpr UINT ID_FIND_CITY = 40091;
constexpr UINT ID_NIGHT_MODE = 40127;
constexpr UINT ID_ROUTES = 40133;
constexpr UINT ID_OPEN_MAP = 57601;
constexpr UINT ID_PAGE_FIRST = 2000; // 2000 + page index; 2000..2009 select a page
constexpr UINT ID_PAGE_LAST = 2009;
constexpr UINT c_cPages = 4;

// Text of a menu item: string 100000 + command id.
constexpr UINT c_uMenuTextBase = 100000;

struct CMenuItem {
    UINT uId = 0;          // 0: separator
    UINT uTextId = 0;      // string id of the text (0: the page title, set by the window)
    bool fCheckable = false;
    bool fRadio = false;   // one of the gauge-page items
    bool fGrayed = false;  // shown disabled (a pop-up item whose handler is missing)
    bool fChecked = false; // a checkable pop-up item shown checked
};

struct CMenuPopup {
    UINT uTitleId = 0;
    std::vector<CMenuItem> vecItems;
};

// The menu bar, left to right.
const std::vector<CMenuPopup>& MenuTemplate();
// Every command of the menu bar, in menu order (no separators).
std::vector<UINT> MenuCommands();

// The desktop keyboard shortcuts of a menu command, shown in the menu
// ("Ctrl+O"; portable key names, several separated by "; "), or null. The
// handheld keys (arrows) stay with the window.
const char* MenuShortcut(UINT uId);

} // namespace velka
