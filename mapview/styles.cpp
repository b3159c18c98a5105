#include "mapview/styles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "gauges/sun.h"
#include "gps/gps_fix.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {


// ---------------------------------------------------------------- fonts

CFontDesc Tahoma(int nHeight, bool fBold = false) {
    CFontDesc f;
    f.strFace = u"Tahoma";
    f.nHeight = ScaleY(nHeight);
    f.nWeight = fBold ? 700 : 400;
    return f;
}

CLabelStyle Label(const CFontDesc& font, COLORREF cr, bool fNear = false) {
    CLabelStyle s;
    s.font = font;
    s.crColor = cr;
    s.fNearLine = fNear;
    return s;
}

// ---------------------------------------------------------------- patterns

struct CPatternDef {
    int nId;
    BYTE ab[8];
    COLORREF crDefault;
};

// Our own 8 x 8 patterns for the pattern identifiers of the tables.
constexpr CPatternDef c_aPatterns[] = {
    {102, {0x10, 0x38, 0x10, 0x10, 0x00, 0x00, 0x00, 0x00}, RGB(96, 128, 96)},   // cemetery: crosses
    {103, {0x00, 0x22, 0x00, 0x00, 0x00, 0x88, 0x00, 0x00}, RGB(0, 160, 0)},     // orchard: dots
    {104, {0x00, 0x24, 0x18, 0x00, 0x00, 0x42, 0x81, 0x00}, RGB(211, 245, 165)}, // scrub
    {105, {0x00, 0x00, 0x22, 0x00, 0x00, 0x00, 0x88, 0x00}, RGB(160, 160, 120)}, // tundra
    {106, {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00}, RGB(192, 192, 192)}, // unknown area
    {107, {0x00, 0xCC, 0x00, 0x00, 0x00, 0x33, 0x00, 0x00}, RGB(0, 128, 255)},   // intermittent water
    {108, {0x00, 0x00, 0x77, 0x00, 0x00, 0x00, 0xEE, 0x00}, RGB(0, 128, 200)},   // marsh
    {168, {0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00}, RGB(0, 128, 255)},
    {169, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}, RGB(128, 128, 128)},
    {170, {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, RGB(128, 128, 128)},
    {171, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}, RGB(128, 128, 128)},
    {172, {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11}, RGB(150, 150, 150)},
    {173, {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88}, RGB(150, 150, 150)},
    {174, {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08}, RGB(164, 120, 100)},
    {175, {0x00, 0x66, 0x00, 0x00, 0x00, 0x66, 0x00, 0x00}, RGB(188, 237, 250)},
    {176, {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}, RGB(192, 192, 192)},
    {177, {0x00, 0x18, 0x3C, 0x7E, 0x00, 0x00, 0x00, 0x00}, RGB(128, 128, 96)},
    {178, {0x00, 0x00, 0x18, 0x18, 0x00, 0x00, 0x00, 0x00}, RGB(96, 96, 96)},
};

const CPatternDef* FindPattern(int nId) {
    for (const CPatternDef& p : c_aPatterns)
        if (p.nId == nId) return &p;
    return nullptr;
}

// ---------------------------------------------------------------- built-in tables

struct CPolygonRow {
    WORD wFirst, wLast;
    int nFill; // -1 solid, -2 none, pattern id
    COLORREF cr; // fill colour; for patterns 0xFFFFFFFF = the pattern's own
    int nLabel; // 0 normal, 1 water
};
constexpr COLORREF c_crOwn = 0xFFFFFFFF;

