// The map page (page 0): opens and closes the map, renders it into an
// off-screen bitmap in a fixed layer order while pumping messages every
// 20 ms, abandons and restarts a frame when the view changes, and shows the
// last finished frame (shifted or stretched to the current view) with the
// overlays and the map-gauge panel.
#pragma once
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mapview/frame_commands.h"
#include "mapview/map_labels.h"
#include "mapview/map_position.h"
#include "mapview/overlays.h"
#include "mapdata/paint_context.h"
#include "mapview/styles.h"
#include "shell/menu_commands.h"
#include "shell/page.h"
#include "waypoints/route_editing.h"
#include "waypoints/waypoint_commands.h"

namespace velka {

class CMapParser;

// The map page's own commands (its keys and context menus).
constexpr UINT ID_MAP_REFRESH = 40004;
constexpr UINT ID_MAP_PAN_LEFT = 40005;
constexpr UINT ID_MAP_PAN_RIGHT = 40006;
constexpr UINT ID_MAP_PAN_UP = 40007;
constexpr UINT ID_MAP_PAN_DOWN = 40008;
constexpr UINT ID_MAP_DEFAULT_GAUGES = 40017;
constexpr UINT ID_MAP_NEW_WAYPOINT = 40019;
constexpr UINT ID_MAP_SHOW_GAUGES = 40023;
constexpr UINT ID_MAP_PROPERTIES = 40121;
constexpr UINT ID_MAP_DELETE_WAYPOINT = 40122;
constexpr UINT ID_MAP_FOLLOW_ROUTE = 40130;
constexpr UINT ID_MAP_REVERSE_ROUTE = 40139;
constexpr UINT ID_MAP_DELETE_ROUTE = 40141;
constexpr UINT ID_MAP_ADD_TO_ROUTE = 40143;
constexpr UINT ID_MAP_REMOVE_FROM_ROUTE = 40144;
constexpr UINT ID_MAP_END_ROUTE_EDIT = 40145;
constexpr UINT ID_MAP_START_ROUTE = 40146;
constexpr UINT ID_MAP_CONTINUE_ROUTE = 40147;
constexpr UINT ID_MAP_INSERT_INTO_ROUTE = 40151;
constexpr UINT ID_MAP_RECALCULATE_ROUTE = 40159;
constexpr UINT ID_MAP_MOVE_WAYPOINT = 40148;
constexpr UINT ID_MAP_MOVE_CANCEL = 40149;
constexpr UINT ID_MAP_MOVE_HERE = 40150;

// The open map (null when none); owned by the map page.
extern CMapParser* g_pMapParser;

// Frame statistics in milliseconds (GetTickCount), shown by the gauges.
struct CFrameStats {
    DWORD msMap = 0;
    DWORD msTrack = 0;
    DWORD msRoutes = 0;
    DWORD msWaypoints = 0;
    std::atomic<unsigned> cFrames{0};
    unsigned cPolygons = 0;
    unsigned cPolylines = 0;
    unsigned cPoints = 0;
    // Microseconds of the last frame per layer, measured only while
    // fLayerTimes is on (the benchmarks): the map's Draw (reading and
    // recording its areas and lines), drawing what it recorded, and the
    // label pass.
    bool fLayerTimes = false;
    unsigned usDraw = 0;
    unsigned usRaster = 0;
    unsigned usLabels = 0;
};
extern CFrameStats g_FrameStats;
// How long the last successful map opening took.
extern DWORD g_msMapOpen;

// What other subsystems draw on the map and answer for it; each is empty
// until its owner assigns it. Layer functions return true when the frame
// was interrupted.
struct CMapLayers {
    std::function<bool(CPaintContext&)> fnDrawTrack;
    std::function<bool(CPaintContext&)> fnDrawRoutes;
    std::function<bool(CPaintContext&, CMapLabelStore&)> fnDrawWaypoints;
    std::function<bool(CPaintContext&)> fnDrawBearing;
    std::function<void(ICanvas&, const CMapPosition&)> fnDrawMovingWaypoint;
    // The latest GPS position for the cursor and for following, and the
    // latest fix the automatic night mode looks at.
    std::function<bool(CCursorPosition&)> fnCurrentPosition;
    std::function<bool(GpsFix& fix)> fnLatestFix;
    // Waypoints, route points and map objects near a map point.
    std::function<std::vector<CSelectionItem>(const CMapPoint& pt, float fRadiusMetres)> fnFindItems;
    std::function<void(ICanvas&, int x, int y)> fnDrawGpsStatus;
    // Dispatches queued messages (the window's event loop).
    std::function<void()> fnPumpMessages;
};
CMapLayers& MapLayers();

class CMapPage;

class CMapPaintContext : public CPaintContext {
public:
    CMapPaintContext(CMapPage& page, ICanvas& dc);

