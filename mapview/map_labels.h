// The label store of the map page: collects the names and point icons a
// map parser registers while it draws, then places them most important
// first on a grid of 8 x 4 pixel cells, so that no text or icon is drawn
// over another, and draws the survivors after the map layer (texts, then
// icons). A point's icon and its text are placed or dropped together.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mapdata/label_store.h"
#include "platform/canvas.h"

namespace velka {

class CPaintContext;

enum LabelKind { lkPoint = 0, lkPolyline = 1, lkPolygon = 2, lkWaypoint = 3 };

// A screen rectangle a placed label covers (right and bottom excluded).
struct CLabelBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Intersects(const CLabelBox& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

struct CLabelRecord {
    CMapParser* pParser = nullptr;
    bool fVisible = true;
    int nKind = lkPoint;
    WORD wType = 0;
    WORD wPriority = 0xFFFF;
    bool fText = true;         // false: the text is not drawn (an icon alone)
    DWORD dwLabelOffset = 0;
    std::u16string strText;    // the display text
    int x = 0, y = 0;          // the point (kind 0), else the text's origin
    int dxText = 0, dyText = 0; // a point text's origin relative to the point
    SIZE sizeText{};           // the text's extent, unrotated
    COLORREF crText = 0;
    CFontDesc font;
    UINT uFlags = 0;
    UINT uIcon = 0;
    bool fShield = false;
    POINT ptLine{};            // a road name: the middle of its segment
};

class CMapLabelStore : public CLabelStore {
public:
    // Empties the list and sizes the grid for the client area.
    void Clear(int cxClient, int cyClient);
    // The canvas used to measure texts (the render target).
    void SetMeasureCanvas(ICanvas* pDC) { m_pDC = pDC; }
    void SetScreenFactors(int fx, int fy) {
        m_fx = fx;
        m_fy = fy;
    }
    void SetShieldFont(const CFontDesc& f) { m_fontShield = f; }
    // Point icons are drawn once into small bitmaps made by this factory
    // (on the map's background colour, which is left out when they are
    // copied) and copied from there; without a factory each is drawn.
    void SetIconBitmaps(std::function<std::unique_ptr<ICanvas>(int, int)> fnCreate, COLORREF crBackground,
                        bool fAntialias);

    // Alignment flags of PlaceText.
    static constexpr UINT c_uCenterX = 1, c_uRight = 2, c_uCenterY = 4, c_uBottom = 8;
    // Claims the cells of the text's rectangle for label nIndex at once
    // (the waypoint pass); false when a visible label of priority <=
    // wPriority holds one of them. Less important holders lose their text.
    bool PlaceText(int nIndex, SIZE size, int& x, int& y, WORD wPriority, UINT uAlign);

    // The map's labels are candidates until Place() ranks them.
    void AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text, POINT pt,
                       WORD wPriority, const CLabelStyle* pStyle, UINT uIcon) override;
    void AddPolygonLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                         const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                         const CLabelStyle* pStyle) override;
    void AddPolylineLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                          const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                          const CLabelStyle* pStyle, bool fShield) override;
    // A text at a point (waypoint names: kind 3), placed by its caller.
    void AddFreeText(int x, int y, std::u16string_view text, const CFontDesc& font, COLORREF cr,
                     UINT uFlags, UINT uIcon = 0);

    // The scale index of the frame (0 until set): minor points are shown
    // only at the finest scales, points without an icon of their own up to
    // c_uMinorScaleMax, food, shops and points of no ranked group up to
    // c_uServiceScaleMax.
    static constexpr unsigned c_uMinorScaleMax = 4, c_uServiceScaleMax = 7;
    void SetScaleIndex(unsigned uScale) { m_uScale = uScale; }

    // Places the candidates, most important first (ties: the first
    // registered), each only where it covers no cell already taken; a road
    // name already shown nearby is not repeated. Idempotent.
    void Place();

    // Places what is pending, then draws texts then icons; false when
    // interrupted.
    bool DrawLabels(CPaintContext& pc, unsigned uScaleIndex, int* pcIcons = nullptr);
    bool DrawWaypointTexts(CPaintContext& pc, int nRightEdge);

    const std::vector<CLabelRecord>& Records() const { return m_labels; }
    int CellsW() const { return m_cCellsNw; }
    int CellsH() const { return m_cCellsNh; }
    int TextCell(int col, int row) const { return m_grid[static_cast<std::size_t>(row * m_cCellsNw + col)]; }

    // The screen rectangles a placed record covers: its icon (empty when
    // none) and its text as one or more boxes (a rotated text as boxes
    // along its line).
    CLabelBox IconBox(const CLabelRecord& r) const;
    std::vector<CLabelBox> TextBoxes(const CLabelRecord& r) const;

    // The rotation of a polyline label along the segment (dx, dy), in
    // whole degrees counter-clockwise (screen y grows downwards).
    static int LabelAngle(int dx, int dy);
    // The rank of a point type (smaller places first): capitals and big
    // cities, then emergency and travel services, towns, other services,
    // food and shops last.
    static WORD PointRank(WORD wType);
    // The rank of a road name by road class; area names come last.
    static WORD LineRank(WORD wType);

private:
    struct CCandidate {
        CLabelRecord rec;
        POINT aLine[2] = {}; // a road name's segment
        int nOrder = 0;
    };
    SIZE Measure(std::u16string_view text, const CFontDesc& font);
    bool Fits(const CLabelBox& box) const;
    void Claim(const CLabelBox& box, int nIndex);
    bool PlacePoint(CCandidate& c);
    bool PlaceLine(CCandidate& c);
    bool PlaceArea(CCandidate& c);
    void DrawIcon(ICanvas& dc, const CLabelRecord& r);

    std::vector<CLabelRecord> m_labels;
    std::vector<CCandidate> m_candidates;
    std::vector<int> m_grid; // label index per cell, -1 free
    int m_cCellsNw = 0;
    int m_cCellsNh = 0;
    int m_cx = 0;
    int m_cy = 0;
    int m_fx = 1;
    int m_fy = 1;
    unsigned m_uScale = 0;
    ICanvas* m_pDC = nullptr;
    CFontDesc m_fontShield;
    // Text extents by font and text, kept across frames.
    std::unordered_map<std::u16string, SIZE> m_extents;
    std::function<std::unique_ptr<ICanvas>(int, int)> m_fnCreateIcon;
    COLORREF m_crIconBack = 0;
    bool m_fIconAntialias = true;
    std::unordered_map<std::uint32_t, std::unique_ptr<ICanvas>> m_icons;
};

} // namespace velka