constexpr CPolygonRow c_aPolygonRows[] = {
    {0x00, 0, 106, c_crOwn, 0},
    {0x01, 0, -1, RGB(210, 192, 192), 0},
    {0x02, 0, -1, RGB(192, 192, 192), 0},
    {0x03, 0, -1, RGB(164, 176, 148), 0},
    {0x04, 0, -1, RGB(128, 128, 128), 0},
    {0x05, 0, -1, RGB(240, 240, 240), 0},
    {0x06, 0, -1, RGB(224, 224, 224), 0},
    {0x07, 0x08, -1, RGB(248, 184, 128), 0},
    {0x09, 0, -1, RGB(255, 0, 0), 0},
    {0x0A, 0x0B, -1, RGB(248, 184, 128), 0},
    {0x0C, 0, -1, RGB(128, 128, 128), 0},
    {0x0D, 0, -1, RGB(255, 210, 150), 0},
    {0x0E, 0, -1, RGB(224, 224, 224), 0},
    {0x0F, 0x13, -1, RGB(224, 224, 224), 0},
    {0x14, 0x16, -1, RGB(183, 233, 153), 0},
    {0x17, 0, -1, RGB(144, 192, 0), 0},
    {0x18, 0, -1, RGB(0, 255, 0), 0},
    {0x19, 0, -1, RGB(248, 184, 128), 0},
    {0x1A, 0, 102, c_crOwn, 0},
    {0x1B, 0x1D, -1, RGB(224, 224, 224), 0},
    {0x1E, 0x20, -1, RGB(183, 233, 153), 0},
    {0x21, 0x27, -1, RGB(224, 224, 224), 0},
    {0x28, 0x29, -1, RGB(0, 128, 255), 1},
    {0x2A, 0x31, -1, RGB(224, 224, 224), 0},
    {0x32, 0, -1, RGB(0, 128, 255), 1},
    {0x33, 0x3A, -1, RGB(224, 224, 224), 0},
    {0x3B, 0, -1, RGB(0, 128, 255), 1},
    {0x3C, 0x3D, -1, RGB(0, 128, 255), 1},
    {0x3E, 0x3F, -1, RGB(0, 128, 255), 1},
    {0x40, 0x41, -1, RGB(0, 128, 255), 1},
    {0x42, 0x43, -1, RGB(0, 128, 255), 1},
    {0x44, 0, -1, RGB(0, 128, 255), 1},
    {0x45, 0, -1, RGB(0, 128, 255), 1},
    {0x46, 0x47, -1, RGB(0, 128, 255), 1},
    {0x48, 0x49, -1, RGB(0, 128, 255), 1},
    {0x4A, 0, -2, 0, 0},
    {0x4B, 0, -2, 0, 0},
    {0x4C, 0, 107, c_crOwn, 1},
    {0x4D, 0, -1, RGB(0, 255, 255), 0},
    {0x4E, 0, 103, c_crOwn, 0},
    {0x4F, 0, 104, RGB(211, 245, 165), 0},
    {0x50, 0, -1, RGB(183, 233, 153), 0},
    {0x51, 0, 108, c_crOwn, 1},
    {0x52, 0, 105, c_crOwn, 0},
    {0x53, 0, 175, RGB(188, 237, 250), 0},
    {0x54, 0x69, -1, RGB(224, 224, 224), 0},
    {0x6A, 0x6B, -1, RGB(224, 224, 224), 0},
    {0x6C, 0, -1, RGB(150, 150, 150), 0},
    {0x6D, 0x6F, -1, RGB(224, 224, 224), 0},
    {0x70, 0, -1, RGB(0, 0, 0), 0},
    {0x71, 0, -1, RGB(149, 47, 12), 0},
    {0x72, 0, -1, RGB(57, 126, 67), 0},
    {0x73, 0, -1, RGB(184, 152, 0), 0},
    {0x74, 0, -1, RGB(5, 67, 131), 0},
    {0x75, 0, -1, RGB(164, 7, 88), 0},
    {0x76, 0, -1, RGB(2, 141, 139), 0},
    {0x77, 0, -1, RGB(192, 192, 192), 0},
    {0x78, 0, -1, RGB(96, 96, 96), 0},
    {0x79, 0, -1, RGB(247, 89, 81), 0},
    {0x7A, 0, -1, RGB(34, 207, 58), 0},
    {0x7B, 0, -1, RGB(249, 186, 62), 0},
    {0x7C, 0, -1, RGB(35, 140, 247), 0},
    {0x7D, 0, -1, RGB(250, 109, 182), 0},
    {0x7E, 0, -1, RGB(150, 224, 208), 0},
    {0x7F, 0, -1, RGB(255, 255, 255), 0},
    {0x80, 0, -2, 0, 0},
    {0x81, 0, 108, RGB(183, 233, 153), 0},
    {0x82, 0, -1, RGB(211, 245, 165), 0},
    {0x83, 0, 170, c_crOwn, 0},
    {0x84, 0, 169, c_crOwn, 0},
    {0x85, 0, 171, c_crOwn, 0},
    {0x86, 0, 177, c_crOwn, 0},
    {0x87, 0, 174, c_crOwn, 0},
    {0x88, 0, 172, c_crOwn, 0},
    {0x89, 0, 175, c_crOwn, 0},
    {0x8A, 0, 176, c_crOwn, 0},
    {0x8B, 0, 178, c_crOwn, 0},
    {0x8C, 0, 173, c_crOwn, 0},
    {0x8D, 0, 168, RGB(0, 128, 255), 1},
    {0x8E, 0, 170, RGB(128, 96, 64), 0},
    {0x8F, 0, 171, RGB(128, 96, 64), 0},
    {0x90, 0, 172, RGB(96, 128, 64), 0},
    {0x91, 0, 173, RGB(96, 128, 64), 0},
    {0x92, 0, 174, RGB(160, 96, 96), 0},
    {0x93, 0, 176, RGB(160, 96, 96), 0},
    {0x94, 0, 177, c_crOwn, 0},
    {0x95, 0, 169, c_crOwn, 0},
    {0x96, 0, 178, c_crOwn, 0},
    {0x97, 0, 174, c_crOwn, 0},
};

struct CPolylineRow {
    WORD wFirst, wLast;
    int s1, w1, w1b;
    COLORREF c1;
    int s2, w2, w2b;
    COLORREF c2;
    bool fMedium;
    COLORREF crLabel;
    bool fNear;
};
constexpr int N = c_nPenNone;
constexpr COLORREF c_crRoad = RGB(230, 0, 0);
constexpr COLORREF c_crRail = RGB(0, 200, 100);