    ICanvas& Canvas() override { return m_dc; }
    unsigned ScaleIndex() const override;
    int ScaleCode() const override;
    const CMapRect& VisibleRect() const override { return m_rcVisible; }
    POINT MapToScreen(const CMapPoint& pt) const override;
    void MapPointsToScreen(const CMapPoint* pPoints, POINT* pScreen, std::size_t cPoints) const override;
    SIZE ScreenExtent(const CMapRect& rc) const override;
    int ScreenFactor() const override;
    bool PumpMessages() override;
    void DrawPolygon(WORD wType, const POINT* pPoints, int cPoints) override;
    bool DrawPolyline(WORD wType, const POINT* pPoints, int cPoints) override;
    void DrawDirectionArrows(const POINT* pPoints, int cPoints) override;
    UINT PointIcon(WORD wType) override;
    const CLabelStyle* PointLabelStyle(WORD wType) override;
    const CLabelStyle* LineLabelStyle(WORD wType) override;
    const CLabelStyle* AreaLabelStyle(WORD wType) override;
    void DrawMessage(const std::u16string& strText) override;

    const CMapPosition& Position() const;
    void Restart();
    // While set, areas, lines and arrows go to the list instead of the canvas.
    void SetRecording(CFrameCommands* p) { m_pRecord = p; }

    DWORD m_dwLastPump = 0;

private:
    CMapPage& m_page;
    ICanvas& m_dc;
    CMapRect m_rcVisible;
    std::vector<POINT> m_vecPixels;
    std::vector<std::pair<int, int>> m_vecRuns;
    CFrameCommands* m_pRecord = nullptr;
};

class CMapPage : public CPage {
public:
    CMapPage();
    ~CMapPage() override;

    // CPage
    void Init() override;
    void Done() override;
    UINT GetTitle() const override;
    bool OnMapOpened() override { return true; }
    void OnMapChanged() override;
    void OnSettingsChanged() override;
    void OnSize(int cx, int cy) override;
    void OnPaint(ICanvas& dc) override;
    void OnDown(int x, int y) override;
    void OnMove(int x, int y) override;
    void OnUp(int x, int y) override;
    void OnRButtonUp(int x, int y) override;
    void OnDblClick(int x, int y) override;
    void OnTimer(UINT uId) override;
    void OnCommand(UINT uId) override;
    bool CanZoomIn() const override { return m_pos.CanZoomIn(); }
    bool CanZoomOut() const override { return m_pos.CanZoomOut(); }
    void ZoomIn() override;
    void ZoomOut() override;
    // The wheel zooms about the pointer.
    void OnWheel(int x, int y, int nSteps) override;
    // Zooms nSteps scales in (negative: out) keeping the map point at
    // (x, y) under it.
    void ZoomAt(int x, int y, int nSteps);
    void Refresh(bool fForce) override { RefreshMap(fForce); }
    void OnGpsPosition() override;
    // The gauge panel and the status icon follow every fix and the
    // 2-second timer (clocks and counters change between moves).
    void OnGpsFix() override { RedrawNow(); }
    void OnPeriodic() override { RedrawNow(); }
    void OnUnitsChanged() override;

