// ICanvas over QPainter on a QImage (ARGB32 premultiplied), drawing the way
// GDI draws: no antialiasing of lines and fills, GDI's dash patterns for
// one-pixel styled pens, hatch and 8 x 8 pattern brushes anchored at the
// canvas origin, rotated text (escapement) turning around the text's top
// left corner, opaque or transparent text background, and bit blits that
// copy pixels (SRCCOPY) or leave one colour out.
#pragma once
#include <QFont>
#include <QFontMetrics>
#include <vector>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <unordered_map>
#include <memory>

#include "platform/canvas.h"

namespace velka {

class CQtCanvas : public ICanvas {
public:
    CQtCanvas(int cx, int cy);
    explicit CQtCanvas(QImage image);
    ~CQtCanvas() override;
    CQtCanvas(const CQtCanvas&) = delete;
    CQtCanvas& operator=(const CQtCanvas&) = delete;

    const QImage& Image() const { return m_image; }
    // The colour of one pixel (0x00BBGGRR), or 0 outside.
    COLORREF GetPixel(int x, int y) const;

    int Width() const override { return m_image.width(); }
    std::unique_ptr<ICanvas> CreateBand(int yTop, int yBottom) override;
    int Height() const override { return m_image.height(); }
    void SelectPen(const CPenDesc& pen) override;
    void SelectBrush(const CBrushDesc& brush) override;
    void SelectFont(const CFontDesc& font) override;
    void SetTextColor(COLORREF cr) override { m_crText = cr; }
    void SetBkColor(COLORREF cr) override { m_crBack = cr; }
    void SetBkMode(int nMode) override { m_nBkMode = nMode; }
    void SetClipRect(const RECT& rc) override;
    void SetAntialias(bool fOn) override;
    void SetBrushOrigin(int x, int y) override { m_ptBrushOrigin = {x, y}; }
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const POINT* pPoints, int cPoints) override;
    void Polygon(const POINT* pPoints, int cPoints) override;
    void Rectangle(const RECT& rc) override;
    void Ellipse(const RECT& rc) override;
    void FillRect(const RECT& rc, const CBrushDesc& brush) override;
    void SetPixel(int x, int y, COLORREF cr) override;
    void TextOut(int x, int y, std::u16string_view text) override;
    int DrawText(std::u16string_view text, RECT* pRect, UINT uFormat) override;
    SIZE GetTextExtent(std::u16string_view text) override;
    void BitBlt(int xDst, int yDst, int cx, int cy, const ICanvas& src, int xSrc, int ySrc) override;
    void StretchBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc, int ySrc,
                    int cxSrc, int cySrc) override;
    void TransparentBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc,
                        int ySrc, int cxSrc, int cySrc, COLORREF crTransparent) override;

private:
    bool Begin();
    void ApplyPen();
    // Solid pens up to this width draw polylines as separate segments.
    static constexpr int c_nMaxSegmentPen = 4;
    bool DrawsAsSegments() const;
    void ApplyBrush(const CBrushDesc& brush);
    QBrush MakeBrush(const CBrushDesc& brush) const;

    QImage m_image;
    std::unique_ptr<QPainter> m_pPainter;
    CPenDesc m_pen;
    CBrushDesc m_brush;
    CFontDesc m_fontDesc;
    QFont m_font;
    QFontMetrics m_metrics{QFont()};
    // Fonts made before (the rotation does not make a new font), and the
    // last brush: labels and fills switch between a few of each.
    struct CFontCacheEntry {
        CFontDesc desc;
        QFont font;
        QFontMetrics metrics;
    };
    std::vector<CFontCacheEntry> m_fontCache;
    CBrushDesc m_lastBrushDesc;
    QBrush m_lastBrush;
    int m_nLastBrushBkMode = 0;
    COLORREF m_crLastBrushBack = 0;
    bool m_fLastBrush = false;
    // The last pen made, and the point buffer of the polyline and polygon
    // calls (map frames draw thousands of them).
    CPenDesc m_lastPenDesc;
    QPen m_lastPen;
    bool m_fLastPen = false;
    std::vector<QPoint> m_points;
    std::vector<QLine> m_lines;
    // Laid-out texts by font and text: a map frame draws the same names
    // frame after frame, and laying them out costs more than drawing.
    std::unordered_map<std::u16string, QStaticText> m_staticTexts;
    COLORREF m_crText = 0;
    COLORREF m_crBack = 0xFFFFFF;
    int m_nBkMode = OPAQUE;
    POINT m_ptCurrent{};
    POINT m_ptBrushOrigin{};
    bool m_fAntialias = false;
    // A band's first row in its parent's coordinates (0 for a whole bitmap).
    int m_nOriginY = 0;
};

// COLORREF to QColor and back.
QColor ToQColor(COLORREF cr);
COLORREF FromQColor(const QColor& c);
// The QFont for a font description (the pixel size resolved as GDI does:
// negative heights are the character height, positive the cell height).
QFont MakeQFont(const CFontDesc& font);

} // namespace velka