constexpr CPolylineRow c_aPolylineRows[] = {
    {0x00, 0, PS_SOLID, 1, 2, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x01, 0, PS_SOLID, 4, 8, RGB(100, 50, 50), PS_SOLID, 2, 6, RGB(196, 100, 66), true, 0, true},
    {0x02, 0, PS_SOLID, 3, 5, c_crRoad, N, 0, 0, 0, true, 0, true},
    {0x03, 0, PS_SOLID, 1, 2, c_crRoad, N, 0, 0, 0, true, 0, true},
    {0x04, 0, PS_SOLID, 3, 5, c_crRoad, N, 0, 0, 0, true, 0, true},
    {0x05, 0, PS_SOLID, 2, 3, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x06, 0x07, PS_SOLID, 1, 2, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x08, 0x09, PS_SOLID, 1, 2, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x0A, 0, PS_DOT, 1, 1, 0, N, 0, 0, 0, false, 0, true},
    {0x0B, 0, PS_SOLID, 3, 5, c_crRoad, N, 0, 0, 0, true, 0, true},
    {0x0C, 0, PS_SOLID, 1, 2, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x14, 0, PS_SOLID, 3, 5, 0, PS_DOT, 1, 1, RGB(255, 255, 255), false, 0, true},
    {0x15, 0, PS_SOLID, 1, 2, RGB(0, 0, 128), N, 0, 0, 0, false, RGB(0, 0, 128), false},
    {0x16, 0, PS_DOT, 1, 1, 0, N, 0, 0, 0, false, 0, true},
    {0x18, 0, PS_SOLID, 1, 2, RGB(0, 0, 255), N, 0, 0, 0, false, RGB(0, 0, 160), true},
    {0x19, 0, PS_SOLID, 1, 2, RGB(0, 255, 0), N, 0, 0, 0, false, 0, true},
    {0x1A, 0x1B, PS_DOT, 1, 1, 0, N, 0, 0, 0, false, 0, true},
    {0x1C, 0, PS_SOLID, 1, 2, RGB(255, 0, 0), PS_DOT, 1, 1, c_crRail, false, 0, true},
    {0x1D, 0, PS_SOLID, 1, 1, 0, PS_DOT, 1, 1, c_crRail, false, 0, true},
    {0x1E, 0, PS_SOLID, 2, 4, RGB(255, 0, 0), PS_DOT, 1, 1, c_crRail, false, 0, true},
    {0x1F, 0, PS_SOLID, 1, 2, RGB(0, 0, 255), N, 0, 0, 0, false, RGB(0, 0, 160), true},
    {0x20, 0, PS_DOT, 1, 1, RGB(182, 120, 36), N, 0, 0, 0, false, RGB(182, 120, 36), true},
    {0x21, 0, PS_SOLID, 1, 1, RGB(182, 120, 36), N, 0, 0, 0, false, RGB(182, 120, 36), true},
    {0x22, 0, PS_SOLID, 2, 2, RGB(182, 120, 36), N, 0, 0, 0, false, RGB(182, 120, 36), true},
    {0x23, 0, PS_DOT, 1, 1, RGB(0, 255, 255), N, 0, 0, 0, false, RGB(0, 128, 128), true},
    {0x24, 0, PS_SOLID, 1, 1, RGB(0, 255, 255), N, 0, 0, 0, false, RGB(0, 128, 128), true},
    {0x25, 0, PS_SOLID, 2, 2, RGB(0, 255, 255), N, 0, 0, 0, false, RGB(0, 128, 128), true},
    {0x26, 0, PS_DOT, 1, 1, RGB(0, 0, 255), N, 0, 0, 0, false, RGB(0, 0, 160), true},
    {0x27, 0, PS_SOLID, 4, 8, RGB(100, 50, 50), PS_SOLID, 2, 6, RGB(196, 100, 66), false, 0, true},
    {0x28, 0, PS_DOT, 1, 1, RGB(128, 128, 128), N, 0, 0, 0, false, 0, true},
    {0x29, 0, PS_SOLID, 1, 1, RGB(128, 128, 128), N, 0, 0, 0, false, 0, true},
    {0x2A, 0x2B, N, 0, 0, 0, N, 0, 0, 0, false, 0, true},
    {0x3D, 0x3E, N, 0, 0, 0, N, 0, 0, 0, false, 0, true},
    {0x3F, 0x41, PS_SOLID, 2, 3, 0, N, 0, 0, 0, false, 0, true},
    {0x42, 0, PS_SOLID, 1, 1, 0, N, 0, 0, 0, false, 0, true},
    {0x43, 0, PS_DOT, 1, 1, c_crRoad, N, 0, 0, 0, false, 0, true},
    {0x44, 0, PS_SOLID, 2, 3, RGB(0, 0, 255), N, 0, 0, 0, false, RGB(0, 0, 160), true},
    {0x45, 0, PS_SOLID, 1, 1, 0, PS_DOT, 1, 1, c_crRail, false, 0, true},
    {0x46, 0, PS_DOT, 1, 1, c_crRail, N, 0, 0, 0, false, 0, true},
    {0x47, 0, PS_SOLID, 6, 12, RGB(232, 0, 232), N, 0, 0, 0, false, 0, true},
};

