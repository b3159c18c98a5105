// Page 1, the route page: what lies ahead on the active route from the next
// route point of guidance on, one row per manoeuvre or waypoint and a last
// row for the destination, each with distance and time from here.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/canvas.h"
#include "shell/page.h"
#include "shell/string_ids.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// Where the page reads the route, the guidance and the position.
struct RoutePageSource {
    // The active route while guidance runs, else null.
    std::function<const Route*()> fnRoute;
    std::function<std::uint32_t()> fnNextPoint;
    // The last position (degrees) and course; false when none is known.
    std::function<bool(float& fLon, float& fLat, float& fCourse, bool& fCourseValid)> fnPosition;
    std::function<float()> fnAverageSpeed; // km/h
    // The window's scroll bar (range 0..nMax, page, position).
    std::function<void(int nMax, int nPage, int nPos)> fnSetScrollBar;
    // Context menu 211 with 40152 checked as given; the command chosen or 0.
    std::function<UINT(int x, int y, bool fChecked)> fnContextMenu;
    std::function<void()> fnRedraw;
    std::function<void()> fnUpdateMenu;
};

constexpr UINT c_uCmdAutoScroll = 40152;

class CRoutePage : public CPage {
public:
    explicit CRoutePage(RoutePageSource source);
    UINT GetTitle() const override { return IDS_PAGE_ROUTE; }
    void Init() override;
    void OnPaint(ICanvas& dc) override;
    void OnSize(int cx, int cy) override;
    void OnDown(int x, int y) override;
    void OnMove(int x, int y) override;
    void OnRButtonUp(int x, int y) override;
    void OnDblClick(int x, int y) override;
    bool HasScrollBar() const override { return true; }
    void OnVScroll(int nCode, int nPos) override;
    void OnCommand(UINT uId) override;
    bool CanZoomIn() const override { return !m_fBig; }
    bool CanZoomOut() const override { return m_fBig; }
    void ZoomIn() override { SetBig(true); }
    void ZoomOut() override { SetBig(false); }
    void OnGpsPosition() override;
    void OnRouteChanged() override { Redraw(); }

    // Guidance started (scroll to the top, follow) or stopped (redraw).
    void OnGuidanceStarted();
    void OnGuidanceStopped() { Redraw(); }

    int ScrollPos() const { return m_nScroll; }
    bool AutoScroll() const { return m_fAutoScroll; }
    // Rows a page shows, and the clamped scroll range's top.
    int PageRows() const;
    int MaxScroll() const;

private:
    int RowHeight() const; // pixels, h x sy
    void SetBig(bool fBig);
    void SetScroll(int nPos, bool fUser);
    void FollowGuidance();
    void UpdateScrollBar();
    void Redraw();
    int PointCount() const;

    RoutePageSource m_src;
    bool m_fBig = true;
    bool m_fAutoScroll = true;
    int m_nScroll = 0;
    int m_cx = 0, m_cy = 0;
    int m_yDown = 0, m_nScrollDown = 0;
    bool m_fDown = false;
};

// The manoeuvre pictogram in a square: an arrow turning by the angle, a
// ring for roundabouts with the exit count.
void DrawManoeuvrePicture(ICanvas& dc, const RECT& rc, int nKind, int nAngle, int nExit);

} // namespace velka
