// The label generator a map parser hands names and point icons to while it
// draws a frame. The store decides later which of them fit and draws them
// after the map layer; the parser only registers candidates here.
#pragma once
#include <string_view>

#include "geometry/map_types.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

class CMapParser;

// How a type's label is drawn: font, colour and, for lines, whether the
// rotated text sits close to its line (0.6 text heights instead of one).
struct CLabelStyle {
    CFontDesc font;
    COLORREF crColor = 0;
    bool fNearLine = false;
};

// What the store needs to get the text back from the parser at drawing
// time (CMapParser::GetLabel): the parser and the label's offset.
struct CLabelSource {
    CMapParser* pParser = nullptr;
    DWORD dwLabelOffset = 0;
};

class CLabelStore {
public:
    virtual ~CLabelStore() = default;

    // A point: its icon (resource id, 0 for none) and its display text.
    // Smaller priorities are more important.
    virtual void AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                               POINT pt, WORD wPriority, const CLabelStyle* pStyle,
                               UINT uIcon) = 0;
    // A polygon's name, centred on its screen points.
    virtual void AddPolygonLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                                 const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                                 const CLabelStyle* pStyle) = 0;
    // A line's name along its longest segment, or a boxed shield.
    virtual void AddPolylineLabel(const CLabelSource& source, WORD wType,
                                  std::u16string_view text, const POINT* pPoints, int cPoints,
                                  const CMapRect& rcBounds, const CLabelStyle* pStyle,
                                  bool fShield) = 0;
};

} // namespace velka