// Point icons by full type (type in the high byte, subtype in the low
// byte); 0xFF in the low byte of a row stands for every subtype.
struct CPointRow {
    WORD wType;
    UINT uIcon;
};
constexpr CPointRow c_aPointRows[] = {
    {0x01FF, piCityHuge},   {0x02FF, piCityHuge},   {0x03FF, piCityLarge},  {0x04FF, piCityLarge},
    {0x05FF, piCityLarge},  {0x06FF, piCityMedium}, {0x07FF, piCityMedium}, {0x08FF, piCityMedium},
    {0x09FF, piCitySmall},  {0x0AFF, piCitySmall},  {0x0BFF, piCitySmall},  {0x0CFF, piVillage},
    {0x0DFF, piVillage},    {0x0EFF, piVillage},    {0x0FFF, piVillage},    {0x10FF, piVillage},
    {0x11FF, piVillage},
    {0x2A00, piFood},       {0x2AFF, piFood},       {0x2B00, piLodging},    {0x2BFF, piLodging},
    {0x2C00, piMuseum},     {0x2C01, piPark},       {0x2C02, piMuseum},     {0x2C04, piMuseum},
    {0x2C05, piSchool},     {0x2C06, piPark},       {0x2C07, piPark},       {0x2C08, piSport},
    {0x2C09, piMuseum},     {0x2C0A, piFood},       {0x2C0B, piWorship},    {0x2CFF, piInfo},
    {0x2D01, piTheatre},    {0x2D02, piFood},       {0x2D03, piTheatre},    {0x2D05, piSport},
    {0x2D06, piSport},      {0x2D09, piMarina},     {0x2D0A, piSport},      {0x2DFF, piTheatre},
    {0x2E00, piShop},       {0x2EFF, piShop},
    {0x2F01, piFuel},       {0x2F02, piCar},        {0x2F03, piCar},        {0x2F04, piAirport},
    {0x2F05, piPost},       {0x2F06, piBank},       {0x2F07, piCar},        {0x2F08, piBus},
    {0x2F09, piMarina},     {0x2F0B, piParking},    {0x2F0C, piInfo},       {0x2F0D, piCar},
    {0x2F0E, piCar},        {0x2F10, piInfo},       {0x2F11, piInfo},       {0x2F12, piInfo},
    {0x2F13, piInfo},       {0x2F14, piInfo},       {0x2F15, piInfo},       {0x2F16, piCar},
    {0x2F17, piBus},        {0x2FFF, piInfo},
    {0x3000, piMedical},    {0x3001, piPolice},     {0x3002, piMedical},    {0x3003, piInfo},
    {0x3004, piInfo},       {0x3005, piInfo},       {0x3006, piInfo},       {0x3007, piInfo},
    {0x3008, piPolice},     {0x30FF, piInfo},
    {0x4000, piSport},      {0x4100, piWater},      {0x4200, piBeacon},     {0x4300, piMarina},
    {0x4400, piFuel},       {0x4500, piFood},       {0x4600, piFood},       {0x4700, piMarina},
    {0x4800, piPark},       {0x4900, piPark},       {0x4A00, piPark},       {0x4B00, piMedical},
    {0x4C00, piInfo},       {0x4D00, piParking},    {0x4E00, piToilet},     {0x4F00, piInfo},
    {0x5000, piWater},      {0x5100, piInfo},       {0x5200, piPark},       {0x5300, piSport},
    {0x5400, piWater},      {0x5500, piWater},      {0x5600, piInfo},       {0x5700, piInfo},
    {0x5800, piInfo},       {0x5900, piAirport},    {0x5A00, piInfo},       {0x5B00, piInfo},
    {0x5C00, piWater},      {0x5D00, piInfo},       {0x5E00, piInfo},       {0x5F00, piInfo},
    {0x6400, piInfo},       {0x6401, piInfo},       {0x6402, piInfo},       {0x6403, piWorship},
    {0x6404, piWorship},    {0x6405, piInfo},       {0x6406, piInfo},       {0x6407, piInfo},
    {0x6408, piMedical},    {0x6409, piInfo},       {0x640A, piInfo},       {0x640B, piInfo},
    {0x640C, piInfo},       {0x640D, piInfo},       {0x64FF, piInfo},
    {0x6500, piWater},      {0x65FF, piWater},
    {0x6600, piPeak},       {0x6616, piPeak},       {0x66FF, piPeak},
};

// Navigation aids and markers 0x1600-0x1BFF by the low byte alone.
constexpr UINT c_aMarkerIcons[23] = {
    piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon,
    piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon, piBeacon,
    piInfo,   piInfo,   piInfo,   piInfo,   piInfo,   piInfo,   piInfo};

CBrushDesc SolidBrush(COLORREF cr) {
    CBrushDesc b;
    b.nKind = bkSolid;
    b.crColor = cr;
    return b;
}

CBrushDesc NullBrush() {
    CBrushDesc b;
    b.nKind = bkNull;
    return b;
}

CBrushDesc BrushForFill(int nFill, COLORREF cr) {
    if (nFill == c_nFillSolid) return SolidBrush(cr);
    if (nFill == c_nFillNone) return NullBrush();
    return PatternBrush(nFill, cr);
}

