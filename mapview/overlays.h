// What the map page draws over the finished frame: the GPS position
// cursor, the hot spot, the compass, the scale bar, the object-selection
// balloon; and the arrow shape and halo text the guidance display uses.
// All sizes are multiplied by the screen factors.
#pragma once
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "platform/canvas.h"

namespace velka {

class CMapPosition;

// What the cursor needs of the current position.
struct CCursorPosition {
    bool fAvailable = false;
    double dLatitude = 0, dLongitude = 0;
    float fHeading = 0; // degrees
    float fSpeed = 0;   // km/h
    bool fHeadingValid = false;
    bool fHeadingInDegrees = true; // the second validity flag
};

// The cursor at the last GPS position: heading and its validity as the
// receiver gave them, the speed only when valid (0 otherwise); false while
// no position is known.
bool CursorPositionFromLastFix(CCursorPosition& p);

// The position cursor: an arrow along the course as the view shows it
// (course minus the view's rotation), a disc when too slow for a course;
// bright at night.
constexpr COLORREF c_crNightCursor = RGB(255, 200, 0);
void DrawPositionCursor(ICanvas& dc, const CMapPosition& pos, const CCursorPosition& p, bool fNight);
void DrawHotSpot(ICanvas& dc, const CMapPosition& pos);
void DrawCompass(ICanvas& dc, int x, int y, int L, int B, int nAngleDegrees);
void DrawScaleBar(ICanvas& dc, int x, int y, const CMapPosition& pos, int nDistanceUnit);
void DrawArrowShape(ICanvas& dc, int x, int y, int nAngleDegrees, int d, int _w0, int _w1, bool fTail);
void DrawHaloText(ICanvas& dc, int x, int y, std::u16string_view text, UINT uFlags, COLORREF cr);

// The list of things found under a tap, shown one at a time in a balloon.
struct CSelectionItem {
    CMapPoint pt;          // anchor in map units
    UINT uIcon = 0;        // point icon, 0 none
    std::u16string strText;
    int nRefersTo = 0;     // 0 map object, 1 waypoint, 2 route
    const void* pRef = nullptr;
};

class CObjectSelection {
public:
    enum Button { btNone = -1, btClose = 0, btOpen = 1, btPrevious = 2, btNext = 3, btBody = 4 };

    bool Empty() const { return m_items.empty(); }
    void Fill(std::vector<CSelectionItem> items);
    void Clear();
    bool ShowNext();
    bool ShowPrevious();
    const CSelectionItem* Shown() const;
    std::size_t ShownIndex() const { return m_iShown; }
    std::size_t Count() const { return m_items.size(); }

    // Draws the balloon of the shown item when its point lies in the map area.
    void Draw(ICanvas& dc, const CMapPosition& pos, const RECT& rcMapArea);
    // Which part of the balloon (as last drawn) lies under a point.
    Button HitTest(int x, int y) const;

private:
    std::vector<CSelectionItem> m_items;
    std::size_t m_iShown = 0;
    bool m_fDrawn = false;
    RECT m_rcBalloon{};
    RECT m_arcButtons[4]{};
};

} // namespace velka
