// A paint context whose "screen" is the map itself (map units), recording
// every object a map draws with its label and one-way flag: what
// `velkatool dump` prints and what the reader tests compare. Every object
// counts as large enough to draw and to label.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/map_types.h"
#include "mapdata/label_store.h"
#include "mapdata/paint_context.h"
#include "platform/null_canvas.h"

namespace velka {

class CDumpContext : public CPaintContext, public CLabelStore {
public:
    struct Object {
        int nKind;
        WORD wType;
        std::vector<CMapPoint> points;
        std::u16string strLabel;
        bool fOneWay = false;
    };

    static constexpr CMapRect c_rcWorld{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

    CDumpContext(const CMapRect& rcView, int nScaleCode)
        : m_canvas(1, 1), m_rcView(rcView), m_nScaleCode(nScaleCode) {}

    ICanvas& Canvas() override { return m_canvas; }
    unsigned ScaleIndex() const override { return 0; }
    int ScaleCode() const override { return m_nScaleCode; }
    const CMapRect& VisibleRect() const override { return m_rcView; }
    POINT MapToScreen(const CMapPoint& pt) const override { return {pt.lX, pt.lY}; }
    SIZE ScreenExtent(const CMapRect&) const override { return {1 << 20, 1 << 20}; }
    int ScreenFactor() const override { return 1; }
    bool PumpMessages() override { return false; }
    void DrawPolygon(WORD wType, const POINT* p, int n) override { Add(rkPolygon, wType, p, n); }
    bool DrawPolyline(WORD wType, const POINT* p, int n) override {
        Add(rkPolyline, wType, p, n);
        return true;
    }
    void DrawDirectionArrows(const POINT*, int) override { m_objects.back().fOneWay = true; }
    UINT PointIcon(WORD) override { return 1; }
    const CLabelStyle* PointLabelStyle(WORD) override { return nullptr; }
    const CLabelStyle* LineLabelStyle(WORD) override { return nullptr; }
    const CLabelStyle* AreaLabelStyle(WORD) override { return nullptr; }
    void DrawMessage(const std::u16string& s) override { m_messages.push_back(s); }

    void AddPointLabel(const CLabelSource&, WORD wType, std::u16string_view text, POINT pt, WORD,
                       const CLabelStyle*, UINT) override {
        Add(rkPoint, wType, &pt, 1);
        m_objects.back().strLabel = text;
    }
    void AddPolygonLabel(const CLabelSource&, WORD, std::u16string_view text, const POINT*, int,
                         const CMapRect&, const CLabelStyle*) override {
        m_objects.back().strLabel = text;
    }
    void AddPolylineLabel(const CLabelSource&, WORD, std::u16string_view text, const POINT*, int,
                          const CMapRect&, const CLabelStyle*, bool) override {
        m_objects.back().strLabel = text;
    }

    std::vector<Object> m_objects;
    std::vector<std::u16string> m_messages;

private:
    void Add(int nKind, WORD wType, const POINT* p, int n) {
        Object o{nKind, wType, {}, {}, false};
        o.points.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) o.points.push_back({p[i].x, p[i].y});
        m_objects.push_back(std::move(o));
    }

    CNullCanvas m_canvas;
    CMapRect m_rcView;
    int m_nScaleCode;
};

} // namespace velka