void MakePens(CPolylineStyle& e, int nFactor) {
    e.fPen1 = e.nStyle1 != c_nPenNone;
    e.fPen2 = e.nStyle2 != c_nPenNone;
    e.pen1 = {e.nStyle1, nFactor == 1 ? e.nWidth1 : e.nWidth1Big, e.cr1};
    e.pen2 = {e.nStyle2, nFactor == 1 ? e.nWidth2 : e.nWidth2Big, e.cr2};
}

// ---------------------------------------------------------------- skin parser

class CSkinReader {
public:
    CSkinReader(const char* p, std::size_t cb) : m_p(p), m_pEnd(p + cb) {}

    bool AtEnd() const { return m_p >= m_pEnd; }
    // At the start of a line: skips comment and empty lines.
    void SkipBlankLines() {
        while (m_p < m_pEnd) {
            const char* q = m_p;
            while (q < m_pEnd && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
            if (q < m_pEnd && *q != '\n' && *m_p != '#') return;
            if (q >= m_pEnd) {
                m_p = m_pEnd;
                return;
            }
            SkipLine();
        }
    }
    void SkipLine() {
        while (m_p < m_pEnd && *m_p != '\n') ++m_p;
        if (m_p < m_pEnd) ++m_p;
    }
    bool LineBeginsWith(std::string_view word) const {
        return static_cast<std::size_t>(m_pEnd - m_p) >= word.size() &&
               std::memcmp(m_p, word.data(), word.size()) == 0;
    }
    void SkipSpaces() {
        while (m_p < m_pEnd && (*m_p == ' ' || *m_p == '\t' || *m_p == '\r')) ++m_p;
    }
    // A word matched by prefix: reading continues right after it.
    bool Word(std::string_view word) {
        SkipSpaces();
        if (!LineBeginsWith(word)) return false;
        m_p += word.size();
        return true;
    }
    bool Hex(WORD& w) {
        SkipSpaces();
        DWORD v = 0;
        int c = 0;
        while (m_p < m_pEnd && HexDigit(*m_p) >= 0 && c < 5) {
            v = v * 16 + static_cast<DWORD>(HexDigit(*m_p++));
            ++c;
        }
        if (c == 0 || c > 4) return false;
        w = static_cast<WORD>(v);
        return true;
    }
    bool Decimal(int& n, bool fAllowMinus) {
        SkipSpaces();
        bool fNeg = false;
        if (m_p < m_pEnd && *m_p == '-') {
            if (!fAllowMinus) return false;
            fNeg = true;
            ++m_p;
        }
        int c = 0;
        long v = 0;
        while (m_p < m_pEnd && *m_p >= '0' && *m_p <= '9' && c < 9) {
            v = v * 10 + (*m_p++ - '0');
            ++c;
        }
        if (c == 0 || (m_p < m_pEnd && *m_p >= '0' && *m_p <= '9')) return false;
        n = static_cast<int>(fNeg ? -v : v);
        return true;
    }
    bool Colour(COLORREF& cr) {
        static constexpr struct {
            const char* sz;
            COLORREF cr;
        } c_aNames[] = {
            {"black", RGB(0, 0, 0)},         {"white", RGB(255, 255, 255)},
            {"ltgray", RGB(192, 192, 192)},  {"gray", RGB(128, 128, 128)},
            {"dkgray", RGB(96, 96, 96)},     {"red", RGB(255, 0, 0)},
            {"dkred", RGB(128, 0, 0)},       {"green", RGB(0, 255, 0)},
            {"dkgreen", RGB(0, 128, 0)},     {"blue", RGB(0, 0, 255)},
            {"dkblue", RGB(0, 0, 128)},      {"yellow", RGB(255, 255, 0)},
            {"dkyellow", RGB(128, 128, 0)},  {"cyan", RGB(0, 255, 255)},
            {"dkcyan", RGB(0, 128, 128)},    {"magenta", RGB(255, 0, 255)},
            {"dkmagenta", RGB(128, 0, 128)},
        };
        SkipSpaces();
        for (const auto& n : c_aNames)
            if (LineBeginsWith(n.sz)) {
                m_p += std::strlen(n.sz);
                cr = n.cr;
                return true;
            }
        if (m_pEnd - m_p < 6) return false;
        int a[3];
        for (int i = 0; i < 3; ++i) {
            const int h = HexDigit(m_p[2 * i]), l = HexDigit(m_p[2 * i + 1]);
            if (h < 0 || l < 0) return false;
            a[i] = h * 16 + l;
        }
        m_p += 6;
        cr = RGB(a[0], a[1], a[2]);
        return true;
    }
    bool PenStyle(int& n) {
        if (Word("none")) n = c_nPenNone;
        else if (Word("solid")) n = PS_SOLID;
        else if (Word("dash")) n = PS_DASH;
        else if (Word("dot")) n = PS_DOT;
        else if (Word("null")) n = PS_NULL;
        else return false;
        return true;
    }
    bool Bool(bool& f, std::string_view yes, std::string_view no) {
        if (Word(yes)) f = true;
        else if (Word(no)) f = false;
        else return false;
        return true;
    }

private:
    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    const char* m_p;
    const char* m_pEnd;
};

} // namespace

