#include "platform/qt/qt_canvas.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace velka {
namespace {

QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// GDI's hatch patterns as 8 x 8 bit masks (bit 7 of a row is its left pixel).
void HatchPattern(int nHatch, BYTE* ab) {
    for (int y = 0; y < 8; ++y) {
        BYTE h = y == 7 ? 0xFF : 0;
        BYTE v = 0x08;
        BYTE f = static_cast<BYTE>(0x80 >> y);
        BYTE b = static_cast<BYTE>(0x01 << y);
        switch (nHatch) {
        case HS_HORIZONTAL: ab[y] = h; break;
        case HS_VERTICAL: ab[y] = v; break;
        case HS_FDIAGONAL: ab[y] = f; break;
        case HS_BDIAGONAL: ab[y] = b; break;
        case HS_CROSS: ab[y] = static_cast<BYTE>(h | v); break;
        case HS_DIAGCROSS: ab[y] = static_cast<BYTE>(f | b); break;
        default: ab[y] = h; break;
        }
    }
}

QRect ToQRect(const RECT& rc) { return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top); }

} // namespace

QColor ToQColor(COLORREF cr) { return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr)); }
COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

QFont MakeQFont(const CFontDesc& desc) {
    QFont font(ToQString(desc.strFace));
    font.setStyleHint(QFont::SansSerif);
    int h = desc.nHeight;
    if (h == 0) h = -12;
    if (h < 0) {
        font.setPixelSize(std::max(1, -h));
    } else {
        // A positive height is the cell height (ascent + descent): scale the
        // character size down to fit.
        font.setPixelSize(h);
        QFontMetrics fm(font);
        if (fm.height() > 0) font.setPixelSize(std::max(1, h * h / fm.height()));
    }
    font.setWeight(static_cast<QFont::Weight>(std::clamp(desc.nWeight ? desc.nWeight : 400, 100, 900)));
    font.setItalic(desc.fItalic);
    font.setUnderline(desc.fUnderline);
    return font;
}

CQtCanvas::CQtCanvas(int cx, int cy)
    : m_image(std::max(cx, 1), std::max(cy, 1), QImage::Format_ARGB32_Premultiplied) {
    m_image.fill(Qt::white);
    m_font = MakeQFont(m_fontDesc);
    m_metrics = QFontMetrics(m_font);
}

CQtCanvas::CQtCanvas(QImage image) : m_image(std::move(image)) {
    if (m_image.format() != QImage::Format_ARGB32_Premultiplied)
        m_image = m_image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_font = MakeQFont(m_fontDesc);
    m_metrics = QFontMetrics(m_font);
}

CQtCanvas::~CQtCanvas() {
    if (m_pPainter) m_pPainter->end();
}

bool CQtCanvas::Begin() {
    if (!m_pPainter) {
        if (m_image.isNull()) return false;
        m_pPainter = std::make_unique<QPainter>(&m_image);
        m_pPainter->setRenderHint(QPainter::Antialiasing, m_fAntialias);
        m_pPainter->setRenderHint(QPainter::TextAntialiasing, true);
        if (m_nOriginY) m_pPainter->translate(0, -m_nOriginY);
    }
    return m_pPainter->isActive();
}

std::unique_ptr<ICanvas> CQtCanvas::CreateBand(int yTop, int yBottom) {
    yTop = std::clamp(yTop, 0, m_image.height());
    yBottom = std::clamp(yBottom, yTop, m_image.height());
    if (yBottom <= yTop || m_nOriginY) return nullptr;
    // A second image over the same pixel memory, with a painter of its own.
    uchar* p = m_image.bits() + static_cast<qsizetype>(yTop) * m_image.bytesPerLine();
    QImage band(p, m_image.width(), yBottom - yTop, m_image.bytesPerLine(), m_image.format());
    auto pBand = std::make_unique<CQtCanvas>(std::move(band));
    pBand->m_nOriginY = yTop;
    return pBand;
}