    // Opens a map file (or an atlas index); false with the error shown.
    // Opens a map in place of the open one. Asked while a frame is drawn
    // (from the frame's own message pump: a map handed over by a second
    // start), the frame is stopped and the map opened once it has unwound,
    // since the frame still runs in the open map's code; false then.
    bool LoadMap(const std::u16string& strPath, bool fAtlas);
    void CloseMap();
    void RefreshMap(bool fForce);
    bool IsRendering() const { return m_pContext != nullptr; }
    void StopRendering();
    // Draws a localised message into the frame (or shows it in a box).
    void DrawMessage(UINT uId, ...);
    void DrawMessageText(const std::u16string& strText);

    CMapPosition& Position() { return m_pos; }
    const CMapPosition& Position() const { return m_pos; }
    CMapLabelStore& Labels() { return m_labels; }
    CObjectSelection& Selection() { return m_selection; }
    // The last complete frame (null before the first).
    const ICanvas* FinishedFrame() const { return m_fHaveFrame ? m_pFinished.get() : nullptr; }
    unsigned FinishedFrames() const { return m_cFinishedFrames; }
    unsigned StartedFrames() const { return m_cStartedFrames; }
    unsigned FinishedScale() const { return m_uFrameScale; }
    int FinishedAngle() const { return m_nFrameAngle; }
    RECT MapArea() const;
    // The map-gauge cells (empty when the panel is hidden).
    std::vector<RECT> GaugeCells() const;
    const std::array<std::u16string, 8>& GaugeKeys() const { return m_astrGaugeKeys; }

    // Without a window: how bitmaps are made and the client size.
    void SetBitmapFactory(std::function<std::unique_ptr<ICanvas>(int, int)> fn) { m_fnCreateBitmap = std::move(fn); }
    // Called with the map's placed labels after they were drawn (tests and
    // inspection look at what a frame showed).
    void SetLabelsPlacedHandler(std::function<void(const CMapLabelStore&)> fn) { m_fnLabelsPlaced = std::move(fn); }
    void SetClientSize(int cx, int cy) { m_sizeClient = {cx, cy}; }
    SIZE ClientSize() const { return m_sizeClient; }
    // Antialiased drawing (setting MapAntialias, default on).
    void SetAntialias(bool f) { m_fAntialias = f; }
    bool Antialias() const { return m_fAntialias; }
    // Called by the paint context between objects.
    void CountObject(int nKind);

    // Waypoints on the map: the one being moved (drawn at the pointer),
    // the last pointer position, the point and waypoint of the last right
    // click, and the ground radius of a click (half a symbol icon).
    Waypoint* MovingWaypoint() const { return m_mover.Moving(); }
    POINT PointerPosition() const { return m_ptPointer; }
    const CMapPoint& ClickedPoint() const { return m_ptClicked; }
    Waypoint* ClickedWaypoint() const { return m_pClickedWaypoint; }
    Route* ClickedRoute() const { return m_pClickedRoute; }
    // The route being edited on the map (null when none).
    Route* EditedRoute() const { return m_editor.Editing(); }
    float HitRadius() const;
    // The context menu for a right click at (x, y) as OnRButtonUp shows
    // it; also notes the point and what lies under it.
    CMenuPopup ContextMenuAt(int x, int y);

private:
    friend class CMapPaintContext;
    void RedrawNow();
    void UpdateScreen();
    bool CreateBitmaps();
    std::unique_ptr<ICanvas> MakeBitmap(int cx, int cy) const;
    void RenderLoop();
    // Draws the recorded map layer (stops early when the frame is
    // interrupted).
    void DrawRecorded(CMapPaintContext& pc, ICanvas& dc);
    bool IsTap(int x, int y) const;
    void OnTap(int x, int y);
    void ReadGaugeSlots();
    void RestoreDefaultGauges();
    int GaugeCellAt(int x, int y) const;
    // The map page's waypoint commands (40019, 40121, 40122, 40148-40150);
    // false for other commands.
    bool OnWaypointCommand(UINT uId);
    // The properties of a waypoint; after a change the selection is
    // cleared and the map refreshed.
    void WaypointProperties(Waypoint* pWaypoint);
    void OpenSelectionItem();
    // The route menus (206 for a route under the click, 208 for a waypoint
    // while a route is edited) and their commands (40121 for a route,
    // 40130, 40139, 40141, 40143-40147, 40151, 40159); false for others.
    CMenuPopup RouteMenu() const;
    CMenuPopup RouteEditingMenu() const;
    bool OnRouteCommand(UINT uId);
    // After a route changed: the active one has its angles recomputed, the
    // store is saved, the selection cleared and the map refreshed.
    void RouteChanged(Route* pRoute);
    void DrawEditedRoute(ICanvas& dc) const;