CBrushDesc PatternBrush(int nPattern, COLORREF cr) {
    const CPatternDef* p = FindPattern(nPattern);
    if (!p) p = FindPattern(106);
    CBrushDesc b;
    b.nKind = bkPattern;
    b.crColor = cr == c_crOwn ? p->crDefault : cr;
    std::copy(std::begin(p->ab), std::end(p->ab), b.abPattern);
    b.fTransparentBack = true;
    return b;
}

bool ParseSkin(const char* pData, std::size_t cbSize, CSkin& skin, int nFactor) {
    CSkinReader r(pData, cbSize);
    skin.polygons.clear();
    skin.polylines.clear();
    r.SkipBlankLines();
    if (!r.Colour(skin.crBackground)) return false;
    r.SkipLine();
    r.SkipBlankLines();
    if (!r.Word("polygons")) return false;
    r.SkipLine();
    const CFontDesc fontArea = Tahoma(14), fontSmall = Tahoma(12), fontMedium = Tahoma(14, true);
    for (;;) {
        r.SkipBlankLines();
        if (r.AtEnd()) return false; // no "polylines" line
        if (r.LineBeginsWith("polylines")) break;
        CPolygonStyle e;
        COLORREF crLabel = 0;
        int nFill = 0;
        if (!r.Hex(e.wFirst) || !r.Hex(e.wLast) || !r.Decimal(nFill, true)) return false;
        if (nFill < 0 && nFill != c_nFillNone) return false;
        e.nFill = nFill == 0 ? c_nFillSolid : nFill;
        if (!r.Colour(e.crFill) || !r.Colour(crLabel)) return false;
        r.SkipLine();
        e.label = Label(fontArea, crLabel);
        e.brush = BrushForFill(e.nFill, e.crFill);
        skin.polygons.push_back(e);
        if (skin.polygons.size() > 255) {
            r.SkipBlankLines();
            if (!r.LineBeginsWith("polylines")) return false;
        }
    }
    r.SkipLine();
    for (;;) {
        r.SkipBlankLines();
        if (r.AtEnd()) break;
        CPolylineStyle e;
        bool fMedium = false;
        if (!r.Hex(e.wFirst) || !r.Hex(e.wLast) || !r.PenStyle(e.nStyle1) ||
            !r.Decimal(e.nWidth1, false) || !r.Decimal(e.nWidth1Big, false) || !r.Colour(e.cr1) ||
            !r.PenStyle(e.nStyle2) || !r.Decimal(e.nWidth2, false) ||
            !r.Decimal(e.nWidth2Big, false) || !r.Colour(e.cr2) ||
            !r.Bool(fMedium, "medium", "small") || !r.Colour(e.crLabel) ||
            !r.Bool(e.fNearLine, "true", "false"))
            return false;
        r.SkipLine();
        e.fMediumFont = fMedium;
        e.label = Label(fMedium ? fontMedium : fontSmall, e.crLabel, e.fNearLine);
        MakePens(e, nFactor);
        skin.polylines.push_back(e);
        if (skin.polylines.size() > 255) return false;
    }
    // The lookup needs the entries in order of their first type.
    auto byFirst = [](const auto& a, const auto& b) { return a.wFirst < b.wFirst; };
    std::stable_sort(skin.polygons.begin(), skin.polygons.end(), byFirst);
    std::stable_sort(skin.polylines.begin(), skin.polylines.end(), byFirst);
    return true;
}

// ---------------------------------------------------------------- CMapStyles

CMapStyles& MapStyles() {
    static CMapStyles s_styles;
    return s_styles;
}

CMapStyles::CMapStyles() { CreateBuiltIn(); }

