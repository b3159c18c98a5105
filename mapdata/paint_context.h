// The per-frame drawing context a map parser draws into: the device
// context, the view's transforms and extents, the interruption flags with
// the message pump, the polygon and polyline painters and the type styles.
// The map page implements it over the canvas; tests record what is drawn.
#pragma once
#include <cstddef>
#include <string>

#include "geometry/map_types.h"
#include "mapdata/label_store.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

class CPaintContext {
public:
    virtual ~CPaintContext() = default;

    // The surface objects are drawn on.
    virtual ICanvas& Canvas() = 0;

    // The view: scale index (0 most detailed .. 26), the scale code the
    // map's zoom level is chosen by (level bits, larger = more detail), the
    // visible map rectangle taken when the frame started, the map-to-screen
    // transform and the pixel size of a map rectangle.
    virtual unsigned ScaleIndex() const = 0;
    virtual int ScaleCode() const = 0;
    virtual const CMapRect& VisibleRect() const = 0;
    virtual POINT MapToScreen(const CMapPoint& pt) const = 0;
    virtual void MapPointsToScreen(const CMapPoint* pPoints, POINT* pScreen,
                                   std::size_t cPoints) const {
        for (std::size_t i = 0; i < cPoints; ++i) pScreen[i] = MapToScreen(pPoints[i]);
    }
    virtual SIZE ScreenExtent(const CMapRect& rc) const = 0;
    // The horizontal screen size factor (pixels per inch / 96).
    virtual int ScreenFactor() const = 0;

    // Interruption: the restart flag (the view changed) and the stop flag
    // (the program exits). PumpMessages dispatches pending input at most
    // every 20 ms and returns IsInterrupted().
    bool IsInterrupted() const { return m_fRestart || m_fStop; }
    virtual bool PumpMessages() = 0;

    // Painters; each counts the object drawn. DrawPolyline returns false
    // (and draws nothing) when the type has no line pen.
    virtual void DrawPolygon(WORD wType, const POINT* pPoints, int cPoints) = 0;
    virtual bool DrawPolyline(WORD wType, const POINT* pPoints, int cPoints) = 0;
    virtual void DrawDirectionArrows(const POINT* pPoints, int cPoints) = 0;

    // Type styles: point icon (resource id, 0 none) and label styles.
    virtual UINT PointIcon(WORD wType) = 0;
    virtual const CLabelStyle* PointLabelStyle(WORD wType) = 0;
    virtual const CLabelStyle* LineLabelStyle(WORD wType) = 0;
    virtual const CLabelStyle* AreaLabelStyle(WORD wType) = 0;

    // A message drawn in the frame instead of a map (read failures).
    virtual void DrawMessage(const std::u16string& strText) = 0;

    bool m_fRestart = false;
    bool m_fStop = false;
};

} // namespace velka
