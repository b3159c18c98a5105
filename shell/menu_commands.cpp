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

} // namespace velka
