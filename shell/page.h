// CPage: one of the four screen pages of the main window (0 map, 1 route,
// 2 gauges, 3 satellites). The virtual operations keep the order of the
// page interface; every one but GetTitle and OnPaint does nothing by
// default, so a page overrides only what it handles.
#pragma once
#include "platform/canvas.h"
#include "platform/win_types.h"

namespace velka {

// Scroll codes handed to OnVScroll (the WM_VSCROLL low word).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_ENDSCROLL = 8;

class CPage {
public:
    virtual ~CPage() = default;                               // 0
    virtual void Init() {}                                    // 1
    virtual void Done() {}                                    // 2
    virtual UINT GetTitle() const = 0;                        // 3: string id of the title
    virtual bool OnMapOpened() { return false; }              // 4: true to become current
    virtual void OnMapChanged() {}                            // 5: the open map changed
    virtual void OnMapClosed() {}                             // 6
    virtual bool CanShow() const { return true; }             // 7
    virtual void Activate() {}                                // 8
    virtual void Deactivate() {}                              // 9
    virtual void OnSettingsChanged() {}                       // 10
    virtual void OnPositioningStarted() {}                    // 11
    virtual void OnPositioningStopped() {}                    // 12
    virtual void OnSize(int /*cx*/, int /*cy*/) {}            // 13
    virtual void OnPaint(ICanvas& dc) = 0;                    // 14: draw into the off-screen bitmap
    virtual void OnDown(int /*x*/, int /*y*/) {}              // 15
    virtual void OnMove(int /*x*/, int /*y*/) {}              // 16
    virtual void OnUp(int /*x*/, int /*y*/) {}                // 17
    virtual void OnRButtonUp(int /*x*/, int /*y*/) {}         // 18
    virtual void OnDblClick(int /*x*/, int /*y*/) {}          // 19
    virtual bool HasScrollBar() const { return false; }       // 20: Up/Down scroll, not zoom
    virtual void OnVScroll(int /*nCode*/, int /*nPos*/) {}    // 21
    virtual void OnTimer(UINT /*uId*/) {}                     // 22
    virtual void OnCommand(UINT /*uId*/) {}                   // 23
    virtual bool CanZoomIn() const { return false; }          // 24
    virtual bool CanZoomOut() const { return false; }         // 25
    virtual void ZoomIn() {}                                  // 26
    virtual void ZoomOut() {}                                 // 27
    virtual void OnKeyDown(UINT /*uKey*/) {}                  // 28
    virtual void OnKeyUp(UINT /*uKey*/) {}                    // 29
    virtual void Refresh(bool /*fForce*/) {}                  // 30
    virtual void OnPeriodic() {}                              // 31: every 2 s, current page
    virtual void OnGpsStatus() {}                             // 32: WM_USER+1
    virtual void OnGpsFix() {}                                // 33: WM_USER+2
    virtual void OnGpsPosition() {}                           // 34: WM_USER+3
    virtual void OnGpsData() {}                               // 35: WM_USER+4
    virtual void OnRouteChanged() {}                          // 36
    virtual void OnWaypointsChanged() {}                      // 37
    virtual void OnUnitsChanged() {}                          // 38
    // The wheel turned by nSteps notches (positive: away from the user)
    // with the pointer at (x, y). Pages with a scroll bar scroll a line a
    // notch; others zoom in or out a scale a notch.
    virtual void OnWheel(int x, int y, int nSteps);
};

// A page that so far only draws its title, centred on a white ground.
class CTitlePage : public CPage {
public:
    explicit CTitlePage(UINT uTitleId) : m_uTitleId(uTitleId) {}
    UINT GetTitle() const override { return m_uTitleId; }
    void OnPaint(ICanvas& dc) override;

private:
    UINT m_uTitleId;
};

} // namespace velka