COLORREF CQtCanvas::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) return 0;
    return FromQColor(QColor::fromRgba(qUnpremultiply(m_image.pixel(x, y))));
}

void CQtCanvas::SelectPen(const CPenDesc& pen) { m_pen = pen; }
void CQtCanvas::SelectBrush(const CBrushDesc& brush) { m_brush = brush; }
void CQtCanvas::SelectFont(const CFontDesc& font) {
    if (font == m_fontDesc) return;
    m_fontDesc = font;
    CFontDesc key = font;
    key.nEscapement = 0;
    for (const CFontCacheEntry& e : m_fontCache)
        if (e.desc == key) {
            m_font = e.font;
            m_metrics = e.metrics;
            return;
        }
    m_font = MakeQFont(font);
    m_metrics = QFontMetrics(m_font);
    if (m_fontCache.size() >= 32) m_fontCache.erase(m_fontCache.begin());
    m_fontCache.push_back({key, m_font, m_metrics});
}

void CQtCanvas::SetClipRect(const RECT& rc) {
    if (!Begin()) return;
    if (rc == RECT{})
        m_pPainter->setClipping(false);
    else
        m_pPainter->setClipRect(ToQRect(rc));
}

void CQtCanvas::ApplyPen() {
    if (m_pen.nStyle == PS_NULL) {
        m_pPainter->setPen(Qt::NoPen);
        return;
    }
    if (m_fLastPen && m_pen == m_lastPenDesc) {
        m_pPainter->setPen(m_lastPen);
        return;
    }
    QPen pen(ToQColor(m_pen.crColor));
    const int w = std::max(m_pen.nWidth, 1);
    pen.setWidth(w);
    pen.setCapStyle(DrawsAsSegments() ? Qt::SquareCap : w > 1 ? Qt::RoundCap : Qt::FlatCap);
    // Round joins cost a curve at every vertex; up to three pixels wide a
    // bevel looks the same.
    pen.setJoinStyle(w > 3 ? Qt::RoundJoin : Qt::BevelJoin);
    // Styled pens are one pixel wide in GDI; wider ones draw solid.
    if (w == 1) {
        switch (m_pen.nStyle) {
        case PS_DASH: pen.setDashPattern({18, 6}); break;
        case PS_DOT: pen.setDashPattern({3, 3}); break;
        case PS_DASHDOT: pen.setDashPattern({9, 6, 3, 6}); break;
        case PS_DASHDOTDOT: pen.setDashPattern({9, 3, 3, 3, 3, 3}); break;
        default: break;
        }
    }
    m_pPainter->setPen(pen);
    m_lastPen = pen;
    m_lastPenDesc = m_pen;
    m_fLastPen = true;
}

QBrush CQtCanvas::MakeBrush(const CBrushDesc& brush) const {
    switch (brush.nKind) {
    case bkNull: return Qt::NoBrush;
    case bkHatch:
    case bkPattern: {
        BYTE ab[8];
        bool fTransparent = brush.fTransparentBack;
        COLORREF crBack = brush.crBack;
        if (brush.nKind == bkHatch) {
            HatchPattern(brush.nHatch, ab);
            // Between the hatch lines GDI paints the background colour in
            // opaque mode and leaves the ground in transparent mode.
            fTransparent = m_nBkMode == TRANSPARENT;
            crBack = m_crBack;
        } else {
            std::copy(std::begin(brush.abPattern), std::end(brush.abPattern), ab);
        }
        QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
        const QRgb fg = ToQColor(brush.crColor).rgba();
        const QRgb bg = fTransparent ? qRgba(0, 0, 0, 0) : ToQColor(crBack).rgba();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) tile.setPixel(x, y, (ab[y] & (0x80 >> x)) ? fg : bg);
        return QBrush(tile);
    }
    default: return QBrush(ToQColor(brush.crColor));
    }
}

