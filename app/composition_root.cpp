#include "app/composition_root.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>

#include "app/navigation.h"
#include "app/qt_app_platform.h"
#include "app/qt_atlas_dialog.h"
#include "app/qt_desktop_commands.h"
#include "app/qt_gauge_dialogs.h"
#include "app/qt_options_dialog.h"
#include "app/qt_waypoint_edit_dialog.h"
#include "app/qt_waypoint_list_dialog.h"
#include "app/search_on_map.h"
#include "gauges/gauge.h"
#include "gauges/gauge_dialogs.h"
#include "gauges/gauge_export.h"
#include "gauges/gauge_page.h"
#include "gauges/gauge_sources.h"
#include "gauges/satellite_page.h"
#include "gauges/units.h"
#include "geometry/self_check.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapview/map_statistics.h"
#include "mapview/overlays.h"
#include "mapview/track_layer.h"
#include "mapview/waypoint_layer.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "routing/route_planner.h"
#include "routing/route_search.h"
#include "search/search_dialogs.h"
#include "shell/main_window.h"
#include "shell/message_boxes.h"
#include "shell/screen.h"
#include "shell/startup.h"
#include "shell/window_messages.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"
#include "waypoints/track_reader.h"
#include "waypoints/waypoint_ui.h"

namespace velka {

void WireMap(CSubsystemHooks& h, bool fHeadless) {
    h.afnCreatePage[0] = &CreateMapPage;
    // A search dialog lets go of the open map before another opens.
    h.map.fnOpen = &OpenMapReleasingSearch;
    h.map.fnIsOpen = &IsMapOpen;
    h.map.fnChooseFile = [fHeadless](int* pnFilter) { return ChooseMapFile(pnFilter, fHeadless); };
    h.map.fnInfo = &ShowMapInfo;
    h.map.fnAtlasDialog = &ShowAtlasDialog;
    h.map.fnIsFrameRendering = &IsMapFrameRendering;
    h.map.fnStopRenderingFrame = &StopMapFrame;
    h.map.fnApplyNightMode = [](int) { ApplyNightModeSetting(); };
    h.map.fnCheckAutoNightMode = &CheckAutoNightMode;
    h.map.fnClearSelection = &ClearMapSelection;

    CMapLayers& layers = MapLayers();
    // Long frames keep the window responsive through the event loop.
    layers.fnPumpMessages = [] { QCoreApplication::processEvents(); };
    layers.fnCurrentPosition = &CursorPositionFromLastFix;
    layers.fnLatestFix = [](GpsFix& fix) {
        fix = GetCurrentFix();
        return true;
    };
    layers.fnDrawTrack = &DrawTrackLayer;
    layers.fnDrawRoutes = &DrawRoutesLayer;
    layers.fnDrawBearing = &DrawBearingLayer;
    layers.fnDrawGpsStatus = &DrawGpsStatus;
    // The waypoint layer, the moving waypoint and the hit test.
    InstallWaypointLayer();
}

void WireTracks(CSubsystemHooks& h) {
    h.tracks.fnStartRecording = &StartTrackRecording;
    h.tracks.fnStopRecording = &StopTrackRecording;
    h.tracks.fnRecordingChanged = [](bool fRecording) {
        if (fRecording)
            EnableVisualTrack();
        else
            DisableVisualTrack();
    };
    h.tracks.fnStartOnScreen = [] { ShowErrorBox(OpenOnScreenTrack(ScreenFactorX())); };
    h.tracks.fnCloseOnScreen = &CloseOnScreenTrack;
    h.tracks.pfnCrashStopRecording = &CloseTrackFile;
    // Positioning hands moved fixes to the track file and the on-screen track.
    CPositioningHooks& p = PositioningHooks();
    p.pfnTrackAddFix = &AddTrackPoint;
    p.pfnTrackStartNew = &StartNewTrack;
    p.pfnScreenTrackAddPoint = &AddVisualPoint;
    p.pfnScreenTrackBreak = &BreakVisualTrack;
}

void WirePositioning(CSubsystemHooks& h) {
    h.positioning.fnStart = [](bool fStartThread) {
        if (fStartThread)
            StartPositioning();
        else
            InitPositioning();
    };
    h.positioning.fnStop = &StopPositioning;
    h.positioning.fnIsRunning = &IsPositioningRunning;
    CPositioningHooks& p = PositioningHooks();
    p.pfnOpenDemoTrack = &OpenTrackSource;
    p.pfnPagesPositioningStarted = &TellPagesPositioningStarted;
    p.pfnPagesPositioningStopped = &TellPagesPositioningStopped;
    // Headless runs (the tests) may replay the simulated drive faster.
    if (const char* sz = std::getenv("VELKA_HEADLESS_FIX_INTERVAL"); sz && IsHeadlessEnvironment())
        SetSimulationInterval(static_cast<DWORD>(std::clamp(std::atoi(sz), 10, 1000)));
}

void WireNavigation(CSubsystemHooks& h, bool fHeadless) {
    SetNavigationHeadless(fHeadless);
    // The native map's route slot.
    InstallRouteSearch();
    h.afnCreatePage[1] = &CreateRoutePage;
    h.navigation.fnStart = &StartNavigation;
    h.navigation.fnStop = &StopNavigation;
    h.navigation.fnIsGuidanceActive = &IsGuidanceActive;
    h.navigation.fnStopGuidance = &StopGuidance;
    h.navigation.fnUpdate = &StepGuidance;
    h.navigation.fnSaveWaypoint = &SaveWaypointAtPosition;
    h.navigation.fnWaypointList = [] { CallHook(WaypointDialogs().fnList); };
    h.navigation.fnRouteList = &ShowRouteList;
    h.sound.fnStop = &StopSound;
    h.sound.fnPlayNext = &PlayNextSound;
    h.sound.fnBufferDone = &SoundBufferDone;

    CWaypointDialogs& d = WaypointDialogs();
    if (fHeadless) {
        d.fnEdit = &HeadlessWaypointEdit;
        d.fnList = &HeadlessWaypointList;
    } else {
        d.fnEdit = &EditWaypointWithDialog;
        d.fnList = &ShowWaypointList;
    }
    d.fnEditRoute = &EditRouteProperties;
    WaypointSymbolPixmap() = &DrawnWaypointSymbol;
}

void WireSearch(CSubsystemHooks& h, bool fHeadless) {
    h.search.fnFindCity = &FindCityOnOpenMap;
    h.search.fnFindInCity = &FindInCityOnOpenMap;
    h.search.fnFindAddress = &FindAddressOnOpenMap;
    h.search.fnFindNearest = &FindNearestOnOpenMap;
    CSearchUi& ui = SearchUi();
    ui.fnShowOnMap = &ShowFoundOnMap;
    ui.fnGoTo = &GoToFound;
    ui.fnReferencePoint = [] { return g_ptReference; };
    ui.fnIsMapOpen = [](const CMapParser* p) { return p == g_pMapParser; };
    if (!ui.fnTypeIcon) ui.fnTypeIcon = &TypeSampleIcon;
    ui.fHeadless = fHeadless;
}

void WireGauges(CSubsystemHooks& h, bool fHeadless) {
    h.afnCreatePage[2] = [] { return std::unique_ptr<CPage>(std::make_unique<CGaugePage>()); };
    h.afnCreatePage[3] = [] { return std::unique_ptr<CPage>(std::make_unique<CSatellitePage>()); };
    h.gauges.fnRegister = &RegisterGauges;
    h.gauges.fnUnregister = &UnregisterGauges;
    // Read at start-up and again after the options dialog changed them.
    h.gauges.fnReadUnitOptions = &ReadUnitOptions;
    h.gauges.fnCreateFonts = &CreateGaugeFonts;
    h.gauges.fnDeleteFonts = &DeleteGaugeFonts;
    h.gauges.fnPassFix = &PassFixToGauges;
    h.gauges.fnPositionLost = &TellGaugesPositionLost;
    h.gauges.fnSave = &SaveGaugeValues;
    // A reader thread reports the loss; the gauges hear of it on the
    // user-interface thread.
    PositioningHooks().pfnGaugesNoData = [] { UiHost().PostMessage(WM_GPS_NO_POSITION, 0, 0); };

    CGaugeSources& s = GaugeSources();
    s.fnStartupDuration = &StartupDuration;
    s.fnMapStatistics = &GatherMapStatistics;
    s.fnResetMapRenderings = &ResetMapRenderings;
    s.fnMapsInCache = &MapsInAtlasCache;
    s.fnRoutingTime = [] { return static_cast<DWORD>(LastRoutingTimeMs()); };
    // Headless: nothing is chosen, no file is asked for.
    CGaugeDialogs& d = GaugeDialogs();
    d.pfnChooseGauge = fHeadless ? nullptr : &ChooseGaugeWithDialog;
    d.pfnAskExportPath = fHeadless ? nullptr : &AskGaugeExportPath;
}

void WireDialogs(CSubsystemHooks& h) {
    h.dialogs.fnAbout = &ShowAbout;
    h.dialogs.fnOptions = &ShowOptionsDialog;
}

void WireSubsystems(CSubsystemHooks& h, bool fHeadless) {
    h.vecSelfChecks.push_back(&RunGeometrySelfChecks);
    WireMap(h, fHeadless);
    WireTracks(h);
    WirePositioning(h);
    WireNavigation(h, fHeadless);
    WireSearch(h, fHeadless);
    WireGauges(h, fHeadless);
    WireDialogs(h);
}

int RunNavigator(const CNavigatorRun& run) {
    const bool fHeadless = IsHeadlessEnvironment();
    CQtUiHost host(fHeadless);
    SetUiHost(&host);
    CQtAppPlatform platform(host);
    if (!run.strScreenshot.empty())
        platform.ScheduleScreenshot(QString::fromStdString(run.strScreenshot), run.msScreenshot);
    WireSubsystems(SubsystemHooks(), fHeadless);
    const int rc = VelkaMain(FromUtf8(run.strCmdLine), SW_SHOWDEFAULT, platform);
    SetUiHost(nullptr);
    return rc;
}

} // namespace velka
