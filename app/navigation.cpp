#include "app/navigation.h"

#include "app/qt_route_list_dialog.h"
#include "app/qt_route_properties_dialog.h"

#include <QApplication>
#include <QProgressDialog>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "gauges/gauge_sources.h"
#include "gps/positioning.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "platform/debug.h"
#include "mapview/waypoint_layer.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/wave_out.h"
#include "routing/map_leg_search.h"
#include "routing/navigator.h"
#include "routing/route_drawing.h"
#include "routing/route_geometry.h"
#include "routing/route_page.h"
#include "shell/main_window.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "waypoints/exchange.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

std::unique_ptr<IWaveOut> g_pWaveOut;
std::unique_ptr<CPromptPlayer> g_pPlayer;
std::unique_ptr<CNavigator> g_pNav;
CRoutePage* g_pRoutePage = nullptr;
bool g_fHeadless = false;

// The prompt set: the folder the language module names (string 2290,
// "wav" built in), beside the program or in the installed data folder.
std::string PromptFolder() {
    std::string strSub = ToUtf8(LoadStr(IDS_PROMPT_FOLDER));
    if (strSub.empty()) strSub = "wav";
    std::error_code ec;
    std::string strPath = FindDataFile(strSub);
    if (!std::filesystem::is_directory(strPath, ec)) strPath = FindDataFile("wav");
    return strPath;
}

void Redraw() {
    if (g_hWnd) g_hWnd->RedrawNow();
}

RoutingProgressUi ProgressUi() {
    RoutingProgressUi ui;
    static std::unique_ptr<QProgressDialog> s_pDialog;
    static std::atomic<bool> s_fCancel{false};
    ui.fnBegin = []() -> const std::atomic<bool>* {
        s_fCancel = false;
        if (g_fHeadless) return &s_fCancel;
        s_pDialog = std::make_unique<QProgressDialog>(QString::fromStdU16String(LoadStr(IDS_ROUTING_PROGRESS)), QString(), 0, 100);
        s_pDialog->setMinimumDuration(300);
        QObject::connect(s_pDialog.get(), &QProgressDialog::canceled, [] { s_fCancel = true; });
        return &s_fCancel;
    };
    ui.fnStep = [](int n) {
        if (s_pDialog) s_pDialog->setValue(n);
    };
    ui.fnEnd = [] { s_pDialog.reset(); };
    return ui;
}

void CreateNavigator() {
    g_pWaveOut = CreateAlsaWaveOut();
    g_pPlayer = std::make_unique<CPromptPlayer>(g_pWaveOut.get(), PromptFolder());
    // Every sound said goes to the log, so a machine without sound shows them too.
    g_pPlayer->m_fnLogSound = [](const std::string& s) { std::fprintf(stderr, "velka: prompt %s\n", s.c_str()); };
    LegSearch search = MakeMapLegSearch([] { return g_pMapParser; }, &GetCurrentFix);
    g_pNav = std::make_unique<CNavigator>(TheWaypointStore(), g_pPlayer.get(), std::move(search), ProgressUi());
    // The navigation gauges read guidance through the navigator.
    GaugeSources().pNavigation = g_pNav.get();
    g_pNav->m_fnStepped = [] {};
    g_pNav->m_fnStartedStopped = [](bool fStarted) {
        if (g_pRoutePage) {
            if (fStarted) g_pRoutePage->OnGuidanceStarted();
            else g_pRoutePage->OnGuidanceStopped();
        }
        if (g_hWnd) g_hWnd->UpdateMenu();
        Redraw();
    };
    SetTheNavigator(g_pNav.get());
}

void FollowDemoRoute();

// Positioning tells of a lost or found fix on its reader thread; the prompt
// queue belongs to the user-interface thread, so the prompt is raised there.
// When the demo drive starts over, its route is followed again.
void QueueGpsPrompt(int n) {
    QMetaObject::invokeMethod(
        qApp,
        [n] {
            if (!g_pPlayer) return;
            g_pPlayer->RaiseGps(n);
            if (n == 3) FollowDemoRoute();
        },
        Qt::QueuedConnection);
}

// The demo: when the simulation file beside the program also holds a route
// and no route is followed, that route is planned on the open map and
// followed from its start, so the simulated drive is guided.
void FollowDemoRoute() {
    const std::string strPath = ProgramDir() + "/Demo.gdb";
    std::error_code ec;
    if (!g_pNav || g_pNav->IsNavigating() || !std::filesystem::is_regular_file(strPath, ec)) return;
    CMappedFile file;
    if (!file.Open(strPath)) return;
    CWaypointStore demo;
    ImportTarget target(demo);
    target.m_newer = nvAccept;
    if (!ImportGdb(file.Bytes(), target)) return;
    const Route* pDemo = nullptr;
    for (const auto& p : demo.Routes())
        if (!p->IsDeleted() && !p->points.empty()) pDemo = p.get();
    if (!pDemo) return;
    CWaypointStore& store = TheWaypointStore();
    Route* pRoute = store.CreateRoute(&pDemo->strName, pDemo->dTime);
    pRoute->dwFlags |= rfTemporary;
    for (const RoutePoint& q : pDemo->points) {
        RoutePoint p = q;
        p.pWaypoint = nullptr;
        p.lX = q.X();
        p.lY = q.Y();
        if (p.strName.empty() && q.pWaypoint) p.strName = q.pWaypoint->strName;
        p.btKind = rkVia;
        store.AppendPoint(*pRoute, std::move(p));
    }
    g_pNav->PlanRoute(*pRoute);
    DebugOutput("Demo route: " + std::to_string(pRoute->points.size()) + " points\n");
    GpsFix start;
    start.SetPosition(PointLon(pRoute->points.front()), PointLat(pRoute->points.front()));
    g_pNav->Start(pRoute, start, {});
}

} // namespace