void CQtCanvas::ApplyBrush(const CBrushDesc& brush) {
    // Hatch brushes depend on the background mode and colour as well.
    if (!m_fLastBrush || !(brush == m_lastBrushDesc) || m_nLastBrushBkMode != m_nBkMode ||
        m_crLastBrushBack != m_crBack) {
        m_lastBrush = MakeBrush(brush);
        m_lastBrushDesc = brush;
        m_nLastBrushBkMode = m_nBkMode;
        m_crLastBrushBack = m_crBack;
        m_fLastBrush = true;
    }
    m_pPainter->setBrush(m_lastBrush);
    m_pPainter->setBrushOrigin(m_ptBrushOrigin.x, m_ptBrushOrigin.y);
}

void CQtCanvas::SetAntialias(bool fOn) {
    m_fAntialias = fOn;
    if (m_pPainter) m_pPainter->setRenderHint(QPainter::Antialiasing, fOn);
}

void CQtCanvas::MoveTo(int x, int y) { m_ptCurrent = {x, y}; }

void CQtCanvas::LineTo(int x, int y) {
    if (Begin()) {
        ApplyPen();
        m_pPainter->drawLine(m_ptCurrent.x, m_ptCurrent.y, x, y);
    }
    m_ptCurrent = {x, y};
}

bool CQtCanvas::DrawsAsSegments() const {
    return m_pen.nStyle == PS_SOLID && m_pen.nWidth >= 2 && m_pen.nWidth <= c_nMaxSegmentPen;
}

void CQtCanvas::Polyline(const POINT* pPoints, int cPoints) {
    if (!pPoints || cPoints < 2 || !Begin()) return;
    ApplyPen();
    if (DrawsAsSegments()) {
        // Thin solid lines as square-capped segments: Qt rasterises those
        // directly, where a polyline goes through its general stroker (the
        // larger part of a frame's time). The caps close the joints.
        m_lines.resize(static_cast<std::size_t>(cPoints - 1));
        for (int i = 1; i < cPoints; ++i)
            m_lines[static_cast<std::size_t>(i - 1)] =
                QLine(pPoints[i - 1].x, pPoints[i - 1].y, pPoints[i].x, pPoints[i].y);
        m_pPainter->drawLines(m_lines.data(), cPoints - 1);
        return;
    }
    m_points.resize(static_cast<std::size_t>(cPoints));
    for (int i = 0; i < cPoints; ++i) m_points[static_cast<std::size_t>(i)] = QPoint(pPoints[i].x, pPoints[i].y);
    m_pPainter->drawPolyline(m_points.data(), cPoints);
}

void CQtCanvas::Polygon(const POINT* pPoints, int cPoints) {
    if (!pPoints || cPoints < 2 || !Begin()) return;
    m_points.resize(static_cast<std::size_t>(cPoints));
    for (int i = 0; i < cPoints; ++i) m_points[static_cast<std::size_t>(i)] = QPoint(pPoints[i].x, pPoints[i].y);
    ApplyPen();
    ApplyBrush(m_brush);
    m_pPainter->drawPolygon(m_points.data(), cPoints, Qt::OddEvenFill);
}

void CQtCanvas::Rectangle(const RECT& rc) {
    if (!Begin() || rc.right <= rc.left || rc.bottom <= rc.top) return;
    ApplyPen();
    ApplyBrush(m_brush);
    // GDI's outline stays inside the rectangle (right and bottom excluded).
    m_pPainter->drawRect(QRect(rc.left, rc.top, rc.right - rc.left - 1, rc.bottom - rc.top - 1));
}

void CQtCanvas::Ellipse(const RECT& rc) {
    if (!Begin() || rc.right <= rc.left || rc.bottom <= rc.top) return;
    ApplyPen();
    ApplyBrush(m_brush);
    m_pPainter->drawEllipse(QRect(rc.left, rc.top, rc.right - rc.left - 1, rc.bottom - rc.top - 1));
}

