// What the waypoint list and edit dialogs need without a window system:
// the list's columns with their cell texts and sort order, the list state
// kept in the settings (Waypoints_SortCol, Waypoints_SortOrder,
// Waypoints_Headers), and reading back the values the user types in the
// edit dialog (positions in any of the position formats, elevations and
// short distances in the user's units).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"
#include "shell/string_ids.h"
#include "waypoints/waypoint_store.h"

namespace velka {


// Field lengths of the edit dialog (a longer imported text is kept whole).
constexpr int c_cchWaypointName = 80;
constexpr int c_cchWaypointComment = 255;

enum WaypointColumn { wcName, wcSymbol, wcPosition, wcAltitude, wcComment, wcTime };
constexpr int c_cWaypointColumns = 6;

UINT WaypointColumnTitle(int iColumn);
// The cell text of a column in the user's units ("" for no altitude or
// no time).
std::u16string WaypointCellText(const Waypoint& wp, int iColumn);
// Orders two waypoints by a column: < 0, 0 or > 0. Texts compare without
// case, positions by latitude then longitude, no altitude and no time
// come first.
int CompareWaypoints(const Waypoint& a, const Waypoint& b, int iColumn);

// The live waypoints in list order (newest first), then sorted stably by
// a column (iColumn < 0 keeps the list order).
std::vector<Waypoint*> LiveWaypoints(const CWaypointStore& store);
void SortWaypoints(std::vector<Waypoint*>& waypoints, int iColumn, bool fDescending);

// Sort column (-1 = list order) and direction of the list dialog.
struct WaypointListSort {
    int iColumn = -1;
    bool fDescending = false;
};
WaypointListSort ReadWaypointListSort();
void WriteWaypointListSort(const WaypointListSort& sort);

// A list's column state: the logical column at each position from left to
// right, and each logical column's width in pixels (0 = hidden). Kept as
// "%d " numbers: the count, the order, the widths; at most 256 characters.
struct ListColumnState {
    std::vector<int> order;
    std::vector<int> widths;
};
constexpr std::size_t c_cchListState = 256;
constexpr int c_nMaxListColumnWidth = 10000;
std::u16string FormatListState(const ListColumnState& state);
// Null unless the text holds a state of cColumns columns whose order is a
// permutation and whose widths are between 0 and 10000.
std::optional<ListColumnState> ParseListState(std::u16string_view text, int cColumns);
std::optional<ListColumnState> ReadWaypointListHeaders();
void WriteWaypointListHeaders(const ListColumnState& state);

// One coordinate as the user types it: signed decimal degrees ("-33.5"),
// or degrees, minutes and seconds separated by blanks, '°', '\'', '"' or
// ':' with a hemisphere letter before or after ("S33°30.000'",
// "33 30 0 S", " N55.75000°"; Cyrillic С/Ю and В/З too). A comma may stand
// for the decimal point. Null for anything else or out of range.
std::optional<double> ParseCoordinate(std::u16string_view text, bool fLatitude);
// The field texts of a position in the user's position format.
std::u16string LatitudeText(LONG lY);
std::u16string LongitudeText(LONG lX);

// A plain number ("12", "-3.5", "1,25"), null for anything else.
std::optional<double> ParseNumber(std::u16string_view text);

// Units of the edit fields: altitude and depth in the elevation unit,
// proximity in metres (metric distances) or feet, temperature in °C.
enum WaypointValueKind { wvAltitude, wvDepth, wvProximity, wvTemperature };
std::u16string WaypointValueUnit(WaypointValueKind kind);
// The field text of a value in metres (°C) with one decimal at most, and
// back; null when the text is no number or out of the kind's range.
std::u16string WaypointValueText(WaypointValueKind kind, float fValue);
std::optional<float> ParseWaypointValue(WaypointValueKind kind, std::u16string_view text);

// Local date and time "YYYY-MM-DD HH:MM:SS" of an OLE date (UTC); empty for 0.
std::u16string WaypointTimeText(double dTime);

} // namespace velka