void CMapStyles::CreateBuiltIn() {
    const int nFactor = ScreenFactorX();
    const CFontDesc fontArea = Tahoma(14), fontSmall = Tahoma(12), fontMedium = Tahoma(14, true);
    const CLabelStyle areaLabel = Label(fontArea, RGB(64, 64, 64));
    const CLabelStyle waterLabel = Label(fontArea, RGB(0, 64, 160));
    m_polygons.clear();
    for (const CPolygonRow& row : c_aPolygonRows) {
        CPolygonStyle e;
        e.wFirst = row.wFirst;
        e.wLast = row.wLast;
        e.nFill = row.nFill;
        e.crFill = row.cr;
        e.label = row.nLabel ? waterLabel : areaLabel;
        e.brush = BrushForFill(row.nFill, row.cr);
        m_polygons.push_back(e);
    }
    m_polylines.clear();
    for (const CPolylineRow& row : c_aPolylineRows) {
        CPolylineStyle e;
        e.wFirst = row.wFirst;
        e.wLast = row.wLast;
        e.nStyle1 = row.s1;
        e.nWidth1 = row.w1;
        e.nWidth1Big = row.w1b;
        e.cr1 = row.c1;
        e.nStyle2 = row.s2;
        e.nWidth2 = row.w2;
        e.nWidth2Big = row.w2b;
        e.cr2 = row.c2;
        e.fMediumFont = row.fMedium;
        e.crLabel = row.crLabel;
        e.fNearLine = row.fNear;
        e.label = Label(row.fMedium ? fontMedium : fontSmall, row.crLabel, row.fNear);
        MakePens(e, nFactor);
        m_polylines.push_back(e);
    }
    m_defaultPolygon = CPolygonStyle{};
    m_defaultPolygon.nFill = 106;
    m_defaultPolygon.brush = PatternBrush(106, c_crOwn);
    m_defaultPolygon.label = areaLabel;
    m_defaultPolyline = CPolylineStyle{};
    m_defaultPolyline.nStyle1 = PS_DOT;
    m_defaultPolyline.cr1 = RGB(255, 0, 0);
    m_defaultPolyline.label = Label(fontSmall, 0, true);
    MakePens(m_defaultPolyline, nFactor);
    m_pointLabels[0] = Label(Tahoma(18, true), RGB(0, 0, 0));  // big cities
    m_pointLabels[1] = Label(Tahoma(16, true), RGB(0, 0, 0));  // cities
    m_pointLabels[2] = Label(Tahoma(14, true), RGB(32, 32, 32)); // towns
    m_pointLabels[3] = Label(Tahoma(12), RGB(48, 48, 48));     // everything else
    // Under a night skin the same fonts in light colours.
    static constexpr COLORREF c_aNight[4] = {RGB(240, 240, 240), RGB(232, 232, 232), RGB(220, 220, 220),
                                             RGB(200, 200, 200)};
    for (int i = 0; i < 4; ++i) m_pointLabelsNight[i] = Label(m_pointLabels[i].font, c_aNight[i]);
    m_fontShield = Tahoma(14, true);
}

bool CMapStyles::LoadSkinFile(const std::string& strPath, bool fNight, bool fShowErrors) {
    m_pSkin.reset();
    CMappedFile file;
    if (!file.Open(strPath)) {
        // A missing skin is not an error: the built-in styles apply.
        if (fShowErrors && file.LastError() != ENOENT) ShowOpenFileError(FromUtf8(strPath), file.LastError());
        return false;
    }
    auto pSkin = std::make_unique<CSkin>();
    if (!ParseSkin(reinterpret_cast<const char*>(file.Data()), file.Size(), *pSkin, ScreenFactorX())) {
        if (fShowErrors) ShowError(IDS_BAD_FILE_FORMAT, FromUtf8(strPath).c_str());
        return false;
    }
    pSkin->fNight = fNight;
    m_pSkin = std::move(pSkin);
    return true;
}

void CMapStyles::LoadSkin(bool fNight) {
    if (m_pSkin && m_pSkin->fNight == fNight) return;
    const char* szName = fNight ? "night.skin" : "day.skin";
    std::string strPath = FindDataFile(szName);
    if (strPath.empty()) strPath = ProgramDir() + "/" + szName;
    LoadSkinFile(strPath, fNight, true);
}

CBrushDesc CMapStyles::BackgroundBrush() const {
    return SolidBrush(m_pSkin ? m_pSkin->crBackground : RGB(255, 255, 255));
}

const CBrushDesc& CMapStyles::PolygonBrush(WORD wType) const {
    const auto& v = m_pSkin ? m_pSkin->polygons : m_polygons;
    const int i = FindStyleEntry(v, wType);
    if (i >= 0) return v[static_cast<std::size_t>(i)].brush;
    return m_defaultPolygon.brush;
}

const CLabelStyle* CMapStyles::PolygonLabelStyle(WORD wType) const {
    const auto& v = m_pSkin ? m_pSkin->polygons : m_polygons;
    const int i = FindStyleEntry(v, wType);
    return i >= 0 ? &v[static_cast<std::size_t>(i)].label : &m_defaultPolygon.label;
}

const CPolylineStyle* CMapStyles::FindPolyline(WORD wType) const {
    const auto& v = m_pSkin ? m_pSkin->polylines : m_polylines;
    const int i = FindStyleEntry(v, wType);
    return i >= 0 ? &v[static_cast<std::size_t>(i)] : &m_defaultPolyline;
}

const CPenDesc* CMapStyles::PolylinePen1(WORD wType) const {
    const CPolylineStyle* p = FindPolyline(wType);
    return p->fPen1 ? &p->pen1 : nullptr;
}
const CPenDesc* CMapStyles::PolylinePen2(WORD wType) const {
    const CPolylineStyle* p = FindPolyline(wType);
    return p->fPen2 ? &p->pen2 : nullptr;
}
const CLabelStyle* CMapStyles::PolylineLabelStyle(WORD wType) const { return &FindPolyline(wType)->label; }