void CQtCanvas::FillRect(const RECT& rc, const CBrushDesc& brush) {
    if (!Begin() || rc.right <= rc.left || rc.bottom <= rc.top || brush.nKind == bkNull) return;
    m_pPainter->setBrushOrigin(m_ptBrushOrigin.x, m_ptBrushOrigin.y);
    m_pPainter->fillRect(ToQRect(rc), MakeBrush(brush));
}

void CQtCanvas::SetPixel(int x, int y, COLORREF cr) {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height()) return;
    if (!Begin()) return;
    // Through the painter, so the clip applies as it does in GDI.
    m_pPainter->fillRect(QRect(x, y, 1, 1), ToQColor(cr));
}

void CQtCanvas::TextOut(int x, int y, std::u16string_view text) {
    if (text.empty() || !Begin()) return;
    const QFontMetrics& fm = m_metrics;
    m_pPainter->save();
    m_pPainter->setFont(m_font);
    m_pPainter->translate(x, y);
    if (m_fontDesc.nEscapement) m_pPainter->rotate(-m_fontDesc.nEscapement / 10.0);
    if (m_nBkMode == OPAQUE)
        m_pPainter->fillRect(QRect(0, 0, fm.horizontalAdvance(ToQString(text)), fm.height()), ToQColor(m_crBack));
    m_pPainter->setPen(ToQColor(m_crText));
    std::u16string key = m_fontDesc.strFace;
    key += static_cast<char16_t>(m_fontDesc.nHeight & 0xFFFF);
    key += static_cast<char16_t>(m_fontDesc.nWeight & 0xFFFF);
    key += static_cast<char16_t>((m_fontDesc.fItalic ? 1 : 0) | (m_fontDesc.fUnderline ? 2 : 0));
    key += text;
    auto it = m_staticTexts.find(key);
    if (it == m_staticTexts.end()) {
        if (m_staticTexts.size() >= 4096) m_staticTexts.clear();
        QStaticText st(ToQString(text));
        st.setTextFormat(Qt::PlainText);
        st.prepare(QTransform(), m_font);
        it = m_staticTexts.emplace(std::move(key), std::move(st)).first;
    }
    // The layout's top is the text's top, as with the ascent below it.
    m_pPainter->drawStaticText(QPointF(0, 0), it->second);
    m_pPainter->restore();
}

SIZE CQtCanvas::GetTextExtent(std::u16string_view text) {
    const QFontMetrics& fm = m_metrics;
    return {fm.horizontalAdvance(ToQString(text)), fm.height()};
}

int CQtCanvas::DrawText(std::u16string_view text, RECT* pRect, UINT uFormat) {
    if (!pRect) return 0;
    QString s = ToQString(text);
    const QFontMetrics& fm = m_metrics;
    const bool fSingle = (uFormat & DT_SINGLELINE) != 0;
    int nFlags = 0;
    if (uFormat & DT_CENTER)
        nFlags |= Qt::AlignHCenter;
    else if (uFormat & DT_RIGHT)
        nFlags |= Qt::AlignRight;
    else
        nFlags |= Qt::AlignLeft;
    // Vertical centring and bottom alignment apply to single lines only.
    if (fSingle && (uFormat & DT_VCENTER))
        nFlags |= Qt::AlignVCenter;
    else if (fSingle && (uFormat & DT_BOTTOM))
        nFlags |= Qt::AlignBottom;
    else
        nFlags |= Qt::AlignTop;
    if (fSingle)
        nFlags |= Qt::TextSingleLine;
    else if (uFormat & DT_WORDBREAK)
        nFlags |= Qt::TextWordWrap;
    // Without DT_NOCLIP GDI clips to the rectangle; Qt clips unless told not to.
    if (uFormat & DT_NOCLIP) nFlags |= Qt::TextDontClip;
    QRect rc = ToQRect(*pRect);
    if ((uFormat & DT_END_ELLIPSIS) && fSingle) s = fm.elidedText(s, Qt::ElideRight, rc.width());

    if (uFormat & DT_CALCRECT) {
        QRect bound = (uFormat & DT_WORDBREAK) && !fSingle
                          ? fm.boundingRect(QRect(rc.left(), rc.top(), std::max(rc.width(), 1), 1 << 20),
                                            nFlags & ~(Qt::AlignVCenter | Qt::AlignBottom), s)
                          : fm.boundingRect(QRect(rc.left(), rc.top(), 1 << 20, 1 << 20),
                                            (nFlags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter |
                                                        Qt::AlignBottom)),
                                            s);
        pRect->right = pRect->left + bound.width();
        pRect->bottom = pRect->top + bound.height();
        return bound.height();
    }
    if (!Begin()) return 0;
    m_pPainter->save();
    m_pPainter->setFont(m_font);
    if (!(uFormat & DT_NOCLIP)) m_pPainter->setClipRect(rc, Qt::IntersectClip);
    QRect bound = fm.boundingRect(rc, nFlags, s);
    if (m_nBkMode == OPAQUE) m_pPainter->fillRect(bound, ToQColor(m_crBack));
    m_pPainter->setPen(ToQColor(m_crText));
    m_pPainter->drawText(rc, nFlags, s);
    m_pPainter->restore();
    return bound.height();
}

