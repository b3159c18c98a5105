// The waypoint icons, drawn with canvas primitives on an 18-unit grid
// (symbols) or a 32-unit grid (the program's icon), one unit being s
// pixels. Symbols named after a shape and colour are drawn as that shape;
// the rest are a shape in the colour of their group with a short glyph, or
// a small picture where one reads better than a letter.
#include "mapview/waypoint_icons.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "waypoints/waypoint_store.h"

namespace velka {
namespace {

enum SymbolKind : BYTE {
    skDisc,       // filled circle
    skSquare,     // filled square
    skDiamond,    // filled diamond
    skTriangle,   // filled triangle, point up
    skOval,       // filled ellipse, wider than high
    skRect,       // filled rectangle, wider than high
    skLetter,     // the glyph in the colour on a white tile
    skPennant,    // a pole with a triangular flag
    skPin,        // a push pin
    skBlock,      // a cube
    skLighthouse, // a tower: upper colour, lower colour
    skBadgeDisc,  // group colour disc, white glyph
    skBadgeSquare,
    skBadgeDiamond,
    skBadgeTriangle,
    skPicture,    // drawn by DrawPicture
};

struct CSymbol {
    SymbolKind nKind;
    COLORREF cr;
    COLORREF cr2;
    const char* szGlyph;
};

constexpr COLORREF c_crRed = RGB(220, 30, 30);
constexpr COLORREF c_crGreen = RGB(20, 150, 40);
constexpr COLORREF c_crBlue = RGB(30, 80, 220);
constexpr COLORREF c_crYellow = RGB(250, 210, 0);
constexpr COLORREF c_crBlack = RGB(0, 0, 0);
constexpr COLORREF c_crWhite = RGB(255, 255, 255);
constexpr COLORREF c_crOrange = RGB(255, 140, 0);
constexpr COLORREF c_crViolet = RGB(140, 50, 190);
constexpr COLORREF c_crOutline = RGB(40, 40, 40);

// Group colours.
constexpr COLORREF c_crMarine = RGB(0, 80, 150);
constexpr COLORREF c_crOutdoor = RGB(50, 130, 50);
constexpr COLORREF c_crFood = RGB(215, 110, 0);
constexpr COLORREF c_crShop = RGB(170, 60, 170);
constexpr COLORREF c_crCivic = RGB(105, 105, 105);
constexpr COLORREF c_crAir = RGB(40, 120, 200);
constexpr COLORREF c_crCar = RGB(70, 70, 130);
constexpr COLORREF c_crDanger = RGB(230, 110, 0);
constexpr COLORREF c_crSport = RGB(0, 140, 120);
constexpr COLORREF c_crContact = RGB(240, 200, 160);

constexpr CSymbol Pic() { return {skPicture, 0, 0, ""}; }
constexpr CSymbol Shape(SymbolKind k, COLORREF cr) { return {k, cr, 0, ""}; }
constexpr CSymbol Letter(COLORREF cr, const char* sz) { return {skLetter, cr, 0, sz}; }
constexpr CSymbol Disc(COLORREF cr, const char* sz) { return {skBadgeDisc, cr, 0, sz}; }
constexpr CSymbol Square(COLORREF cr, const char* sz) { return {skBadgeSquare, cr, 0, sz}; }
constexpr CSymbol Light(COLORREF crTop, COLORREF crBottom) { return {skLighthouse, crTop, crBottom, ""}; }

constexpr CSymbol c_aSymbols[c_cWaypointCount] = {
    Pic(),                                 // 0 anchorage
    Pic(),                                 // 1 bell
    Shape(skDiamond, c_crGreen),           // 2
    Shape(skDiamond, c_crRed),             // 3
    Pic(),                                 // 4 diver down flag 1
    Pic(),                                 // 5 diver down flag 2
    Square(RGB(0, 130, 70), "$"),          // 6 bank
    Pic(),                                 // 7 fishing
    Pic(),                                 // 8 fuel
    Disc(c_crMarine, "H"),                 // 9 horn
    Pic(),                                 // 10 house
    Pic(),                                 // 11 restaurant
    Pic(),                                 // 12 light
    Pic(),                                 // 13 bar
    Pic(),                                 // 14 skull and crossbones
    Shape(skSquare, c_crGreen),            // 15
    Shape(skSquare, c_crRed),              // 16
    Pic(),                                 // 17 white buoy
    Pic(),                                 // 18 (the program's icon)
    Pic(),                                 // 19 shipwreck
    Pic(),                                 // 20 man overboard
    Light(c_crYellow, c_crYellow),         // 21
    Light(c_crBlack, c_crBlack),           // 22
    Light(c_crBlue, c_crBlue),             // 23
    Light(c_crGreen, c_crGreen),           // 24
    Light(c_crGreen, c_crRed),             // 25
    Light(c_crGreen, c_crWhite),           // 26
    Light(c_crOrange, c_crOrange),         // 27
    Light(c_crRed, c_crRed),               // 28
    Light(c_crRed, c_crGreen),             // 29
    Light(c_crRed, c_crWhite),             // 30
    Light(c_crViolet, c_crViolet),         // 31
    Light(c_crWhite, c_crWhite),           // 32
    Light(c_crWhite, c_crGreen),           // 33
    Light(c_crWhite, c_crRed),             // 34
    Pic(),                                 // 35 white dot
    Disc(c_crMarine, "RB"),                // 36 radio beacon
    Disc(c_crMarine, "BR"),                // 37 boat ramp
    Pic(),                                 // 38 campground
    Square(c_crCivic, "WC"),               // 39 restroom
    Square(c_crAir, "Sh"),                 // 40 shower
    Pic(),                                 // 41 drinking water
    Square(c_crCivic, "T"),                // 42 telephone
    Pic(),                                 // 43 medical facility
    Square(RGB(0, 100, 180), "i"),         // 44 information
    Square(RGB(0, 90, 220), "P"),          // 45 parking
    Pic(),                                 // 46 park
    Square(c_crOutdoor, "Pn"),             // 47 picnic area
    Disc(c_crOutdoor, "*"),                // 48 scenic area
    Square(c_crAir, "Sk"),                 // 49 skiing
    Square(c_crAir, "Sw"),                 // 50 swimming area
    Disc(c_crCivic, "D"),                  // 51 dam
    {skBadgeTriangle, c_crDanger, 0, "C"}, // 52 controlled area
    {skBadgeTriangle, c_crRed, 0, "!"},    // 53 danger area
    {skBadgeTriangle, c_crRed, 0, "X"},    // 54 restricted area
    Disc(c_crSport, "BB"),                 // 55 ball park
    Pic(),                                 // 56 car
    Disc(RGB(120, 80, 30), "Hu"),          // 57 hunting area
    Disc(c_crShop, "S"),                   // 58 shopping
    Square(RGB(30, 90, 200), "H"),         // 59 lodging
    Square(RGB(90, 70, 50), "M"),          // 60 mine
    Disc(c_crOutdoor, "Tr"),               // 61 trail head
    Square(c_crCar, "Tk"),                 // 62 truck stop
    Square(c_crCar, "Ex"),                 // 63 exit
    Pic(),                                 // 64 flag
    Pic(),                                 // 65 circle with x
    Square(c_crCivic, "km"),               // 66 mile marker
    Disc(c_crCar, "U"),                    // 67 u-turn
    Disc(c_crSport, "G"),                  // 68 golf course
    Pic(),                                 // 69 small city
    Pic(),                                 // 70 medium city
    Pic(),                                 // 71 large city
    Pic(),                                 // 72 capital city
    Disc(c_crShop, "Am"),                  // 73 amusement park
    Disc(c_crSport, "Bw"),                 // 74 bowling
    Square(c_crCar, "R"),                  // 75 car rental
    Square(c_crCar, "Sv"),                 // 76 car repair
    Disc(c_crFood, "FF"),                  // 77 fast food
    Disc(c_crSport, "Ft"),                 // 78 fitness centre
    Disc(RGB(160, 20, 90), "C"),           // 79 movie theatre
    Square(RGB(140, 70, 30), "M"),         // 80 museum
    Pic(),                                 // 81 pharmacy
    Disc(c_crFood, "Pz"),                  // 82 pizza
    Square(RGB(230, 160, 0), "@"),         // 83 post office
    Square(c_crCar, "RV"),                 // 84 RV park
    Square(RGB(150, 110, 40), "Sc"),       // 85 school
    Disc(c_crSport, "St"),                 // 86 stadium
    Square(c_crShop, "D"),                 // 87 department store
    Disc(c_crOutdoor, "Z"),                // 88 zoo
    Square(c_crShop, "C"),                 // 89 convenience store
    Disc(RGB(160, 20, 90), "Th"),          // 90 live theatre
    Square(c_crCar, "Sc"),                 // 91 scales
    Square(c_crCar, "$"),                  // 92 toll booth
    Pic(),                                 // 93 bridge
    Pic(),                                 // 94 building
    Pic(),                                 // 95 cemetery
    Pic(),                                 // 96 church
    Square(c_crCivic, "G"),                // 97 civil
    Pic(),                                 // 98 crossing (pass)
    Square(c_crCivic, "GT"),               // 99 ghost town
    Square(c_crMarine, "D"),               // 100 levee
    Square(RGB(80, 100, 40), "Mi"),        // 101 military
    Square(c_crBlack, "Oil"),              // 102 oil field
    Pic(),                                 // 103 tunnel
    Pic(),                                 // 104 beach
    Pic(),                                 // 105 forest
    Pic(),                                 // 106 summit
    Pic(),                                 // 107 airport
    Disc(c_crAir, "H"),                    // 108 heliport
    Disc(c_crAir, "Pr"),                   // 109 private field
    Disc(c_crAir, "So"),                   // 110 soft field
    Pic(),                                 // 111 tall tower
    Pic(),                                 // 112 short tower
    Disc(c_crAir, "Gl"),                   // 113 glider area
    Disc(c_crAir, "Ul"),                   // 114 ultralight area
    Disc(c_crAir, "Pa"),                   // 115 parachute area
    Disc(c_crAir, "Sp"),                   // 116 seaplane base
    Pic(),                                 // 117 geocache
    Pic(),                                 // 118 geocache found
    Pic(), Pic(), Pic(), Pic(), Pic(),     // 119-123 contacts
    Pic(), Pic(), Pic(), Pic(), Pic(),     // 124-128
    Pic(), Pic(), Pic(), Pic(), Pic(),     // 129-133
    Pic(), Pic(), Pic(), Pic(), Pic(),     // 134-138
    Pic(),                                 // 139 fire hydrant
    {skPennant, c_crRed, 0, ""},           // 140
    {skPennant, c_crBlue, 0, ""},          // 141
    {skPennant, c_crGreen, 0, ""},         // 142
    {skPin, c_crRed, 0, ""},               // 143
    {skPin, c_crBlue, 0, ""},              // 144
    {skPin, c_crGreen, 0, ""},             // 145
    {skBlock, c_crRed, 0, ""},             // 146
    {skBlock, c_crBlue, 0, ""},            // 147
    {skBlock, c_crGreen, 0, ""},           // 148
    Disc(c_crOutdoor, "Bi"),               // 149 bike trail
    Pic(),                                 // 150 fishing hot spot
    Square(RGB(0, 40, 140), "P"),          // 151 police station
    Square(c_crAir, "Sk"),                 // 152 ski resort
    Square(c_crAir, "Ic"),                 // 153 ice skating
    Square(c_crCar, "Tw"),                 // 154 wrecker
    Pic(),                                 // 155 anchor prohibited
    Pic(),                                 // 156 beacon
    Disc(c_crMarine, "CG"),                // 157 coast guard
    Disc(c_crMarine, "Rf"),                // 158 reef
    Disc(c_crOutdoor, "W"),                // 159 weed bed
    Disc(c_crMarine, "Dr"),                // 160 dropoff
    Disc(c_crMarine, "Dk"),                // 161 dock
    Disc(c_crMarine, "M"),                 // 162 marina
    Disc(c_crMarine, "Bt"),                // 163 bait and tackle
    Disc(RGB(110, 80, 40), "St"),          // 164 stump
    Shape(skDisc, c_crRed),                // 165
    Shape(skDisc, c_crGreen),              // 166
    Shape(skDisc, c_crBlue),               // 167
    Shape(skDiamond, c_crBlue),            // 168
    Shape(skOval, c_crRed),                // 169
    Shape(skOval, c_crGreen),              // 170
    Shape(skOval, c_crBlue),               // 171
    Shape(skRect, c_crRed),                // 172
    Shape(skRect, c_crGreen),              // 173
    Shape(skRect, c_crBlue),               // 174
    Shape(skSquare, c_crBlue),             // 175
    Letter(c_crRed, "A"), Letter(c_crGreen, "A"), Letter(c_crBlue, "A"), // 176-178
    Letter(c_crRed, "B"), Letter(c_crGreen, "B"), Letter(c_crBlue, "B"), // 179-181
    Letter(c_crRed, "C"), Letter(c_crGreen, "C"), Letter(c_crBlue, "C"), // 182-184
    Letter(c_crRed, "D"), Letter(c_crGreen, "D"), Letter(c_crBlue, "D"), // 185-187
    Letter(c_crRed, "0"), Letter(c_crGreen, "0"), Letter(c_crBlue, "0"), // 188-190
    Letter(c_crRed, "1"), Letter(c_crGreen, "1"), Letter(c_crBlue, "1"), // 191-193
    Letter(c_crRed, "2"), Letter(c_crGreen, "2"), Letter(c_crBlue, "2"), // 194-196
    Letter(c_crRed, "3"), Letter(c_crGreen, "3"), Letter(c_crBlue, "3"), // 197-199
    Letter(c_crRed, "4"), Letter(c_crGreen, "4"), Letter(c_crBlue, "4"), // 200-202
    Letter(c_crRed, "5"), Letter(c_crGreen, "5"), Letter(c_crBlue, "5"), // 203-205
    Letter(c_crRed, "6"), Letter(c_crGreen, "6"), Letter(c_crBlue, "6"), // 206-208
    Letter(c_crRed, "7"), Letter(c_crGreen, "7"), Letter(c_crBlue, "7"), // 209-211
    Letter(c_crRed, "8"), Letter(c_crGreen, "8"), Letter(c_crBlue, "8"), // 212-214
    Letter(c_crRed, "9"), Letter(c_crGreen, "9"), Letter(c_crBlue, "9"), // 215-217
    Shape(skTriangle, c_crBlue),           // 218
    Shape(skTriangle, c_crGreen),          // 219
    Shape(skTriangle, c_crRed),            // 220
};

// Drawing on the icon's grid: (u, v) in units from the top-left corner.
class CGrid {
public:
    CGrid(ICanvas& dc, int left, int top, int s) : m_dc(dc), m_l(left), m_t(top), m_s(s) {}