UINT CMapStyles::PointIcon(WORD wType) const {
    if (wType >= 0x1600 && wType <= 0x1BFF) {
        const unsigned lo = wType & 0xFF;
        return lo < std::size(c_aMarkerIcons) ? c_aMarkerIcons[lo] : piBeacon;
    }
    // Exact type first, then the type's general entry.
    const CPointRow* pGeneral = nullptr;
    for (const CPointRow& r : c_aPointRows) {
        if (r.wType == wType) return r.uIcon;
        if ((r.wType & 0xFF) == 0xFF && (r.wType >> 8) == (wType >> 8)) pGeneral = &r;
    }
    if (pGeneral) return pGeneral->uIcon;
    // Depth and height soundings carry only their numbers.
    if (wType >= 0x6200 && wType <= 0x63FF) return piNone;
    return piDefault;
}

const CLabelStyle* CMapStyles::PointLabelStyle(WORD wType) const {
    const unsigned t = wType >> 8;
    const CLabelStyle* a = m_pSkin && m_pSkin->fNight ? m_pointLabelsNight : m_pointLabels;
    if (t >= 1 && t <= 4) return &a[0];
    if (t >= 5 && t <= 8) return &a[1];
    if (t >= 9 && t <= 0x11) return &a[2];
    return &a[3];
}

int CMapStyles::IsDayAt(double dN, float fSunrise, float fSunset) {
    if (fSunrise <= c_fNoSunEvent || fSunset <= c_fNoSunEvent) return -1;
    const double dDay = std::floor(dN);
    const double R = dDay + fSunrise / 24.0, S = dDay + fSunset / 24.0;
    if (R < S) return R <= dN && dN < S ? 1 : 0;
    return S <= dN && dN < R ? 0 : 1;
}

void CMapStyles::ApplyNightMode(const GpsFix* pLatest) {
    if (m_nNightMode == 0) {
        m_nNightMode = ReadSettingInt(u"NightMode", 3);
        if (m_nNightMode == 0) {
            m_nNightMode = 3;
            WriteSettingInt(u"NightMode", 3);
        }
    }
    if (m_nNightMode == 1) {
        LoadSkin(false);
        return;
    }
    if (m_nNightMode == 2) {
        LoadSkin(true);
        return;
    }
    if (!pLatest || !pLatest->Has(gfPosition)) return;
    const GpsFix& fix = *pLatest;
    const int q = fix.nQuality;
    if (q == 0 || q == 1 || q == 2 || q == 4) return;
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(fix.dTime, &st)) return;
    const float fRise = SunRiseSet(st.wYear, st.wMonth, st.wDay, fix.fLongitude, fix.fLatitude, true);
    const float fSet = SunRiseSet(st.wYear, st.wMonth, st.wDay, fix.fLongitude, fix.fLatitude, false);
    const int nDay = IsDayAt(fix.dTime, fRise, fSet);
    if (nDay < 0) return;
    // Automatic loads at most every 15 seconds.
    if (fix.dTime - m_dLastAutoLoad < 0.00017361 && fix.dTime >= m_dLastAutoLoad) return;
    const bool fNight = nDay == 0;
    if (m_pSkin && m_pSkin->fNight == fNight) return;
    m_dLastAutoLoad = fix.dTime;
    LoadSkin(fNight);
}

std::u16string TypeName(int _Kind, WORD wType) {
    UINT uId = 0;
    std::u16string str;
    auto lookup = [&](UINT id) {
        char16_t sz[256];
        const int n = LoadString(id, sz, 256);
        if (n <= 0) return false;
        const std::u16string s(sz, static_cast<std::size_t>(n));
        if (s.rfind(u"<??", 0) == 0) return false;
        str = s;
        return true;
    };
    if (_Kind == rkPoint) {
        unsigned t = wType >> 8;
        if (wType >= 0x1700 && wType <= 0x1BFF) t = 22;
        uId = IDS_POINT_TYPE_BASE + t * 32 + (wType & 0xFF);
        if ((wType & 0xFF) < 32 && lookup(uId)) return str;
        if (lookup(IDS_POINT_CLASS_BASE + t)) return str;
    } else if (_Kind == rkPolyline) {
        if (lookup(IDS_POLYLINE_TYPE_BASE + wType)) return str;
    } else {
        VELKA_ASSERT(_Kind == rkPolygon);
        if (lookup(IDS_POLYGON_TYPE_BASE + wType)) return str;
    }
    return LoadStr(IDS_UNKNOWN_TYPE);
}

void DrawTypeSample(ICanvas& dc, const RECT& rc, int nKind, WORD wType) {
    const CMapStyles& s = MapStyles();
    CBrushDesc white = SolidBrush(RGB(255, 255, 255));
    if (nKind == rkPoint) {
        dc.FillRect(rc, white);
        DrawPointIcon(dc, s.PointIcon(wType), (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2,
                      ScreenFactorX(), ScreenFactorY());
        return;
    }
    if (nKind == rkPolygon) {
        dc.FillRect(rc, white);
        dc.FillRect(rc, s.PolygonBrush(wType));
        return;
    }
    dc.FillRect(rc, white);
    CBrushDesc hollow = NullBrush();
    dc.SelectBrush(hollow);
    const RECT inner{rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
    for (const CPenDesc* p : {s.PolylinePen1(wType), s.PolylinePen2(wType)})
        if (p) {
            dc.SelectPen(*p);
            dc.Rectangle(inner);
        }
}

} // namespace velka
