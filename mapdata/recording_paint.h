// A paint context and a label store that draw nothing and record what a
// map parser asked for, for tests and for velkatool's inspection commands.
// The view maps a map rectangle linearly onto a screen of the given size
// (north up, no latitude correction).
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mapdata/label_store.h"
#include "mapdata/paint_context.h"
#include "platform/null_canvas.h"

namespace velka {

class CRecordingPaintContext : public CPaintContext {
public:
    struct Shape {
        WORD wType = 0;
        std::vector<POINT> points;
    };

    // The view shows rcView (map units) on a cx x cy screen.
    CRecordingPaintContext(const CMapRect& rcView, int cx, int cy, unsigned uScaleIndex,
                           int nScaleCode)
        : m_canvas(cx, cy), m_rcView(rcView), m_uScaleIndex(uScaleIndex),
          m_nScaleCode(nScaleCode) {}

    ICanvas& Canvas() override { return m_canvas; }
    unsigned ScaleIndex() const override { return m_uScaleIndex; }
    int ScaleCode() const override { return m_nScaleCode; }
    const CMapRect& VisibleRect() const override { return m_rcView; }
    POINT MapToScreen(const CMapPoint& pt) const override {
        return {static_cast<LONG>(Scale(pt.lX - static_cast<std::int64_t>(m_rcView.left),
                                        m_canvas.Width(), SpanX())),
                static_cast<LONG>(m_canvas.Height() - 1 -
                                  Scale(pt.lY - static_cast<std::int64_t>(m_rcView.top),
                                        m_canvas.Height(), SpanY()))};
    }
    SIZE ScreenExtent(const CMapRect& rc) const override {
        return {static_cast<LONG>(Scale(static_cast<std::int64_t>(rc.right) - rc.left,
                                        m_canvas.Width(), SpanX())),
                static_cast<LONG>(Scale(static_cast<std::int64_t>(rc.bottom) - rc.top,
                                        m_canvas.Height(), SpanY()))};
    }
    int ScreenFactor() const override { return 1; }

    bool PumpMessages() override {
        ++m_cPumps;
        if (m_onPump) m_onPump(*this);
        return IsInterrupted();
    }

    void DrawPolygon(WORD wType, const POINT* pPoints, int cPoints) override {
        m_polygons.push_back({wType, {pPoints, pPoints + cPoints}});
    }
    bool DrawPolyline(WORD wType, const POINT* pPoints, int cPoints) override {
        if (m_noPenTypes.count(wType)) return false;
        m_polylines.push_back({wType, {pPoints, pPoints + cPoints}});
        return true;
    }
    void DrawDirectionArrows(const POINT*, int) override { ++m_cArrows; }
    UINT PointIcon(WORD wType) override { return m_fIcons ? 1000u + (wType >> 8) : 0u; }
    const CLabelStyle* PointLabelStyle(WORD) override { return &m_style; }
    const CLabelStyle* LineLabelStyle(WORD) override { return &m_style; }
    const CLabelStyle* AreaLabelStyle(WORD) override { return &m_style; }
    void DrawMessage(const std::u16string& strText) override { m_messages.push_back(strText); }

    std::vector<Shape> m_polygons;
    std::vector<Shape> m_polylines;
    std::vector<std::u16string> m_messages;
    int m_cArrows = 0;
    int m_cPumps = 0;
    bool m_fIcons = true;
    std::set<WORD> m_noPenTypes;
    std::function<void(CRecordingPaintContext&)> m_onPump;
    CLabelStyle m_style;

private:
    std::int64_t SpanX() const { return std::max<std::int64_t>(1, std::int64_t{m_rcView.right} - m_rcView.left); }
    std::int64_t SpanY() const { return std::max<std::int64_t>(1, std::int64_t{m_rcView.bottom} - m_rcView.top); }
    static std::int64_t Scale(std::int64_t v, int cPixels, std::int64_t span) {
        return v * cPixels / span;
    }

    CNullCanvas m_canvas;
    CMapRect m_rcView;
    unsigned m_uScaleIndex;
    int m_nScaleCode;
};

class CRecordingLabelStore : public CLabelStore {
public:
    struct Label {
        int nKind = 0; // rkPoint, rkPolyline, rkPolygon
        WORD wType = 0;
        std::u16string strText;
        CLabelSource source;
        std::vector<POINT> points;
        CMapRect rcBounds;
        WORD wPriority = 0xFFFF;
        UINT uIcon = 0;
        bool fShield = false;
    };

    void AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text, POINT pt,
                       WORD wPriority, const CLabelStyle*, UINT uIcon) override {
        m_labels.push_back({rkPoint, wType, std::u16string(text), source, {pt}, {}, wPriority,
                            uIcon, false});
    }
    void AddPolygonLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                         const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                         const CLabelStyle*) override {
        m_labels.push_back({rkPolygon, wType, std::u16string(text), source,
                            {pPoints, pPoints + cPoints}, rcBounds, 0xFFFF, 0, false});
    }
    void AddPolylineLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                          const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                          const CLabelStyle*, bool fShield) override {
        m_labels.push_back({rkPolyline, wType, std::u16string(text), source,
                            {pPoints, pPoints + cPoints}, rcBounds, 0xFFFF, 0, fShield});
    }

    std::vector<Label> m_labels;
};

} // namespace velka
