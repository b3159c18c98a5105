// How each map type is drawn: polygon brushes, the one or two pens of a
// polyline type, point icons, label styles and the map background, from
// the built-in tables or (polygons, polylines, background) from a skin
// file "day.skin" or "night.skin" beside the program; the night mode that
// chooses between the two skins; type names for lists.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mapdata/label_store.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

struct GpsFix;

// Fill kinds of a polygon entry.
constexpr int c_nFillSolid = -1;
constexpr int c_nFillNone = -2;
// Pen style of an entry without that pen.
constexpr int c_nPenNone = -1;

struct CPolygonStyle {
    WORD wFirst = 0;
    WORD wLast = 0; // 0: the single type wFirst
    int nFill = c_nFillSolid; // -1 solid, -2 none, > 0 pattern identifier
    COLORREF crFill = 0;
    CLabelStyle label;
    CBrushDesc brush;
};

struct CPolylineStyle {
    WORD wFirst = 0;
    WORD wLast = 0;
    int nStyle1 = PS_SOLID;
    int nWidth1 = 1;      // at screen factor 1
    int nWidth1Big = 1;   // at other factors
    COLORREF cr1 = 0;
    int nStyle2 = c_nPenNone;
    int nWidth2 = 1;
    int nWidth2Big = 1;
    COLORREF cr2 = 0;
    bool fMediumFont = false;
    COLORREF crLabel = 0;
    bool fNearLine = false;
    CLabelStyle label;
    bool fPen1 = false, fPen2 = false;
    CPenDesc pen1, pen2;
};

struct CSkin {
    COLORREF crBackground = 0xFFFFFF;
    std::vector<CPolygonStyle> polygons;
    std::vector<CPolylineStyle> polylines;
    bool fNight = false;
};

// Parses a skin file's bytes; false on any syntax error (missing
// "polygons", a field that does not parse, more than 255 or 256 entries).
// The brushes and pens are made for the screen factor.
bool ParseSkin(const char* pData, std::size_t cbSize, CSkin& skin, int nScreenFactor = 1);

// Finds the entry for a type by the binary search over entries sorted by
// first type (first <= code <= last, or first == code); -1 when none.
template <class T>
int FindStyleEntry(const std::vector<T>& v, WORD wCode) {
    if (v.empty()) return -1;
    std::size_t a = 0, b = v.size() - 1;
    while (b - a > 1) {
        if (v[a].wFirst == wCode) return static_cast<int>(a);
        if (v[b].wFirst == wCode) return static_cast<int>(b);
        const std::size_t m = (a + b) / 2;
        if (v[m].wFirst == wCode) return static_cast<int>(m);
        if (v[m].wFirst < wCode)
            a = m;
        else
            b = m;
    }
    for (std::size_t k : {a, b}) {
        const T& e = v[k];
        if (e.wFirst == wCode || (e.wLast != 0 && e.wFirst < wCode && wCode <= e.wLast))
            return static_cast<int>(k);
    }
    return -1;
}

// The 8 x 8 pattern brush of a pattern identifier in a colour.
CBrushDesc PatternBrush(int nPattern, COLORREF crColor);

// Point icons (our own vector drawings), 0 = none.
enum PointIconId : UINT {
    piNone = 0, piCityHuge, piCityLarge, piCityMedium, piCitySmall, piVillage,
    piFood, piLodging, piFuel, piShop, piCar, piMedical, piWorship, piSchool, piBank,
    piParking, piAirport, piBus, piRail, piMuseum, piPark, piSport, piPeak, piWater,
    piInfo, piPolice, piPost, piToilet, piTheatre, piMarina, piBeacon, piDefault,
    piCount
};
// Draws icon uIcon centred on (x, y), 16 x 16 pixels times the factors.
void DrawPointIcon(ICanvas& dc, UINT uIcon, int x, int y, int fx, int fy);

class CMapStyles {
public:
    CMapStyles();

    // The built-in set (made for the current screen factors).
    void CreateBuiltIn();
    // Loads "day.skin" or "night.skin" (nothing when it is the loaded one).
    void LoadSkin(bool fNight);
    // Loads a skin from a file; false (no skin) when it is missing or bad.
    bool LoadSkinFile(const std::string& strPath, bool fNight, bool fShowErrors);
    void UnloadSkin() { m_pSkin.reset(); }
    const CSkin* Skin() const { return m_pSkin.get(); }

    CBrushDesc BackgroundBrush() const;
    const CBrushDesc& PolygonBrush(WORD wType) const;
    const CLabelStyle* PolygonLabelStyle(WORD wType) const;
    // Null when the type has no such pen.
    const CPenDesc* PolylinePen1(WORD wType) const;
    const CPenDesc* PolylinePen2(WORD wType) const;
    const CLabelStyle* PolylineLabelStyle(WORD wType) const;
    UINT PointIcon(WORD wType) const;
    const CLabelStyle* PointLabelStyle(WORD wType) const;

    // The built-in tables (for tests and the skin writer).
    const std::vector<CPolygonStyle>& BuiltInPolygons() const { return m_polygons; }
    const std::vector<CPolylineStyle>& BuiltInPolylines() const { return m_polylines; }

    // The shared fonts (already scaled).
    const CFontDesc& ShieldFont() const { return m_fontShield; }

    // NightMode: 1 day, 2 night, 3 automatic by sunrise and sunset at the
    // latest fix (none: no change). Called by the night-mode command and
    // after every processed fix.
    void ApplyNightMode(const GpsFix* pLatest = nullptr);
    // Forgets the mode read (the setting changed).
    void ResetNightMode() { m_nNightMode = 0; }
    // Whether it is day at a day number N (UTC) for sunrise R and sunset S
    // in hours; -1 when the sun does not rise or set that day.
    static int IsDayAt(double dN, float fSunrise, float fSunset);

private:
    const CPolylineStyle* FindPolyline(WORD wType) const;

    std::vector<CPolygonStyle> m_polygons;
    std::vector<CPolylineStyle> m_polylines;
    CPolygonStyle m_defaultPolygon;
    CPolylineStyle m_defaultPolyline;
    CLabelStyle m_pointLabels[4];
    CLabelStyle m_pointLabelsNight[4];
    CFontDesc m_fontShield;
    std::unique_ptr<CSkin> m_pSkin;
    int m_nNightMode = 0;
    double m_dLastAutoLoad = -1e9;
};

// The styles of the map page (created with it).
CMapStyles& MapStyles();

// Type names from the string table, "Неизвестный тип" when none.
std::u16string TypeName(int nKind, WORD wType);
// A 16 x 16 sample (times the factors) of a type for lists, drawn at rc.
void DrawTypeSample(ICanvas& dc, const RECT& rc, int nKind, WORD wType);

} // namespace velka