    CMapPosition m_pos;
    bool m_fNewMap = false;
    std::function<void(const CMapLabelStore&)> m_fnLabelsPlaced;
    // The view of the last finished frame.
    std::int32_t m_nFramePixelCount = 0, m_nFrameArcs = 0, m_lFrameX = 0, m_lFrameY = 0;
    int m_nFrameAngle = 0;
    unsigned m_uFrameScale = 0;
    bool m_fHaveFrame = false;

    std::unique_ptr<CMapParser> m_pMap;
    // A map to open when the current frame has unwound.
    bool m_fPendingMap = false;
    bool m_fPendingAtlas = false;
    std::u16string m_strPendingMap;
    void OpenPendingMap();
    std::unique_ptr<ICanvas> m_pRender;
    std::unique_ptr<ICanvas> m_pFinished;
    SIZE m_sizeBitmaps{};
    SIZE m_sizeClient{};
    CMapPaintContext* m_pContext = nullptr;
    CMapLabelStore m_labels;
    CFrameCommands m_commands;
    POINT m_ptBrushOrigin{};
    CObjectSelection m_selection;
    std::array<std::u16string, 8> m_astrGaugeKeys;
    bool m_fGaugeEdit = false;
    int m_nSelectedGauge = -1;
    // The last right click: its point, the waypoint and map object under
    // it, the gauge cell; the waypoint being moved and the pointer.
    CMapPoint m_ptClicked{};
    Waypoint* m_pClickedWaypoint = nullptr;
    Route* m_pClickedRoute = nullptr;
    CRouteEditor m_editor;
    std::vector<CSelectionItem> m_clickedObjects;
    int m_nClickedCell = -1;
    CWaypointMover m_mover;
    POINT m_ptPointer{};

    bool m_fDown = false;
    POINT m_ptPress{}, m_ptLast{};
    DWORD m_dwPressTime = 0;
    bool m_fAntialias = true;
    unsigned m_cFinishedFrames = 0;
    unsigned m_cStartedFrames = 0;
    std::function<std::unique_ptr<ICanvas>(int, int)> m_fnCreateBitmap;
};

// The page that exists (null before it is created).
CMapPage* MapPage();
// The map page's side of the shell's map hooks (each does nothing, or
// answers false, before the page exists).
std::unique_ptr<CPage> CreateMapPage();
bool OpenMapOnPage(const std::u16string& strPath, bool fAtlas);
bool IsMapOpen();
bool IsMapFrameRendering();
void StopMapFrame();
// The NightMode setting changed: read it again and apply it.
void ApplyNightModeSetting();
// After a fix: the automatic night mode, and a redraw when it switched.
void CheckAutoNightMode();
// The selection balloon's timer: true when there was a selection to clear.
bool ClearMapSelection();

} // namespace velka
