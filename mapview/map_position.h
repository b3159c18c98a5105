// The map view: the centre in map units, one of 27 fixed scales kept as an
// exact integer ratio of map units to pixels, the rotation, the latitude
// factor that makes x distances true, and every conversion between map
// units, degrees, metres and screen pixels. Changes are written to the
// settings at once so the view survives a crash.
#pragma once
#include <cstdint>
#include <string>

#include "geometry/map_types.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

constexpr unsigned g_cScales = 27;
// The northernmost and southernmost centre: +-80 degrees in map units.
constexpr std::int32_t c_lMaxCenterY = 477218588;
// One map unit along a meridian, in metres.
constexpr double c_dMetresPerUnit = 0.018626451;

struct CScaleEntry {
    int nBits;          // map level used to choose the map's detail level
    float fMetricBar;   // metres below index 12, kilometres from 12 on
    float fImperialBar; // feet below index 9, miles from 9 on
    int nPixelFactor;
    // Bar length in map units times pixel factor / 40, per unit system
    // (metric; feet and nautical miles; feet and statute miles).
    std::int32_t alLength[3];
};

// The scale table (imperial columns computed on first use).
const CScaleEntry& ScaleEntry(unsigned uIndex);
// The scale-bar label of a scale in a unit system ("5 м", "1.2 км", "0.2 ми").
std::u16string ScaleBarLabel(unsigned uIndex, int nDistanceUnit);

// Conversions (rounded with fast_floor(v + 0.5) where they give units).
std::int32_t DegreesToUnits(double dDegrees);
std::int32_t DegreesToDoubledUnits(double dDegrees);
double UnitsToDegrees(std::int32_t lUnits);
double DoubledUnitsToDegrees(std::int32_t lDoubled);
std::int32_t MetresToUnits(double dMetres);
// a * b / c with a 64-bit product, rounded half away from zero (-1 for c = 0).
std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c);

// The position last set by the view (or by positioning): what the
// save-waypoint command saves.
extern CMapPoint g_ptReference;

class CMapPosition {
public:
    CMapPosition();

    // Whether changes are written to the settings (off for the command line).
    void SetPersistent(bool f) { m_fPersistent = f; }

    void SetScale(unsigned uIndex);
    void SetCenter(std::int32_t x, std::int32_t y);
    void SetAngle(int nDegrees);
    // Reads MapAngle (when RotateMap), MapXc, MapYc and MapZoom.
    void InitFromSettings();

    // The client area and the map area (the client minus the gauge panel);
    // recomputes the screen anchor.
    void SetScreen(int cxClient, int cyClient, const RECT& rcMapArea, bool fRotateMap);

    POINT MapToScreen(std::int32_t x, std::int32_t y) const;
    POINT MapToScreen(const CMapPoint& pt) const { return MapToScreen(pt.lX, pt.lY); }
    POINT MapToScreenDoubled(std::int32_t x2, std::int32_t y2) const {
        return MapToScreen(x2 >> 1, y2 >> 1);
    }
    void MapToScreen(const CMapPoint* pPoints, POINT* pScreen, std::size_t cPoints) const;
    CMapPoint ScreenToMap(int sx, int sy) const;
    void PanByPixels(int dx, int dy);
    CMapRect VisibleRect() const;
    // The pixel size of a map rectangle at the current scale.
    SIZE ScreenExtent(const CMapRect& rc) const;
    void ZoomToRect(const CMapRect& rc);

    // The map level (bits) to draw: entry clamp(index - MapDetail, 0, 26).
    int LevelForDrawing() const;
    static unsigned ScaleForLevel(int nBits);
    static unsigned ScaleForResolution(double dMetresPerPixel);
    float MetresPerPixel() const;
    bool CanZoomIn() const { return m_uScale > 0; }
    bool CanZoomOut() const { return m_uScale < g_cScales - 1; }

    std::int32_t CenterX() const { return m_lX; }
    std::int32_t CenterY() const { return m_lY; }
    CMapPoint Center() const { return {m_lX, m_lY}; }
    unsigned ScaleIndex() const { return m_uScale; }
    std::int32_t PixelCount() const { return m_nPixelCount; }
    std::int32_t CurrentArcs() const { return m_nCurrentArcs; }
    int Angle() const { return m_nAngle; }
    int Cosine() const { return m_nCos; }
    int Sine() const { return m_nSin; }
    int LatitudeFactor() const { return m_nLatFactor; }
    POINT Anchor() const { return m_ptAnchor; }
    const RECT& MapArea() const { return m_rcMapArea; }
    SIZE ClientSize() const { return {m_cxClient, m_cyClient}; }

private:
    void CenterChanged();

    std::int32_t m_lX = 0;
    std::int32_t m_lY = 0;
    unsigned m_uScale = 13;
    std::int32_t m_nPixelCount = 0;
    std::int32_t m_nCurrentArcs = 0;
    int m_nAngle = 0;
    int m_nCos = 1024;
    int m_nSin = 0;
    int m_nLatFactor = 1;

    POINT m_ptAnchor{};
    RECT m_rcMapArea{};
    int m_cxClient = 0;
    int m_cyClient = 0;
    bool m_fPersistent = true;
};

} // namespace velka
