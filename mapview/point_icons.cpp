// Our own point icons: a coloured disc or square per category with a
// simple white glyph, drawn with the canvas primitives so they scale with
// the screen factors and take the canvas's antialiasing.
#include <initializer_list>

#include "mapview/styles.h"

namespace velka {
namespace {

struct CIconDef {
    COLORREF crBack;
    int nShape; // 0 disc, 1 square, 2 diamond, 3 triangle
    char cGlyph; // letter drawn in white, 0 for a symbol below
};

constexpr CIconDef c_aIcons[piCount] = {
    {0, 0, 0},                        // piNone
    {RGB(0, 0, 0), 1, 0},             // piCityHuge
    {RGB(32, 32, 32), 1, 0},          // piCityLarge
    {RGB(64, 64, 64), 0, 0},          // piCityMedium
    {RGB(80, 80, 80), 0, 0},          // piCitySmall
    {RGB(112, 112, 112), 0, 0},       // piVillage
    {RGB(220, 110, 0), 0, 'F'},       // piFood
    {RGB(30, 90, 200), 1, 'H'},       // piLodging
    {RGB(200, 30, 30), 1, 'F'},       // piFuel
    {RGB(170, 60, 170), 0, 'S'},      // piShop
    {RGB(90, 90, 140), 1, 'C'},       // piCar
    {RGB(220, 0, 0), 1, '+'},         // piMedical
    {RGB(110, 80, 40), 0, '+'},       // piWorship
    {RGB(150, 110, 40), 1, 'S'},      // piSchool
    {RGB(0, 130, 70), 1, '$'},        // piBank
    {RGB(0, 90, 220), 1, 'P'},        // piParking
    {RGB(60, 60, 160), 0, 'A'},       // piAirport
    {RGB(0, 120, 200), 1, 'B'},       // piBus
    {RGB(80, 80, 80), 1, 'R'},        // piRail
    {RGB(140, 70, 30), 1, 'M'},       // piMuseum
    {RGB(40, 150, 40), 0, 'T'},       // piPark
    {RGB(0, 140, 120), 0, 'S'},       // piSport
    {RGB(120, 80, 40), 3, 0},         // piPeak
    {RGB(0, 110, 230), 0, 'W'},       // piWater
    {RGB(0, 100, 180), 0, 'i'},       // piInfo
    {RGB(0, 40, 140), 1, 'P'},        // piPolice
    {RGB(230, 160, 0), 1, 'P'},       // piPost
    {RGB(100, 100, 100), 1, 'W'},     // piToilet
    {RGB(160, 20, 90), 0, 'T'},       // piTheatre
    {RGB(0, 80, 160), 0, 'M'},        // piMarina
    {RGB(200, 0, 160), 2, 0},         // piBeacon
    {RGB(120, 120, 120), 0, 0},       // piDefault
};

} // namespace

void DrawPointIcon(ICanvas& dc, UINT uIcon, int x, int y, int fx, int fy) {
    if (uIcon == piNone || uIcon >= piCount) return;
    const CIconDef& d = c_aIcons[uIcon];
    CPenDesc white{PS_SOLID, fx, RGB(255, 255, 255)};
    CBrushDesc back;
    back.crColor = d.crBack;
    dc.SelectPen(white);
    dc.SelectBrush(back);
    // Settlements: squares and dots growing with the place's size.
    int r = 7;
    if (uIcon >= piCityHuge && uIcon <= piVillage) r = 6 - static_cast<int>(uIcon - piCityHuge);
    const int rx = r * fx, ry = r * fy;
    switch (d.nShape) {
    case 1: dc.Rectangle({x - rx, y - ry, x + rx + 1, y + ry + 1}); break;
    case 2: {
        const POINT pts[4] = {{x, y - ry}, {x + rx, y}, {x, y + ry}, {x - rx, y}};
        dc.Polygon(pts, 4);
        break;
    }
    case 3: {
        const POINT pts[3] = {{x, y - ry}, {x + rx, y + ry}, {x - rx, y + ry}};
        dc.Polygon(pts, 3);
        break;
    }
    default: dc.Ellipse({x - rx, y - ry, x + rx + 1, y + ry + 1}); break;
    }
    if (uIcon >= piCityHuge && uIcon <= piCityLarge) {
        // A white core marks the largest places.
        CBrushDesc w;
        w.crColor = RGB(255, 255, 255);
        dc.SelectBrush(w);
        const int k = 2;
        dc.Rectangle({x - k * fx, y - k * fy, x + k * fx + 1, y + k * fy + 1});
        return;
    }
    if (!d.cGlyph) return;
    CFontDesc font;
    font.strFace = u"Tahoma";
    font.nHeight = -10 * fy;
    font.nWeight = 700;
    dc.SelectFont(font);
    dc.SetTextColor(RGB(255, 255, 255));
    dc.SetBkMode(TRANSPARENT);
    const char16_t sz[2] = {static_cast<char16_t>(d.cGlyph), 0};
    RECT rc{x - rx, y - ry, x + rx + 1, y + ry + 1};
    dc.DrawText(std::u16string_view(sz, 1), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
}

} // namespace velka
