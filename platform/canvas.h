// A drawing surface shaped like a GDI device context: selected pen, brush
// and font, text colour and background mode, lines, polygons, text with
// rotated fonts (escapement) and extents, and bit blits between surfaces.
// The Qt implementation draws with QPainter on a QImage; a recording
// implementation lets tests see what was drawn without a display.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace velka {

struct POINT {
    LONG x = 0;
    LONG y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0; // exclusive, as in GDI
    LONG bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

using COLORREF = DWORD; // 0x00BBGGRR
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

enum PenStyle { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5 };

struct CPenDesc {
    int nStyle = PS_SOLID;
    int nWidth = 1;
    COLORREF crColor = 0;
    friend bool operator==(const CPenDesc&, const CPenDesc&) = default;
};

enum BrushKind { bkSolid = 0, bkNull = 1, bkHatch = 2, bkPattern = 3 };
enum HatchStyle { HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
                  HS_CROSS = 4, HS_DIAGCROSS = 5 };

struct CBrushDesc {
    int nKind = bkSolid;
    COLORREF crColor = 0;
    int nHatch = HS_HORIZONTAL;
    // 8 x 8 monochrome pattern (bit 7 of byte 0 is the top-left pixel):
    // set bits take crColor, clear bits crBack (or stay clear when
    // fTransparentBack).
    BYTE abPattern[8] = {};
    COLORREF crBack = 0xFFFFFF;
    bool fTransparentBack = false;
    friend bool operator==(const CBrushDesc&, const CBrushDesc&) = default;
};

struct CFontDesc {
    std::u16string strFace = u"Tahoma";
    int nHeight = 12;     // pixels; negative means character height as in GDI
    int nWeight = 400;    // 400 normal, 700 bold
    bool fItalic = false;
    bool fUnderline = false;
    int nEscapement = 0;  // tenths of a degree, counter-clockwise
    friend bool operator==(const CFontDesc&, const CFontDesc&) = default;
};

enum BkMode { TRANSPARENT = 1, OPAQUE = 2 };

// DrawText format flags (GDI values).
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

class ICanvas {
public:
    virtual ~ICanvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    virtual void SelectPen(const CPenDesc& pen) = 0;
    virtual void SelectBrush(const CBrushDesc& brush) = 0;
    virtual void SelectFont(const CFontDesc& font) = 0;
    virtual void SetTextColor(COLORREF cr) = 0;
    virtual void SetBkColor(COLORREF cr) = 0;
    virtual void SetBkMode(int nMode) = 0;
    // Restricts drawing to a rectangle; an empty RECT{} removes the clip.
    virtual void SetClipRect(const RECT& rc) = 0;
    // Antialiased lines, fills and ellipses (off by default, as in GDI).
    virtual void SetAntialias(bool /*fOn*/) {}
    // Where pattern and hatch brushes are anchored (the canvas origin by default).
    virtual void SetBrushOrigin(int /*x*/, int /*y*/) {}

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Polyline(const POINT* pPoints, int cPoints) = 0;
    // Outline with the pen, filled with the brush (alternate fill rule).
    virtual void Polygon(const POINT* pPoints, int cPoints) = 0;
    virtual void Rectangle(const RECT& rc) = 0;
    virtual void Ellipse(const RECT& rc) = 0;
    virtual void FillRect(const RECT& rc, const CBrushDesc& brush) = 0;
    virtual void SetPixel(int x, int y, COLORREF cr) = 0;

    virtual void TextOut(int x, int y, std::u16string_view text) = 0;
    // Returns the text height; with DT_CALCRECT only measures into *pRect.
    virtual int DrawText(std::u16string_view text, RECT* pRect, UINT uFormat) = 0;
    virtual SIZE GetTextExtent(std::u16string_view text) = 0;

    // Copies from another canvas of the same implementation.
    virtual void BitBlt(int xDst, int yDst, int cx, int cy, const ICanvas& src, int xSrc, int ySrc) = 0;
    virtual void StretchBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc,
                            int ySrc, int cxSrc, int cySrc) = 0;
    // As StretchBlt, leaving pixels of crTransparent out.
    virtual void TransparentBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src,
                                int xSrc, int ySrc, int cxSrc, int cySrc, COLORREF crTransparent) = 0;

    // A canvas over rows yTop..yBottom (excluded) of this one's pixels, in
    // this one's coordinates, that another thread may draw with while this
    // one draws other rows (lines, polygons and fills; its Height is the
    // band's); it must not outlive this one. Null where not supported.
    virtual std::unique_ptr<ICanvas> CreateBand(int /*yTop*/, int /*yBottom*/) { return nullptr; }
};

} // namespace velka
