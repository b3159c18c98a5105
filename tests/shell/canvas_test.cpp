// The Qt canvas draws as GDI does: styled pens, hatch and pattern brushes,
// rotated text, text measuring, blits that copy or leave a colour out, and
// the clip.
#include <gtest/gtest.h>

#include <cmath>


#include "platform/qt/qt_canvas.h"
#include "platform/recording_canvas.h"
#include "tests/support/qt_app.h"

namespace velka {
namespace {

constexpr COLORREF c_crWhite = RGB(255, 255, 255);

struct CInk {
    int cPixels = 0;
    RECT rcBound{1 << 30, 1 << 30, -1, -1};
};

// Pixels that are not white, and their bounding box.
CInk Ink(const CQtCanvas& c, RECT rc = {0, 0, 0, 0}) {
    if (rc == RECT{}) rc = {0, 0, c.Width(), c.Height()};
    CInk ink;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (c.GetPixel(x, y) != c_crWhite) {
                ++ink.cPixels;
                ink.rcBound.left = std::min<LONG>(ink.rcBound.left, x);
                ink.rcBound.top = std::min<LONG>(ink.rcBound.top, y);
                ink.rcBound.right = std::max<LONG>(ink.rcBound.right, x + 1);
                ink.rcBound.bottom = std::max<LONG>(ink.rcBound.bottom, y + 1);
            }
    return ink;
}

TEST(QtCanvas, PenStylesBrushesAndFillRules) {
    test::QtApp();
    CQtCanvas c(100, 60);
    // A solid one-pixel line covers every pixel; a dashed one leaves GDI's
    // gaps (18 on, 6 off); a dotted one every other group of three.
    c.SelectPen({PS_SOLID, 1, RGB(0, 0, 0)});
    c.MoveTo(0, 5);
    c.LineTo(96, 5);
    EXPECT_EQ(Ink(c, {0, 5, 96, 6}).cPixels, 96);
    c.SelectPen({PS_DASH, 1, RGB(0, 0, 0)});
    c.MoveTo(0, 10);
    c.LineTo(96, 10);
    EXPECT_EQ(Ink(c, {0, 10, 96, 11}).cPixels, 72);
    EXPECT_EQ(c.GetPixel(17, 10), RGB(0, 0, 0));
    EXPECT_EQ(c.GetPixel(20, 10), c_crWhite);
    c.SelectPen({PS_NULL, 1, RGB(0, 0, 0)});
    c.MoveTo(0, 15);
    c.LineTo(96, 15);
    EXPECT_EQ(Ink(c, {0, 15, 96, 16}).cPixels, 0);

    // Pattern brush: set bits take the colour, clear bits the background,
    // anchored at the canvas origin.
    CBrushDesc pattern;
    pattern.nKind = bkPattern;
    pattern.crColor = RGB(255, 0, 0);
    pattern.crBack = RGB(0, 0, 255);
    for (BYTE& b : pattern.abPattern) b = 0xF0;
    c.FillRect({40, 20, 56, 28}, pattern);
    EXPECT_EQ(c.GetPixel(40, 20), RGB(255, 0, 0));
    EXPECT_EQ(c.GetPixel(44, 21), RGB(0, 0, 255));
    EXPECT_EQ(c.GetPixel(48, 27), RGB(255, 0, 0));
    EXPECT_EQ(c.GetPixel(56, 27), c_crWhite); // right edge excluded
    pattern.fTransparentBack = true;
    c.FillRect({60, 20, 68, 28}, pattern);
    EXPECT_EQ(c.GetPixel(64, 21), RGB(255, 0, 0)); // the pattern's origin is the canvas's
    EXPECT_EQ(c.GetPixel(61, 21), c_crWhite);

    // Hatch: horizontal lines every 8 rows; transparent mode keeps the ground.
    CBrushDesc hatch;
    hatch.nKind = bkHatch;
    hatch.nHatch = HS_HORIZONTAL;
    hatch.crColor = RGB(0, 128, 0);
    c.SetBkMode(TRANSPARENT);
    c.FillRect({0, 32, 32, 48}, hatch);
    EXPECT_EQ(Ink(c, {0, 32, 32, 48}).cPixels, 2 * 32);

    // A self-overlapping polygon is filled with the alternate rule: the
    // doubly covered middle stays empty.
    CQtCanvas p(40, 40);
    p.SelectPen({PS_NULL, 1, 0});
    CBrushDesc solid;
    solid.crColor = RGB(0, 0, 0);
    p.SelectBrush(solid);
    const POINT frame[] = {{0, 0}, {30, 0}, {30, 30}, {0, 30}, {0, 0}, {10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}};
    p.Polygon(frame, 10);
    EXPECT_EQ(p.GetPixel(5, 5), RGB(0, 0, 0));
    EXPECT_EQ(p.GetPixel(15, 15), c_crWhite);
}

// Thin solid lines are drawn as separate segments: every joint stays closed
// (a right angle and a hairpin), the last segment is drawn, and the ends
// stop within half the pen past the end points, with and without
// antialiasing; a wide pen still draws whole.
TEST(QtCanvas, PolylinesKeepTheirJointsAndEndsAtEveryWidth) {
    test::QtApp();
    for (const bool fAntialias : {false, true}) {
        for (const int nWidth : {2, 3, 4, 7}) {
            SCOPED_TRACE(testing::Message() << "width " << nWidth << (fAntialias ? " antialiased" : ""));
            CQtCanvas c(120, 120);
            c.SetAntialias(fAntialias);
            c.SelectPen({PS_SOLID, nWidth, RGB(0, 0, 0)});
            const POINT line[] = {{20, 20}, {80, 20}, {80, 80}, {30, 60}, {90, 100}};
            c.Polyline(line, 5);
            const int nHalf = nWidth / 2;
            // Every pixel on the centre line and within the pen's half width
            // across it is inked.
            for (int i = 0; i + 1 < 5; ++i) {
                const double dx = line[i + 1].x - line[i].x, dy = line[i + 1].y - line[i].y;
                const double len = std::hypot(dx, dy);
                for (double t = 0; t <= len; t += 0.5) {
                    const double x = line[i].x + dx * t / len, y = line[i].y + dy * t / len;
                    for (int k = -(nHalf - 1); k <= nHalf - 1; ++k) {
                        const int px = static_cast<int>(std::lround(x - dy / len * k));
                        const int py = static_cast<int>(std::lround(y + dx / len * k));
                        ASSERT_NE(c.GetPixel(px, py), c_crWhite) << "segment " << i << " at " << px << "," << py;
                    }
                }
            }
            // The outer corner of the right angle is closed.
            EXPECT_NE(c.GetPixel(80 + nHalf - 1, 20 - nHalf + 1), c_crWhite);
            // Nothing is drawn more than the half width (and a pixel of
            // smoothing) past the ends.
            EXPECT_EQ(Ink(c, {0, 0, 20 - nHalf - 1, 120}).cPixels, 0);
            EXPECT_EQ(Ink(c, {0, 103 + nHalf, 120, 120}).cPixels, 0);
        }
    }
}

TEST(QtCanvas, RotatedTextTurnsAroundItsOriginAndExtentsMatchTheInk) {
    test::QtApp();
    CFontDesc font;
    font.nHeight = -20;
    CQtCanvas flat(200, 200), up(200, 200);
    for (CQtCanvas* c : {&flat, &up}) {
        c->SetBkMode(TRANSPARENT);
        c->SetTextColor(RGB(0, 0, 0));
    }
    flat.SelectFont(font);
    flat.TextOut(100, 100, u"MMMM");
    font.nEscapement = 900; // 90 degrees counter-clockwise: the text runs upwards
    up.SelectFont(font);
    up.TextOut(100, 100, u"MMMM");

    CInk a = Ink(flat), b = Ink(up);
    ASSERT_GT(a.cPixels, 50);
    EXPECT_GE(a.rcBound.left, 100);
    EXPECT_GE(a.rcBound.top, 100);
    EXPECT_GT(a.rcBound.right - a.rcBound.left, a.rcBound.bottom - a.rcBound.top);
    // The turned text stands above the origin, to its right.
    EXPECT_LE(b.rcBound.bottom, 101);
    EXPECT_GE(b.rcBound.left, 99);
    EXPECT_GT(b.rcBound.bottom - b.rcBound.top, b.rcBound.right - b.rcBound.left);
    EXPECT_NEAR(b.cPixels, a.cPixels, a.cPixels / 5);

    const SIZE ext = flat.GetTextExtent(u"MMMM");
    EXPECT_GE(ext.cx, a.rcBound.right - a.rcBound.left);
    EXPECT_GE(ext.cy, 15);
    EXPECT_LE(ext.cy, 30);
    EXPECT_GT(flat.GetTextExtent(u"MMMMMMMM").cx, ext.cx * 3 / 2);

    // Opaque mode paints the text cell in the background colour.
    CQtCanvas o(100, 40);
    o.SelectFont(CFontDesc{u"Tahoma", -12});
    o.SetBkMode(OPAQUE);
    o.SetBkColor(RGB(0, 0, 255));
    o.TextOut(2, 2, u"ab");
    EXPECT_EQ(o.GetPixel(3, 3), RGB(0, 0, 255));
}

TEST(QtCanvas, DrawTextMeasuresWrapsAndAligns) {
    test::QtApp();
    CQtCanvas c(200, 200);
    c.SelectFont(CFontDesc{u"Tahoma", -12});
    RECT rcOne{0, 0, 0, 0};
    const int hOne = c.DrawText(u"one line", &rcOne, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_GT(rcOne.right, 20);
    EXPECT_EQ(rcOne.bottom, hOne);
    RECT rcWrap{0, 0, 60, 0};
    const int hWrap = c.DrawText(u"several words that cannot fit one line", &rcWrap, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GE(hWrap, 3 * hOne);
    EXPECT_LE(rcWrap.right, 60);

    // Centred single line, clipped to the rectangle.
    c.SetBkMode(TRANSPARENT);
    RECT rc{50, 50, 150, 80};
    c.DrawText(u"Карта", &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    CInk ink = Ink(c);
    ASSERT_GT(ink.cPixels, 10);
    EXPECT_NEAR((ink.rcBound.left + ink.rcBound.right) / 2, 100, 3);
    EXPECT_NEAR((ink.rcBound.top + ink.rcBound.bottom) / 2, 65, 4);
}

TEST(QtCanvas, BlitsCopyStretchLeaveAColourOutAndHonourTheClip) {
    test::QtApp();
    CQtCanvas src(4, 4);
    CBrushDesc red;
    red.crColor = RGB(255, 0, 0);
    CBrushDesc magenta;
    magenta.crColor = RGB(255, 0, 255);
    src.FillRect({0, 0, 4, 4}, magenta);
    src.FillRect({1, 1, 3, 3}, red);

    CQtCanvas dst(40, 40);
    dst.BitBlt(0, 0, 4, 4, src, 0, 0);
    EXPECT_EQ(dst.GetPixel(0, 0), RGB(255, 0, 255));
    EXPECT_EQ(dst.GetPixel(1, 1), RGB(255, 0, 0));

    dst.StretchBlt(10, 10, 8, 8, src, 0, 0, 4, 4);
    EXPECT_EQ(dst.GetPixel(10, 10), RGB(255, 0, 255));
    EXPECT_EQ(dst.GetPixel(12, 12), RGB(255, 0, 0));
    EXPECT_EQ(dst.GetPixel(15, 15), RGB(255, 0, 0));
    EXPECT_EQ(dst.GetPixel(16, 16), RGB(255, 0, 255));

    dst.TransparentBlt(20, 20, 8, 8, src, 0, 0, 4, 4, RGB(255, 0, 255));
    EXPECT_EQ(dst.GetPixel(20, 20), c_crWhite);
    EXPECT_EQ(dst.GetPixel(23, 23), RGB(255, 0, 0));

    dst.SetClipRect({30, 30, 35, 35});
    dst.FillRect({28, 28, 40, 40}, red);
    EXPECT_EQ(dst.GetPixel(29, 29), c_crWhite);
    EXPECT_EQ(dst.GetPixel(34, 34), RGB(255, 0, 0));
    EXPECT_EQ(dst.GetPixel(35, 35), c_crWhite);
    dst.SetClipRect(RECT{});
    dst.SetPixel(39, 39, RGB(0, 0, 255));
    EXPECT_EQ(dst.GetPixel(39, 39), RGB(0, 0, 255));
}

TEST(RecordingCanvas, RecordsCallsWithTheSelectedState) {
    CRecordingCanvas c(10, 10);
    c.SelectPen({PS_DOT, 1, RGB(1, 2, 3)});
    CBrushDesc b;
    b.crColor = RGB(4, 5, 6);
    c.SelectBrush(b);
    const POINT pts[] = {{0, 0}, {5, 0}, {5, 5}};
    c.Polygon(pts, 3);
    c.SelectFont(CFontDesc{u"Tahoma", -10});
    RECT rc{0, 0, 0, 0};
    c.DrawText(u"abcd", &rc, DT_CALCRECT);
    EXPECT_EQ(rc.right, 20);
    auto polys = c.CallsOf("Polygon");
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].pen.nStyle, PS_DOT);
    EXPECT_EQ(polys[0].brush.crColor, RGB(4, 5, 6));
    EXPECT_EQ(polys[0].vecPoints.size(), 3u);
    EXPECT_TRUE(c.CallsOf("DrawText").empty()); // measuring draws nothing
}

} // namespace
} // namespace velka

// fontconfig keeps a few bytes of its configuration for the life of the
// process; the leak checker of the sanitizer build is told so.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
