#include "shell/menu_commands.h"

#include "shell/string_ids.h"

namespace velka {
namespace {

CMenuItem Item(UINT uId, bool fCheckable = false) { return {uId, c_uMenuTextBase + uId, fCheckable, false}; }
CMenuItem PageItem(UINT uIndex) { return {ID_PAGE_FIRST + uIndex, 0, true, true}; }
CMenuItem Separator() { return {}; }

} // namespace

const std::vector<CMenuPopup>& MenuTemplate() {
    static const std::vector<CMenuPopup> menu = {
        {IDS_POPUP_FILE,
         {Item(ID_OPEN_MAP), Item(ID_OPEN_ATLAS), Item(ID_MAP_INFO), Separator(), Item(ID_SAVE_GAUGES),
          Separator(), Item(ID_EXIT)}},
        {IDS_POPUP_VIEW,
         {Item(ID_ZOOM_IN), Item(ID_ZOOM_OUT), Separator(), PageItem(0), PageItem(1), PageItem(2),
          PageItem(3), Separator(), Item(ID_NIGHT_MODE), Item(ID_FULL_SCREEN)}},
        {IDS_POPUP_FIND,
         {Item(ID_FIND_NEAREST), Item(ID_FIND_CITY), Item(ID_FIND_IN_CITY), Item(ID_FIND_ADDRESS)}},
        {IDS_POPUP_NAVIGATION,
         {Item(ID_SAVE_WAYPOINT), Item(ID_WAYPOINTS), Item(ID_ROUTES), Separator(), Item(ID_STOP_GUIDANCE)}},
        {IDS_POPUP_TOOLS,
         {Item(ID_CONNECT_GPS, true), Item(ID_RECORD_TRACK, true), Separator(), Item(ID_OPTIONS), Separator(),
          Item(ID_HELP), Item(ID_ABOUT)}},
    };
    return menu;
}

std::vector<UINT> MenuCommands() {
    std::vector<UINT> ids;
    for (const CMenuPopup& popup : MenuTemplate())
        for (const CMenuItem& item : popup.vecItems)
            if (item.uId) ids.push_back(item.uId);
    return ids;
}

const char* MenuShortcut(UINT uId) {
    switch (uId) {
    case ID_OPEN_MAP: return "Ctrl+O";
    case ID_OPEN_ATLAS: return "Ctrl+Shift+O";
    case ID_MAP_INFO: return "Ctrl+I";
    case ID_SAVE_GAUGES: return "Ctrl+Shift+S";
    case ID_EXIT: return "Ctrl+Q";
    case ID_ZOOM_IN: return "+; =; Ctrl++";
    case ID_ZOOM_OUT: return "-; Ctrl+-";
    case ID_PAGE_FIRST + 0: return "Alt+1";
    case ID_PAGE_FIRST + 1: return "Alt+2";
    case ID_PAGE_FIRST + 2: return "Alt+3";
    case ID_PAGE_FIRST + 3: return "Alt+4";
    case ID_NIGHT_MODE: return "Ctrl+N";
    case ID_FULL_SCREEN: return "F11";
    case ID_FIND_NEAREST: return "Ctrl+F";
    case ID_FIND_CITY: return "Ctrl+Shift+F";
    case ID_SAVE_WAYPOINT: return "Ctrl+S";
    case ID_WAYPOINTS: return "Ctrl+W";
    case ID_ROUTES: return "Ctrl+R";
    case ID_CONNECT_GPS: return "Ctrl+G";
    case ID_RECORD_TRACK: return "Ctrl+T";
    case ID_OPTIONS: return "Ctrl+,";
    case ID_HELP: return "F1";
    default: return nullptr;
    }
}

} // namespace velka
