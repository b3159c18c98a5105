// Gauges: named live values (speed, trip distance, sunset, map rendering
// time, ...) in one process-wide catalogue of twelve groups. The shell and
// the pages never know single gauges: they broadcast events to the whole
// catalogue, look gauges up by key and ask a gauge to draw itself in a cell.
// Everything here belongs to the user-interface thread.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

class CGauge {
public:
    virtual ~CGauge() = default;
    virtual void Init() {}
    // Clears accumulated values.
    virtual void Reset() {}
    virtual void NavigationStarted() {}
    // The fix snapshot copied under the positioning lock.
    virtual void Update(const GpsFix& /*fix*/) {}
    virtual void PositionLost() {}
    // Draws the value in a cell whose top-left corner is (x, y).
    virtual void Draw(ICanvas& dc, bool fSmall, int x, int y);
    // The current value and its unit; an empty value means no value now.
    virtual void GetValueText(std::u16string& strValue, std::u16string& strUnit) = 0;
};

// Texts of the gauges beyond the shared table: units of the system gauges,
// the chooser's title and the export's file filter.
constexpr UINT IDS_GAUGE_UNIT_MS = 209020;
constexpr UINT IDS_GAUGE_UNIT_SECONDS = 209021;
constexpr UINT IDS_GAUGE_UNIT_MB = 209022;
constexpr UINT IDS_GAUGE_UNIT_PERCENT = 209023;
constexpr UINT IDS_GAUGE_CHOOSER_TITLE = 209024;
constexpr UINT IDS_GAUGE_EXPORT_FILTER = 209025;

// The twelve groups, in their fixed (export) order.
enum GaugeGroup {
    ggTrip1, ggTrip2, ggMax, ggNavigation, ggGpsData, ggAltitude, ggPrecision, ggDgps, ggArea, ggSonar,
    ggMap, ggSystem, c_cGaugeGroups
};

struct CGaugeEntry {
    std::unique_ptr<CGauge> m_pGauge;
    int nGroup = 0;
    std::u16string strKey;
    std::u16string strTitle;
    std::u16string strDescription;
    bool fResettable = false;
    int nRegistration = 0; // registration order, 0 first
};

struct CGaugeGroupEntry {
    const char16_t* szKey = u"";
    std::u16string strTitle;
    // The group's gauges, newest registration first.
    std::vector<CGaugeEntry*> vecGauges;
};

// The catalogue. Registration puts an entry at the front of the global list
// and of its group's list, so both walk the gauges newest first.
class CGaugeCatalogue {
public:
    // Group titles are loaded here (the language must be chosen).
    CGaugeCatalogue();
    CGaugeEntry& Register(std::unique_ptr<CGauge> pGauge, int nGroup, const char16_t* szKey, UINT uTitleId,
                          UINT uDescriptionId, bool fResettable);
    // Exact, case-sensitive; null for null, empty or unknown keys.
    CGaugeEntry* Find(const char16_t* szKey) const;
    CGaugeEntry* Find(const std::u16string& strKey) const { return Find(strKey.c_str()); }
    // Newest first.
    const std::vector<CGaugeEntry*>& Entries() const { return m_vecList; }
    const CGaugeGroupEntry& Group(int nGroup) const { return m_aGroups[nGroup]; }

    void UpdateAll(const GpsFix& fix);
    void PositionLostAll();
    void NavigationStartedAll();
    // Without a question (the pages ask first).
    void ResetAll();

private:
    std::vector<std::unique_ptr<CGaugeEntry>> m_vecOwned;
    std::vector<CGaugeEntry*> m_vecList;
    CGaugeGroupEntry m_aGroups[c_cGaugeGroups];
};

// The process's catalogue: null until RegisterGauges ran (after the settings
// store is open and the language chosen, before the pages are created).
CGaugeCatalogue* Gauges();
void RegisterGauges();
void UnregisterGauges();
// A value text or "" when there is no catalogue or no such gauge.
std::u16string GaugeValueText(const char16_t* szKey, std::u16string* pstrUnit = nullptr);

// Reset all gauges after the yes/no question 2112; true when reset.
bool AskResetAllGauges();

// The eight gauge fonts (title, value, narrow value, unit; small and big).
struct CGaugeFonts {
    CFontDesc title[2], value[2], narrow[2], unit[2]; // [0] small, [1] big
};
void CreateGaugeFonts();
void DeleteGaugeFonts();
const CGaugeFonts& GaugeFonts();

// Cell sizes (unscaled).
constexpr int c_cxSmallCell = 80, c_cySmallCell = 33;
constexpr int c_cxBigCell = 120, c_cyBigCell = 52;

// Frames a cell (state 0 white, 1 and 2 the highlight brushes), writes the
// entry's title and lets the gauge draw its value.
void DrawGaugeCell(ICanvas& dc, bool fSmall, int left, int top, int cx, int cy, CGaugeEntry* pEntry,
                   int nState);

// The GPS status icon of the map (top-left corner at x, y): a grey
// receiver crossed out without GPS, yellow while connected without a
// solution, green with the number of satellites used.
void DrawGpsStatusIcon(ICanvas& dc, int x, int y, int nIndicator);
// The icon for positioning's indicator now; nothing while positioning is
// stopped.
void DrawGpsStatus(ICanvas& dc, int x, int y);

// Positioning's current fix to every gauge, and the loss of the position
// (both on the user-interface thread; nothing before RegisterGauges).
void PassFixToGauges();
void TellGaugesPositionLost();

} // namespace velka