void SetNavigationHeadless(bool fHeadless) { g_fHeadless = fHeadless; }

bool EditRouteProperties(Route& route) {
    return g_fHeadless ? HeadlessRouteProperties(route) : RunRoutePropertiesDialog(route, QApplication::activeWindow());
}

std::unique_ptr<CPage> CreateRoutePage() {
    RoutePageSource src;
    src.fnRoute = []() -> const Route* { return g_pNav && g_pNav->IsNavigating() ? g_pNav->ActiveRoute() : nullptr; };
    src.fnNextPoint = [] { return g_pNav ? g_pNav->Guidance().State().iNextPoint : 0u; };
    src.fnPosition = [](float& lon, float& lat, float& course, bool& fCourse) {
        float fSpeed = 0;
        bool fSpeedValid = false;
        return GetLastPosition(&lon, &lat, &course, &fSpeed, &fCourse, &fSpeedValid);
    };
    src.fnAverageSpeed = &GetLongAverageSpeed;
    src.fnContextMenu = [](int x, int y, bool fChecked) -> UINT {
        if (!g_hWnd || !g_hWnd->Port()) return 0;
        CMenuPopup menu{211, {CMenuItem{c_uCmdAutoScroll, 100000 + c_uCmdAutoScroll, true, false, false, fChecked}}};
        return g_hWnd->Port()->TrackPopupMenu(menu, x, y);
    };
    src.fnSetScrollBar = [](int nMax, int nPage, int nPos) {
        if (g_hWnd && g_hWnd->Port()) g_hWnd->Port()->SetScrollBar(nMax, nPage, nPos);
    };
    src.fnRedraw = &Redraw;
    src.fnUpdateMenu = [] {
        if (g_hWnd) g_hWnd->UpdateMenu();
    };
    auto p = std::make_unique<CRoutePage>(std::move(src));
    g_pRoutePage = p.get();
    return p;
}

void StartNavigation() {
    SetRouteLoadedHook(&RestoreLoadedRoute);
    StartWaypoints(CWaypointStore::DefaultPath());
    CreateNavigator();
    PositioningHooks().pfnQueueGpsPrompt = &QueueGpsPrompt;
    g_pNav->Resume();
    FollowDemoRoute();
}

void StopNavigation() {
    StopWaypoints();
    SetTheNavigator(nullptr);
    PositioningHooks().pfnQueueGpsPrompt = nullptr;
    GaugeSources().pNavigation = nullptr;
    g_pNav.reset();
    g_pPlayer.reset();
    g_pWaveOut.reset();
}

void ShowRouteList() {
    if (g_pNav) ShowRouteListDialog(TheWaypointStore(), *g_pNav);
}

bool IsGuidanceActive() { return g_pNav && g_pNav->IsNavigating(); }

void StopGuidance() {
    if (g_pNav) g_pNav->Stop();
}

void StepGuidance() {
    if (g_pNav && g_pNav->IsNavigating()) g_pNav->Step(GetCurrentFix());
}

void PlayNextSound() {
    if (g_pPlayer) g_pPlayer->Handle();
}

void SoundBufferDone() {
    if (g_pPlayer) g_pPlayer->Next();
}

void StopSound() {
    if (g_pPlayer) g_pPlayer->Stop();
}

bool DrawRoutesLayer(CPaintContext& pc) {
    const std::size_t iNext = g_pNav ? g_pNav->Guidance().State().iNextPoint : 0;
    return DrawRoutes(pc, TheWaypointStore(), iNext);
}

bool DrawBearingLayer(CPaintContext& pc) {
    if (!g_pNav || !g_pNav->IsNavigating()) return false;
    const Route* pRoute = g_pNav->ActiveRoute();
    float lon = 0, lat = 0, course = 0;
    if (!pRoute || pRoute->points.empty() || !GetLastPosition(&lon, &lat, &course)) return false;
    const RoutePoint& t = pRoute->points[g_pNav->Guidance().TargetIndex()];
    const CMapPoint from{static_cast<std::int32_t>(DegreesToSemicircles(lon) / 2),
                         static_cast<std::int32_t>(DegreesToSemicircles(lat) / 2)};
    DrawBearingLine(pc, from, PointMapUnits(t));
    return pc.IsInterrupted();
}

} // namespace velka