    int X(double u) const { return m_l + static_cast<int>(std::lround(u * m_s)); }
    int Y(double v) const { return m_t + static_cast<int>(std::lround(v * m_s)); }
    POINT P(double u, double v) const { return {X(u), Y(v)}; }
    RECT R(double u0, double v0, double u1, double v1) const { return {X(u0), Y(v0), X(u1), Y(v1)}; }

    void Pen(COLORREF cr, double w = 1) {
        m_dc.SelectPen({PS_SOLID, std::max(1, static_cast<int>(std::lround(w * m_s))), cr});
    }
    void NoPen() { m_dc.SelectPen({PS_NULL, 0, 0}); }
    void Brush(COLORREF cr) {
        CBrushDesc b;
        b.crColor = cr;
        m_dc.SelectBrush(b);
    }
    void NoBrush() {
        CBrushDesc b;
        b.nKind = bkNull;
        m_dc.SelectBrush(b);
    }
    void Poly(std::initializer_list<POINT> pts) { m_dc.Polygon(pts.begin(), static_cast<int>(pts.size())); }
    void Line(std::initializer_list<POINT> pts) { m_dc.Polyline(pts.begin(), static_cast<int>(pts.size())); }
    void Rect(double u0, double v0, double u1, double v1) { m_dc.Rectangle(R(u0, v0, u1, v1)); }
    void Ellipse(double u0, double v0, double u1, double v1) { m_dc.Ellipse(R(u0, v0, u1, v1)); }
    // A glyph centred in a box, bold, nHeight units high.
    void Text(const char* sz, double u0, double v0, double u1, double v1, COLORREF cr, double dHeight) {
        std::u16string str;
        for (const char* p = sz; *p; ++p) str += static_cast<char16_t>(static_cast<unsigned char>(*p));
        CFontDesc font;
        font.strFace = u"DejaVu Sans";
        font.nHeight = -std::max(1, static_cast<int>(std::lround(dHeight * m_s)));
        font.nWeight = 700;
        m_dc.SelectFont(font);
        m_dc.SetTextColor(cr);
        m_dc.SetBkMode(TRANSPARENT);
        RECT rc = R(u0, v0, u1, v1);
        m_dc.DrawText(str, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }
    ICanvas& Dc() { return m_dc; }

private:
    ICanvas& m_dc;
    int m_l, m_t, m_s;
};

COLORREF Darker(COLORREF cr, int nPercent) {
    return RGB(GetRValue(cr) * nPercent / 100, GetGValue(cr) * nPercent / 100, GetBValue(cr) * nPercent / 100);
}

// The glyph's size by its length.
double GlyphHeight(const char* sz) {
    const std::size_t n = std::char_traits<char>::length(sz);
    return n <= 1 ? 11 : n == 2 ? 8 : 6;
}

void DrawBadge(CGrid& g, const CSymbol& d) {
    g.Pen(Darker(d.cr, 60));
    g.Brush(d.cr);
    double v0 = 1, v1 = 17;
    switch (d.nKind) {
    case skBadgeSquare: g.Rect(1, 1, 17, 17); break;
    case skBadgeDiamond: g.Poly({g.P(9, 0.5), g.P(17.5, 9), g.P(9, 17.5), g.P(0.5, 9)}); break;
    case skBadgeTriangle:
        g.Poly({g.P(9, 0.5), g.P(17.5, 16.5), g.P(0.5, 16.5)});
        v0 = 5;
        v1 = 17;
        break;
    default: g.Ellipse(0.5, 0.5, 17.5, 17.5); break;
    }
    const double h = d.nKind == skBadgeTriangle ? std::min(8.0, GlyphHeight(d.szGlyph)) : GlyphHeight(d.szGlyph);
    g.Text(d.szGlyph, 0, v0, 18, v1, d.cr2 ? d.cr2 : c_crWhite, h);
}

void DrawShape(CGrid& g, const CSymbol& d) {
    g.Pen(Darker(d.cr, 55));
    g.Brush(d.cr);
    switch (d.nKind) {
    case skDisc: g.Ellipse(2, 2, 16, 16); break;
    case skSquare: g.Rect(2, 2, 16, 16); break;
    case skDiamond: g.Poly({g.P(9, 1), g.P(17, 9), g.P(9, 17), g.P(1, 9)}); break;
    case skTriangle: g.Poly({g.P(9, 1.5), g.P(17, 15.5), g.P(1, 15.5)}); break;
    case skOval: g.Ellipse(1, 4, 17, 14); break;
    case skRect: g.Rect(1, 4, 17, 14); break;
    default: break;
    }
}

void DrawLetter(CGrid& g, const CSymbol& d) {
    g.Pen(d.cr);
    g.Brush(c_crWhite);
    g.Rect(1, 1, 17, 17);
    g.Text(d.szGlyph, 0, 0, 18, 18, d.cr, 13);
}

void DrawPennant(CGrid& g, COLORREF cr) {
    g.Pen(c_crOutline, 1.5);
    g.Line({g.P(4, 17), g.P(4, 1)});
    g.Pen(Darker(cr, 60));
    g.Brush(cr);
    g.Poly({g.P(5, 1.5), g.P(16, 5.5), g.P(5, 9.5)});
}

void DrawPin(CGrid& g, COLORREF cr) {
    g.Pen(c_crOutline, 1.5);
    g.Line({g.P(8, 9), g.P(3, 17)});
    g.Pen(Darker(cr, 55));
    g.Brush(cr);
    g.Ellipse(6, 1, 16, 11);
    g.NoPen();
    g.Brush(c_crWhite);
    g.Ellipse(8.5, 3, 11, 5.5);
}

void DrawBlock(CGrid& g, COLORREF cr) {
    // Front, top and side faces of a cube in three shades.
    g.Pen(Darker(cr, 45));
    g.Brush(cr);
    g.Poly({g.P(2, 6), g.P(12, 6), g.P(12, 16), g.P(2, 16)});
    g.Brush(RGB(std::min(255, GetRValue(cr) + 90), std::min(255, GetGValue(cr) + 90),
                std::min(255, GetBValue(cr) + 90)));
    g.Poly({g.P(2, 6), g.P(6, 2), g.P(16, 2), g.P(12, 6)});
    g.Brush(Darker(cr, 65));
    g.Poly({g.P(12, 6), g.P(16, 2), g.P(16, 12), g.P(12, 16)});
}

void DrawLighthouse(CGrid& g, COLORREF crTop, COLORREF crBottom) {
    const COLORREF crEdge = c_crOutline;
    // Light rays.
    g.Pen(RGB(240, 180, 0));
    g.Line({g.P(1, 2), g.P(5, 4)});
    g.Line({g.P(17, 2), g.P(13, 4)});
    // Lantern.
    g.Pen(crEdge);
    g.Brush(c_crYellow);
    g.Rect(7, 2, 11, 5);
    g.Brush(crEdge);
    g.Poly({g.P(6, 2), g.P(9, 0.5), g.P(12, 2)});
    // The tower in two bands.
    g.Brush(crTop);
    g.Poly({g.P(6.5, 5), g.P(11.5, 5), g.P(12.5, 10.5), g.P(5.5, 10.5)});
    g.Brush(crBottom);
    g.Poly({g.P(5.5, 10.5), g.P(12.5, 10.5), g.P(13.5, 16), g.P(4.5, 16)});
    g.Line({g.P(3, 17), g.P(15, 17)});
}

void DrawFace(CGrid& g, WORD wType) {
    COLORREF crSkin = c_crContact, crHair = RGB(90, 60, 30);
    switch (wType) {
    case 119: crSkin = RGB(150, 100, 60); crHair = c_crBlack; break; // afro
    case 120: crSkin = RGB(130, 210, 110); break;                    // alien
    case 123: crHair = c_crBlack; break;                             // biker
    case 125: crSkin = RGB(250, 170, 60); crHair = crSkin; break;    // cat
    case 126: crSkin = RGB(200, 150, 100); crHair = RGB(120, 80, 40); break; // dog
    case 127: crHair = RGB(120, 80, 20); break;                      // dreadlocks
    case 128: crHair = RGB(240, 200, 60); break;                     // woman 1
    case 129: crHair = RGB(150, 40, 20); break;                      // woman 2
    case 130: crHair = c_crBlack; break;                             // woman 3
    case 133: crSkin = RGB(250, 170, 190); crHair = crSkin; break;   // pig
    case 137: crHair = RGB(230, 0, 160); break;                      // punk
    default: break;
    }
    g.Pen(c_crOutline);
    // Long hair behind the face.
    if (wType >= 128 && wType <= 130) {
        g.Brush(crHair);
        g.Rect(3, 4, 15, 16);
    }
    if (wType == 119) {
        g.Brush(crHair);
        g.Ellipse(1, 0.5, 17, 13);
    }
    if (wType == 122 || wType == 126) {
        g.Brush(wType == 126 ? crHair : crSkin);
        g.Ellipse(1, 6, 5, 13);
        g.Ellipse(13, 6, 17, 13);
    }
    if (wType == 125) {
        g.Brush(crSkin);
        g.Poly({g.P(3, 7), g.P(4, 1), g.P(8, 4)});
        g.Poly({g.P(15, 7), g.P(14, 1), g.P(10, 4)});
    }
    g.Brush(crSkin);
    g.Ellipse(3.5, 3, 14.5, 16);
    // Hair on top.
    if (wType == 137) {
        g.Brush(crHair);
        g.Poly({g.P(7, 4), g.P(9, 0.5), g.P(11, 4)});
    } else if (wType == 138) {
        g.Brush(c_crBlack);
        g.Ellipse(7, 0.5, 11, 4);
    } else if (wType == 121 || wType == 135) {
        g.Brush(wType == 121 ? c_crRed : RGB(110, 90, 40));
        g.Poly({g.P(3, 7), g.P(4, 2.5), g.P(14, 2.5), g.P(16, 7)});
    } else if (wType != 120 && wType != 125 && wType != 133 && wType != 119) {
        g.Brush(crHair);
        g.Poly({g.P(4, 8), g.P(5, 3.5), g.P(9, 2.5), g.P(13, 3.5), g.P(14, 8), g.P(9, 6)});
    }
    // Eyes.
    g.NoPen();
    g.Brush(c_crBlack);
    const double r = wType == 120 ? 1.6 : 0.9;
    g.Ellipse(7 - r, 9 - r, 7 + r, 9 + r);
    if (wType == 134) {
        g.Rect(9.5, 8, 12.5, 10.5); // eye patch
        g.Pen(c_crBlack);
        g.Line({g.P(4, 6), g.P(14, 11)});
    } else {
        g.Ellipse(11 - r, 9 - r, 11 + r, 9 + r);
    }
    if (wType == 133) {
        g.Pen(c_crOutline);
        g.Brush(RGB(240, 130, 160));
        g.Ellipse(7, 10.5, 11, 13.5);
    } else if (wType == 124) {
        g.Pen(c_crBlack);
        g.Line({g.P(6, 13), g.P(9, 14.5), g.P(12, 13)});
    } else if (wType == 131 || wType == 132) {
        g.Brush(RGB(90, 60, 30));
        g.Ellipse(8, 13, 10, 16);
    } else {
        g.Pen(c_crOutline);
        g.Line({g.P(7, 13), g.P(11, 13)});
    }
}

void DrawAnchor(CGrid& g, COLORREF cr) {
    g.Pen(cr, 1.6);
    g.NoBrush();
    g.Ellipse(7, 1, 11, 5);
    g.Line({g.P(9, 5), g.P(9, 16)});
    g.Line({g.P(5, 8), g.P(13, 8)});
    g.Line({g.P(3, 11), g.P(5, 14.5), g.P(9, 16), g.P(13, 14.5), g.P(15, 11)});
}

void DrawTree(CGrid& g, COLORREF cr) {
    g.Pen(RGB(100, 60, 20), 2);
    g.Line({g.P(9, 12), g.P(9, 17)});
    g.Pen(Darker(cr, 60));
    g.Brush(cr);
    g.Poly({g.P(9, 0.5), g.P(15, 8), g.P(12, 8), g.P(16, 13), g.P(2, 13), g.P(6, 8), g.P(3, 8)});
}

void DrawTown(CGrid& g, bool fRound, double dOuter, COLORREF crOuter, double dInner, COLORREF crInner) {
    g.Pen(c_crBlack);
    g.Brush(crOuter);
    if (fRound)
        g.Ellipse(9 - dOuter, 9 - dOuter, 9 + dOuter, 9 + dOuter);
    else
        g.Rect(9 - dOuter, 9 - dOuter, 9 + dOuter, 9 + dOuter);
    g.Brush(crInner);
    if (fRound)
        g.Ellipse(9 - dInner, 9 - dInner, 9 + dInner, 9 + dInner);
    else
        g.Rect(9 - dInner, 9 - dInner, 9 + dInner, 9 + dInner);
}

void DrawPicture(CGrid& g, WORD wType) {
    switch (wType) {
    case 0: DrawAnchor(g, c_crMarine); break;
    case 155:
        DrawAnchor(g, c_crMarine);
        g.Pen(c_crRed, 2);
        g.NoBrush();
        g.Ellipse(1, 1, 17, 17);
        g.Line({g.P(3, 3), g.P(15, 15)});
        break;
    case 1: // bell
        g.Pen(RGB(120, 90, 0));
        g.Brush(RGB(230, 180, 40));
        g.Poly({g.P(9, 1), g.P(12, 3), g.P(13, 11), g.P(16, 14), g.P(2, 14), g.P(5, 11), g.P(6, 3)});
        g.Ellipse(7.5, 14, 10.5, 17);
        break;
    case 4: // red flag with a white diagonal
        g.Pen(c_crOutline);
        g.Brush(c_crRed);
        g.Rect(1, 3, 17, 15);
        g.Pen(c_crWhite, 2.5);
        g.Line({g.P(2.5, 4.5), g.P(15.5, 13.5)});
        break;
    case 5: // white and blue swallow-tailed flag
        g.Pen(c_crOutline);
        g.Brush(c_crWhite);
        g.Rect(1, 3, 8, 15);
        g.Brush(c_crBlue);
        g.Poly({g.P(8, 3), g.P(17, 3), g.P(13, 9), g.P(17, 15), g.P(8, 15)});
        break;
    case 7:
    case 150: // a fish
        g.Pen(c_crMarine);
        g.Brush(wType == 150 ? c_crOrange : RGB(120, 180, 230));
        g.Ellipse(1, 5, 13, 13);
        g.Poly({g.P(12, 9), g.P(17, 5), g.P(17, 13)});
        g.NoPen();
        g.Brush(c_crBlack);
        g.Ellipse(3.5, 7.5, 5, 9);
        break;
    case 8: // fuel pump
        g.Pen(Darker(c_crRed, 60));
        g.Brush(c_crRed);
        g.Rect(3, 2, 12, 17);
        g.Brush(c_crWhite);
        g.Rect(5, 4, 10, 8);
        g.Pen(c_crOutline, 1.5);
        g.Line({g.P(12, 5), g.P(15, 7), g.P(15, 14), g.P(13, 14)});
        break;
    case 10: // house
        g.Pen(RGB(90, 40, 20));
        g.Brush(RGB(200, 60, 40));
        g.Poly({g.P(9, 1), g.P(17, 8), g.P(1, 8)});
        g.Brush(RGB(240, 220, 170));
        g.Rect(3, 8, 15, 17);
        g.Brush(RGB(120, 70, 30));
        g.Rect(7.5, 11, 10.5, 17);
        break;
    case 11: // restaurant: fork and knife
        g.Pen(Darker(c_crFood, 60));
        g.Brush(c_crFood);
        g.Rect(1, 1, 17, 17);
        g.Pen(c_crWhite, 1.4);
        g.Line({g.P(5, 3), g.P(5, 7), g.P(7, 9), g.P(9, 7), g.P(9, 3)});
        g.Line({g.P(7, 3), g.P(7, 15)});
        g.Line({g.P(12.5, 15), g.P(12.5, 3), g.P(14, 8), g.P(12.5, 9)});
        break;
    case 12: // light: a star of rays
        g.Pen(RGB(200, 140, 0), 1.4);
        g.Line({g.P(9, 1), g.P(9, 17)});
        g.Line({g.P(1, 9), g.P(17, 9)});
        g.Line({g.P(3, 3), g.P(15, 15)});
        g.Line({g.P(15, 3), g.P(3, 15)});
        g.Pen(RGB(160, 110, 0));
        g.Brush(c_crYellow);
        g.Ellipse(5, 5, 13, 13);
        break;
    case 13: // bar: a cocktail glass
        g.Pen(Darker(c_crFood, 60));
        g.Brush(c_crFood);
        g.Ellipse(0.5, 0.5, 17.5, 17.5);
        g.Pen(c_crWhite, 1.3);
        g.Brush(c_crWhite);
        g.Poly({g.P(4, 4), g.P(14, 4), g.P(9, 9)});
        g.Line({g.P(9, 9), g.P(9, 14)});
        g.Line({g.P(6, 14), g.P(12, 14)});
        break;
    case 14: // skull and crossbones
        g.NoPen();
        g.Brush(c_crBlack);
        g.Rect(0, 0, 18, 18);
        g.Pen(c_crWhite, 1.5);
        g.Line({g.P(3, 11), g.P(15, 17)});
        g.Line({g.P(15, 11), g.P(3, 17)});
        g.Brush(c_crWhite);
        g.Ellipse(4.5, 1.5, 13.5, 10.5);
        g.NoPen();
        g.Brush(c_crBlack);
        g.Ellipse(6, 5, 8.5, 7.5);
        g.Ellipse(9.5, 5, 12, 7.5);
        break;
    case 17:
    case 156: // buoys
        g.Pen(c_crOutline);
        g.Brush(wType == 17 ? c_crWhite : c_crRed);
        g.Poly({g.P(9, 1), g.P(14, 13), g.P(4, 13)});
        g.Brush(c_crMarine);
        g.Ellipse(2, 12, 16, 17);
        break;
    case 19: // shipwreck: a tilted hull
        g.Pen(c_crOutline);
        g.Brush(RGB(120, 80, 40));
        g.Poly({g.P(1, 9), g.P(15, 15), g.P(12, 17), g.P(2, 13)});
        g.Line({g.P(8, 12), g.P(11, 3)});
        g.Pen(c_crMarine, 1.3);
        g.Line({g.P(1, 16), g.P(4, 15), g.P(7, 16), g.P(10, 15), g.P(13, 16), g.P(17, 15)});
        break;
    case 20: // man overboard: a life ring
        g.Pen(c_crRed, 3);
        g.NoBrush();
        g.Ellipse(3, 3, 15, 15);
        g.Pen(c_crWhite, 3);
        g.Line({g.P(9, 2), g.P(9, 5)});
        g.Line({g.P(9, 13), g.P(9, 16)});
        g.Line({g.P(2, 9), g.P(5, 9)});
        g.Line({g.P(13, 9), g.P(16, 9)});
        break;
    case 35: // white dot
        g.Pen(c_crOutline);
        g.Brush(c_crWhite);
        g.Ellipse(5, 5, 13, 13);
        break;
    case 38: // tent
        g.Pen(RGB(60, 70, 20));
        g.Brush(RGB(110, 150, 40));
        g.Poly({g.P(9, 2), g.P(17, 16), g.P(1, 16)});
        g.Brush(RGB(50, 60, 20));
        g.Poly({g.P(9, 8), g.P(12, 16), g.P(6, 16)});
        break;
    case 41: // drinking water: a drop
        g.Pen(RGB(0, 60, 140));
        g.Brush(RGB(40, 140, 230));
        g.Poly({g.P(9, 1), g.P(13, 8), g.P(14, 11), g.P(13, 14.5), g.P(9, 17), g.P(5, 14.5), g.P(4, 11),
                g.P(5, 8)});
        break;
    case 43:
    case 81: // medical: a red cross on white; pharmacy on green
        g.Pen(c_crOutline);
        g.Brush(wType == 43 ? c_crWhite : RGB(0, 150, 70));
        g.Rect(1, 1, 17, 17);
        g.NoPen();
        g.Brush(wType == 43 ? c_crRed : c_crWhite);
        g.Rect(7, 3, 11, 15);
        g.Rect(3, 7, 15, 11);
        break;
    case 46:
    case 105: DrawTree(g, wType == 46 ? RGB(60, 170, 60) : RGB(20, 110, 40)); break;
    case 56: // car
        g.Pen(c_crOutline);
        g.Brush(c_crCar);
        g.Poly({g.P(1, 13), g.P(1, 9), g.P(4, 9), g.P(6, 5), g.P(12, 5), g.P(14, 9), g.P(17, 9), g.P(17, 13)});
        g.Brush(c_crBlack);
        g.Ellipse(3, 11, 7, 15);
        g.Ellipse(11, 11, 15, 15);
        break;
    case 64: // flag on a pole
        g.Pen(c_crOutline, 1.5);
        g.Line({g.P(3, 17), g.P(3, 1)});
        g.Pen(c_crOutline);
        g.Brush(c_crBlue);
        g.Rect(4, 1.5, 16, 9.5);
        g.NoPen();
        g.Brush(c_crWhite);
        g.Rect(4.5, 4.5, 15.5, 6.5);
        break;
    case 65: // circle with a cross
        g.Pen(c_crBlack, 1.5);
        g.NoBrush();
        g.Ellipse(2, 2, 16, 16);
        g.Line({g.P(4.5, 4.5), g.P(13.5, 13.5)});
        g.Line({g.P(13.5, 4.5), g.P(4.5, 13.5)});
        break;
    // Settlements: a white dot, a square with a core, a black square, and
    // a star for the capital.
    case 69: DrawTown(g, true, 4, c_crWhite, 2, c_crBlack); break;
    case 70: DrawTown(g, false, 6, c_crWhite, 3, c_crBlack); break;
    case 71: DrawTown(g, false, 8, c_crBlack, 3, c_crWhite); break;
    case 72: {
        g.Pen(RGB(120, 0, 0));
        g.Brush(c_crRed);
        POINT star[10];
        for (int i = 0; i < 10; ++i) {
            const double a = -M_PI / 2 + i * M_PI / 5, r = (i & 1) ? 3.6 : 8.5;
            star[i] = g.P(9 + r * std::cos(a), 9.5 + r * std::sin(a));
        }
        g.Dc().Polygon(star, 10);
        break;
    }
    case 93: // bridge
        g.Pen(c_crMarine, 1.3);
        g.Line({g.P(1, 16), g.P(5, 15), g.P(9, 16), g.P(13, 15), g.P(17, 16)});
        g.Pen(c_crOutline);
        g.Brush(c_crCivic);
        g.Poly({g.P(1, 6), g.P(17, 6), g.P(17, 13), g.P(14, 13), g.P(12, 9), g.P(6, 9), g.P(4, 13), g.P(1, 13)});
        break;
    case 94: // building
        g.Pen(c_crOutline);
        g.Brush(RGB(150, 150, 160));
        g.Rect(3, 1, 15, 17);
        g.NoPen();
        g.Brush(c_crYellow);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c) g.Rect(5 + c * 5, 3 + r * 4, 8 + c * 5, 5.5 + r * 4);
        break;
    case 95: // cemetery: a cross on a mound
        g.Pen(c_crOutline);
        g.Brush(RGB(110, 150, 90));
        g.Ellipse(1, 12, 17, 17.5);
        g.Brush(c_crCivic);
        g.Rect(7.5, 1, 10.5, 15);
        g.Rect(4, 4, 14, 7);
        break;
    case 96: // church
        g.Pen(c_crOutline);
        g.Brush(RGB(240, 220, 170));
        g.Rect(4, 8, 14, 17);
        g.Brush(RGB(120, 70, 30));
        g.Poly({g.P(3, 9), g.P(9, 4), g.P(15, 9)});
        g.Pen(c_crBlack, 1.3);
        g.Line({g.P(9, 0.5), g.P(9, 4)});
        g.Line({g.P(7.5, 2), g.P(10.5, 2)});
        break;
    case 98: // crossing, a pass between two peaks
        g.Pen(RGB(80, 50, 20));
        g.Brush(RGB(160, 110, 60));
        g.Poly({g.P(0.5, 16), g.P(5, 4), g.P(9, 11), g.P(13, 4), g.P(17.5, 16)});
        g.Pen(c_crRed, 1.5);
        g.Line({g.P(3, 13), g.P(15, 13)});
        break;
    case 103: // tunnel
        g.Pen(c_crOutline);
        g.Brush(RGB(150, 110, 70));
        g.Rect(1, 3, 17, 17);
        g.NoPen();
        g.Brush(c_crBlack);
        g.Ellipse(5, 6, 13, 14);
        g.Rect(5, 10, 13, 17);
        break;
    case 104: // beach: sun over the sand
        g.NoPen();
        g.Brush(RGB(240, 210, 130));
        g.Rect(1, 12, 17, 17);
        g.Brush(RGB(90, 170, 230));
        g.Rect(1, 9, 17, 12);
        g.Pen(RGB(200, 120, 0));
        g.Brush(c_crYellow);
        g.Ellipse(5, 1, 13, 9);
        break;
    case 106: // summit
        g.Pen(RGB(80, 50, 20));
        g.Brush(RGB(150, 100, 50));
        g.Poly({g.P(9, 1), g.P(17.5, 16), g.P(0.5, 16)});
        g.Brush(c_crWhite);
        g.Poly({g.P(9, 1), g.P(11.5, 5.5), g.P(6.5, 5.5)});
        break;
    case 107: // airport: an aeroplane from above
        g.Pen(Darker(c_crAir, 60));
        g.Brush(c_crAir);
        g.Poly({g.P(8, 1), g.P(10, 1), g.P(10, 7), g.P(17, 10), g.P(17, 12), g.P(10, 10.5), g.P(10, 14),
                g.P(12.5, 16), g.P(12.5, 17), g.P(5.5, 17), g.P(5.5, 16), g.P(8, 14), g.P(8, 10.5), g.P(1, 12),
                g.P(1, 10), g.P(8, 7)});
        break;
    case 111:
    case 112: { // towers: a mast with stays
        const double vTop = wType == 111 ? 0.5 : 6;
        g.Pen(c_crRed, 1.5);
        g.Line({g.P(9, vTop), g.P(9, 17)});
        g.Pen(c_crOutline);
        g.Line({g.P(9, vTop + 2), g.P(3, 17)});
        g.Line({g.P(9, vTop + 2), g.P(15, 17)});
        g.Line({g.P(5.5, 12), g.P(12.5, 12)});
        break;
    }
    case 117:
    case 118: // geocache: a box, ticked when found
        g.Pen(RGB(60, 60, 20));
        g.Brush(RGB(110, 130, 40));
        g.Rect(2, 5, 16, 16);
        g.Brush(RGB(150, 170, 60));
        g.Rect(1, 3, 17, 7);
        if (wType == 118) {
            g.Pen(c_crWhite, 2);
            g.Line({g.P(5, 11), g.P(8, 14), g.P(14, 8)});
        }
        break;
    case 139: // fire hydrant
        g.Pen(RGB(120, 0, 0));
        g.Brush(c_crRed);
        g.Ellipse(5, 1, 13, 7);
        g.Rect(5, 4, 13, 16);
        g.Rect(2, 7, 16, 10);
        g.Rect(3, 15, 15, 17);
        break;
    default:
        if (wType >= 119 && wType <= 138) DrawFace(g, wType);
        break;
    }
}

// The program's waypoint icon: a red flag planted at the point.
void DrawProgramIcon(ICanvas& dc, int left, int top, int s) {
    CGrid g(dc, left, top, s);
    g.Pen(RGB(60, 30, 0));
    g.Brush(RGB(120, 200, 90));
    g.Ellipse(10, 13, 21, 18);
    g.Pen(c_crOutline, 2);
    g.Line({g.P(15, 15.5), g.P(15, 3)});
    g.Pen(RGB(130, 0, 0));
    g.Brush(c_crRed);
    g.Poly({g.P(16, 2), g.P(29, 2), g.P(25, 6), g.P(29, 10), g.P(16, 10)});
    g.NoPen();
    g.Brush(c_crWhite);
    g.Ellipse(19, 4, 23, 8);
}

} // namespace

bool IsProgramWaypointIcon(WORD wType) { return wType == c_wDefaultWaypointType || wType >= c_cWaypointCount; }

RECT WaypointIconRect(WORD wType, int x, int y, int s) {
    s = std::max(1, s);
    const int h = IsProgramWaypointIcon(wType) ? 16 : 9;
    const int l = x - h * s + 1, t = y - h * s + 1;
    return {l, t, l + 2 * h * s, t + 2 * h * s};
}

void DrawWaypointIconAt(ICanvas& dc, WORD wType, int left, int top, int s) {
    s = std::max(1, s);
    if (IsProgramWaypointIcon(wType)) {
        DrawProgramIcon(dc, left, top, s);
        return;
    }
    const CSymbol& d = c_aSymbols[wType];
    CGrid g(dc, left, top, s);
    switch (d.nKind) {
    case skDisc:
    case skSquare:
    case skDiamond:
    case skTriangle:
    case skOval:
    case skRect: DrawShape(g, d); break;
    case skLetter: DrawLetter(g, d); break;
    case skPennant: DrawPennant(g, d.cr); break;
    case skPin: DrawPin(g, d.cr); break;
    case skBlock: DrawBlock(g, d.cr); break;
    case skLighthouse: DrawLighthouse(g, d.cr, d.cr2); break;
    case skPicture: DrawPicture(g, wType); break;
    default: DrawBadge(g, d); break;
    }
}

void DrawWaypointIcon(ICanvas& dc, WORD wType, int x, int y, int s) {
    const RECT rc = WaypointIconRect(wType, x, y, s);
    DrawWaypointIconAt(dc, wType, rc.left, rc.top, s);
}

} // namespace velka