void CQtCanvas::BitBlt(int xDst, int yDst, int cx, int cy, const ICanvas& src, int xSrc, int ySrc) {
    const auto* pSrc = dynamic_cast<const CQtCanvas*>(&src);
    if (!pSrc || cx <= 0 || cy <= 0 || !Begin()) return;
    m_pPainter->save();
    m_pPainter->setCompositionMode(QPainter::CompositionMode_Source);
    m_pPainter->drawImage(QPoint(xDst, yDst), pSrc->m_image, QRect(xSrc, ySrc, cx, cy));
    m_pPainter->restore();
}

void CQtCanvas::StretchBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc, int ySrc,
                           int cxSrc, int cySrc) {
    const auto* pSrc = dynamic_cast<const CQtCanvas*>(&src);
    if (!pSrc || !cxDst || !cyDst || cxSrc <= 0 || cySrc <= 0 || !Begin()) return;
    QImage part = pSrc->m_image.copy(xSrc, ySrc, cxSrc, cySrc);
    // A negative destination extent mirrors, as in GDI.
    if (cxDst < 0 || cyDst < 0) {
        part = part.mirrored(cxDst < 0, cyDst < 0);
        if (cxDst < 0) {
            xDst += cxDst;
            cxDst = -cxDst;
        }
        if (cyDst < 0) {
            yDst += cyDst;
            cyDst = -cyDst;
        }
    }
    m_pPainter->save();
    m_pPainter->setCompositionMode(QPainter::CompositionMode_Source);
    m_pPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_pPainter->drawImage(QRect(xDst, yDst, cxDst, cyDst), part);
    m_pPainter->restore();
}

void CQtCanvas::TransparentBlt(int xDst, int yDst, int cxDst, int cyDst, const ICanvas& src, int xSrc,
                               int ySrc, int cxSrc, int cySrc, COLORREF crTransparent) {
    const auto* pSrc = dynamic_cast<const CQtCanvas*>(&src);
    if (!pSrc || cxDst <= 0 || cyDst <= 0 || cxSrc <= 0 || cySrc <= 0 || !Begin()) return;
    QImage part = pSrc->m_image.copy(xSrc, ySrc, cxSrc, cySrc);
    const QRgb key = ToQColor(crTransparent).rgb() & 0xFFFFFF;
    for (int y = 0; y < part.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = 0; x < part.width(); ++x)
            if ((qUnpremultiply(row[x]) & 0xFFFFFF) == key) row[x] = 0;
    }
    m_pPainter->save();
    m_pPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_pPainter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_pPainter->drawImage(QRect(xDst, yDst, cxDst, cyDst), part);
    m_pPainter->restore();
}

} // namespace velka
