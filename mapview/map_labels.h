// The label store of the map page: collects the names and point icons a
// map parser registers while it draws, decides with a grid of 8 x 4 pixel
// cells which labels fit without overlapping more important ones, and
// draws the survivors after the map layer (texts, then icons).
#pragma once
#include <string>
#include <vector>

#include "mapdata/label_store.h"
#include "platform/canvas.h"

namespace velka {

class CPaintContext;

enum LabelKind { lkPoint = 0, lkPolyline = 1, lkPolygon = 2, lkWaypoint = 3 };

struct CLabelRecord {
    CMapParser* pParser = nullptr;
    bool fVisible = true;
    int nKind = lkPoint;
    WORD wType = 0;
    WORD wPriority = 0xFFFF;
    bool fText = true;         // false: the text lost its cells (label reference -1)
    DWORD dwLabelOffset = 0;
    std::u16string strText;    // texts given directly (and for parsers' labels, a copy)
    int x = 0, y = 0;
    int dxText = 0, dyText = 0; // a point text beside its icon
    COLORREF crText = 0;
    CFontDesc font;
    UINT uFlags = 0;
    UINT uIcon = 0;
    bool fShield = false;
};

class CMapLabelStore : public CLabelStore {
public:
    // Empties the list and sizes the grids for the client area.
    void Clear(int cxClient, int cyClient);
    // The canvas used to measure texts (the render target).
    void SetMeasureCanvas(ICanvas* pDC) { m_pDC = pDC; }
    void SetScreenFactors(int fx, int fy) {
        m_fx = fx;
        m_fy = fy;
    }
    void SetShieldFont(const CFontDesc& f) { m_fontShield = f; }

    // Alignment flags of PlaceText.
    static constexpr UINT c_uCenterX = 1, c_uRight = 2, c_uCenterY = 4, c_uBottom = 8;
    // Claims the cells of the text's rectangle for label nIndex; false when
    // a visible label of priority <= wPriority holds one of them.
    bool PlaceText(int nIndex, SIZE size, int& x, int& y, WORD wPriority, UINT uAlign);

    void AddPointLabel(const CLabelSource& source, WORD wType, std::u16string_view text, POINT pt,
                       WORD wPriority, const CLabelStyle* pStyle, UINT uIcon) override;
    void AddPolygonLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                         const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                         const CLabelStyle* pStyle) override;
    void AddPolylineLabel(const CLabelSource& source, WORD wType, std::u16string_view text,
                          const POINT* pPoints, int cPoints, const CMapRect& rcBounds,
                          const CLabelStyle* pStyle, bool fShield) override;
    // A text at a point (waypoint names: kind 3).
    void AddFreeText(int x, int y, std::u16string_view text, const CFontDesc& font, COLORREF cr,
                     UINT uFlags, UINT uIcon = 0);

    // Texts then icons; false when interrupted.
    bool DrawLabels(CPaintContext& pc, unsigned uScaleIndex, int* pcIcons = nullptr);
    bool DrawWaypointTexts(CPaintContext& pc, int nRightEdge);

    const std::vector<CLabelRecord>& Records() const { return m_labels; }
    int CellsW() const { return m_cCellsNw; }
    int CellsH() const { return m_cCellsNh; }
    int TextCell(int col, int row) const { return m_textGrid[static_cast<std::size_t>(row * m_cCellsNw + col)]; }

    // The rotation of a polyline label along the segment (dx, dy), in
    // whole degrees counter-clockwise (screen y grows downwards).
    static int LabelAngle(int dx, int dy);

private:
    SIZE Measure(std::u16string_view text, const CFontDesc& font);

    std::vector<CLabelRecord> m_labels;
    std::vector<int> m_textGrid;
    std::vector<int> m_iconGrid;
    int m_cCellsNw = 0;
    int m_cCellsNh = 0;
    int m_cx = 0;
    int m_cy = 0;
    int m_fx = 1;
    int m_fy = 1;
    ICanvas* m_pDC = nullptr;
    CFontDesc m_fontShield;
};

} // namespace velka
