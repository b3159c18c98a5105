// The four search dialogs in the program: find a city (40091), objects in a
// city (40075), a postal address (40076) and the nearest objects (40090).
// What they do with a chosen entry (show it on the map, go to it) and the
// map's reference point come from the program through SearchUi().
#pragma once
#include <functional>
#include <string>

#include "geometry/map_types.h"
#include "search/find_models.h"

class QWidget;

namespace velka {

class CMapParser;

// A chosen entry: its point (map units), the view scale index suited to
// it, its text and type.
struct CFindTarget {
    CMapPoint pt{};
    WORD wScale = 0;
    std::u16string strText;
    int nKind = rkPoint;
    WORD wType = 0;
};

struct CSearchUi {
    // 40080: the entry becomes the map's only selected object, the view
    // centres on it at its scale, the pages are refreshed and the map page
    // shown.
    std::function<void(const CFindTarget&)> fnShowOnMap;
    // 40082: guidance straight to the entry.
    std::function<void(const CFindTarget&)> fnGoTo;
    // The map view's reference point (map units).
    std::function<CMapPoint()> fnReferencePoint;
    // Row icons (the map's type samples unless replaced).
    TypeIconFn fnTypeIcon;
    // Without a screen: no progress window, no chooser at opening.
    bool fHeadless = false;
    // Whether a map is still the open one (a dialog keeps reading it).
    std::function<bool(const CMapParser*)> fnIsMapOpen;
};
CSearchUi& SearchUi();

// The type sample of the map styles as a 16 x 16 icon (times the screen
// factors), drawn once per type.
QIcon TypeSampleIcon(int nKind, WORD wType);

// Opens a dialog over the parent for the open map, after its checks (the
// map's indexes, the type chooser when Find_AutoType is on).
void RunFindCityDialog(CMapParser& map, QWidget* pParent);
void RunFindInCityDialog(CMapParser& map, QWidget* pParent);
void RunFindAddressDialog(CMapParser& map, QWidget* pParent);
void RunFindNearestDialog(CMapParser& map, QWidget* pParent);

// The map is about to close: the running search dialog, if any, lets go
// of it and closes (a search under way must be over first: see
// IsSearchRunning and CancelSearch).
void ReleaseSearchDialogMap();

// The four menu commands: the dialog over the active window for the map
// that is open when the command runs (nothing without one).
void FindCityOnOpenMap();    // 40091
void FindInCityOnOpenMap();  // 40075
void FindAddressOnOpenMap(); // 40076
void FindNearestOnOpenMap(); // 40090

} // namespace velka
