// The gauge page (page 2): a grid of up to 4 x 8 big or small cells, each
// showing the gauge whose key the setting "Gauge_%d" names (a default
// layout for portrait and one for landscape windows), with the commands to
// choose, reset and restore gauges and to switch the cell size.
#pragma once
#include <array>
#include <string>

#include "gauges/gauge.h"
#include "shell/menu_commands.h"
#include "shell/page.h"

namespace velka {

constexpr int c_cGauges = 32;
constexpr int c_cGaugeColumns = 4, c_cGaugeRows = 8;

// Commands of the gauge cells (the gauge page and the map's gauge panel).
constexpr UINT ID_CHOOSE_GAUGE = 40016;
constexpr UINT ID_DEFAULT_GAUGES = 40017;
constexpr UINT ID_RESET_ALL_GAUGES = 40021;
constexpr UINT ID_RESET_GAUGE = 40025;

// The grid of a page of cx x cy pixels.
struct CGaugeLayout {
    int cColumns = 1, cRows = 1;
    // The cell index of column c and row r: c + 2r in columns 0 and 1,
    // r + 8c in columns 2 and 3.
    static int CellIndex(int c, int r) { return c < 2 ? c + 2 * r : r + 8 * c; }
    // The cell under a point; the edges and points outside the page clamp
    // to the nearest cell.
    int HitTest(int x, int y, int cx, int cy) const;
    // The cell of column c and row r: left, top and its width and height
    // (the frame is one pixel wider and higher, shared with its neighbours).
    RECT Cell(int c, int r, int cx, int cy) const;
};
CGaugeLayout GaugeLayout(int cx, int cy, bool fBig);

// The default key of a cell (empty when the cell stays empty).
const char16_t* DefaultGaugeKey(int nCell, bool fPortrait);

class CGaugePage : public CPage {
public:
    UINT GetTitle() const override { return 2201; }
    void Init() override;
    void Activate() override;
    void OnSize(int cx, int cy) override;
    void OnPaint(ICanvas& dc) override;
    void OnDown(int x, int y) override;
    void OnUp(int x, int y) override;
    void OnDblClick(int x, int y) override;
    void OnRButtonUp(int x, int y) override;
    void OnKeyDown(UINT uKey) override;
    void OnCommand(UINT uId) override;
    bool CanZoomIn() const override { return !m_fBig; }
    bool CanZoomOut() const override { return m_fBig; }
    void ZoomIn() override { SetBig(true); }
    void ZoomOut() override { SetBig(false); }
    void Refresh(bool fForce) override;
    void OnPeriodic() override { Redraw(); }
    void OnGpsFix() override { Redraw(); }
    void OnGpsStatus() override { Redraw(); }
    void OnUnitsChanged() override { Redraw(); }

    // The cell's gauge (null: empty) and the selected cell.
    CGaugeEntry* CellGauge(int nCell) const { return m_apEntries[static_cast<std::size_t>(nCell)]; }
    int Selected() const { return m_nSelected; }
    bool Big() const { return m_fBig; }
    // Reads the cells' keys and resolves them (defaults for the size).
    void ReadCells();
    void RestoreDefaults();

private:
    void SetBig(bool fBig);
    void Redraw();
    void Choose(int nCell);
    SIZE Size() const;
    std::array<CGaugeEntry*, c_cGauges> m_apEntries{};
    bool m_fBig = true;
    int m_cx = 0, m_cy = 0;
    int m_nSelected = 0;
    int m_nPressed = -1;
};

} // namespace velka
