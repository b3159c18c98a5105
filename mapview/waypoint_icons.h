// The waypoint icons: the program's own waypoint icon (32 x 32 at screen
// factor 1) and the 221 symbols of the waypoint symbol set (18 x 18), all
// drawn with the canvas primitives so that they scale with the screen
// factor. The map, the waypoint dialogs and velkatool draw through here.
#pragma once
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

// Types 18 and above 220 show the program's waypoint icon; the others are
// symbols of that number.
bool IsProgramWaypointIcon(WORD wType);

// The rectangle an icon covers when its waypoint is at screen point
// (x, y): the program icon from (x - 16s + 1, y - 16s + 1), 32s square;
// a symbol from (x - 9s + 1, y - 9s + 1), 18s square.
RECT WaypointIconRect(WORD wType, int x, int y, int s);

// Draws the icon of a waypoint at screen point (x, y) (placed as
// WaypointIconRect says), s the screen factor (at least 1).
void DrawWaypointIcon(ICanvas& dc, WORD wType, int x, int y, int s);

// Draws the icon with its top-left corner at (left, top): for lists and
// dialogs that lay icons out in cells.
void DrawWaypointIconAt(ICanvas& dc, WORD wType, int left, int top, int s);

} // namespace velka
