// velka, the navigator. Its own options come first and begin with "--";
// everything after them is the program's command line ("/Start", a map
// file, or "-D" with an atlas index), joined into one string.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/navigation_hooks.h"
#include "app/qt_app_platform.h"
#include "app/qt_atlas_dialog.h"
#include "app/qt_desktop_commands.h"
#include "app/qt_options_dialog.h"
#include "app/qt_waypoint_list_dialog.h"
#include "app/qt_gauge_dialogs.h"
#include "app/search_hooks.h"
#include "gauges/gauge.h"
#include "gauges/gauge_export.h"
#include "gauges/gauge_page.h"
#include "gauges/gauge_sources.h"
#include "gauges/satellite_page.h"
#include "gauges/units.h"
#include "mapdata/map_parser.h"
#include "shell/main_window.h"
#include "shell/message_boxes.h"
#include "shell/notifications.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "mapview/waypoint_layer.h"
#include "geometry/self_check.h"
#include "gps/positioning.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/qt/qt_ui_host.h"
#include "platform/text.h"
#include "routing/route_search.h"
#include "shell/file_types.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "shell/screen.h"
#include "shell/subsystem_hooks.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"
#include "waypoints/track_reader.h"
#include "waypoints/waypoint_ui.h"

namespace {

// The simulation replays a MapSource track through the track reader.
class CDemoTrack : public velka::IGpsTrackSource {
public:
    bool Open(const std::string& strPath) { return m_reader.Open(strPath); }
    bool NextPoint(velka::GpsFix& fix) override { return m_reader.NextPoint(fix); }
    void Rewind() override { m_reader.Rewind(); }

private:
    velka::CTrackReader m_reader;
};

std::unique_ptr<velka::IGpsTrackSource> OpenDemoTrack(const std::string& strPath) {
    auto pTrack = std::make_unique<CDemoTrack>();
    if (!pTrack->Open(strPath)) return nullptr;
    return pTrack;
}

void PrintUsage() {
    std::printf(
        "Usage: velka [--screenshot FILE.png [--screenshot-delay MS]] [/Start | MAP-FILE | -D ATLAS-INDEX]\n"
        "The Velka GPS navigator: shows a map (.zem, .img) or an atlas (-D Index.zidx),\n"
        "follows a GPS receiver on a serial port or through gpsd, records tracks.\n"
        "A second start hands its command line to the running navigator.\n"
        "\n"
        "Options:\n"
        "  --screenshot FILE.png  save a picture of the window shortly after start, then exit\n"
        "  --screenshot-delay MS  wait this long before the screenshot (default: shortly)\n"
        "  --help                 show this help and exit\n"
        "  --version              show the version and exit\n"
        "  /Start                 start again beside a running navigator (a restart)\n");
}

// ---- Waypoints on the map: the store is loaded at start-up and saved at
// shutdown; the map draws and hit-tests them; 40011 saves the position.
void AssignWaypointHooks(velka::CSubsystemHooks& h) {
    velka::InstallWaypointLayer();
    h.fnStartNavigation = [] { velka::StartWaypoints(velka::CWaypointStore::DefaultPath()); };
    h.fnStopNavigation = &velka::StopWaypoints;
    h.fnSaveWaypoint = [] {
        // The latest fix: its elevation when valid; the position the view
        // published last, or the GPS position while the view follows it.
        const velka::GpsFix fix = velka::GetCurrentFix();
        velka::CMapPoint pt = velka::g_ptReference;
        float fLon = 0, fLat = 0, fCourse = 0;
        if (velka::IsPositioningRunning() && velka::ReadSettingBool(u"KeepVisible", true) &&
            velka::GetLastPosition(&fLon, &fLat, &fCourse)) {
            int lX = 0, lY = 0;
            velka::GetLastPositionMapUnits(&lX, &lY);
            pt = {lX, lY};
        }
        return velka::SaveNewWaypoint(velka::TheWaypointStore(), pt, &fix);
    };
}
// ---- end of waypoints on the map

// ---- Gauges: the catalogue, the gauge and satellite pages, the map's
// gauge panel, the export and the chooser.
void AssignGaugeHooks(velka::CSubsystemHooks& h) {
    h.fnRegisterGauges = &velka::RegisterGauges;
    h.fnUnregisterGauges = &velka::UnregisterGauges;
    h.afnCreatePage[2] = [] { return std::unique_ptr<velka::CPage>(std::make_unique<velka::CGaugePage>()); };
    h.afnCreatePage[3] = [] { return std::unique_ptr<velka::CPage>(std::make_unique<velka::CSatellitePage>()); };
    h.fnCreateGaugeFonts = &velka::CreateGaugeFonts;
    h.fnDeleteGaugeFonts = &velka::DeleteGaugeFonts;
    h.fnPassFixToGauges = [] {
        if (velka::Gauges()) velka::Gauges()->UpdateAll(velka::GetCurrentFix());
    };
    // A reader thread reports the loss; the gauges hear of it on the
    // user-interface thread.
    velka::g_pfnGaugesNoData = [] { velka::UiHost().PostMessage(velka::WM_GPS_NO_POSITION, 0, 0); };
    h.fnGaugesPositionLost = [] {
        if (velka::Gauges()) velka::Gauges()->PositionLostAll();
    };
    h.fnSaveGauges = &velka::SaveGaugeValues;
    velka::MapLayers().fnDrawGpsStatus = [](velka::ICanvas& dc, int x, int y) {
        if (velka::IsPositioningRunning()) velka::DrawGpsStatusIcon(dc, x, y, velka::GetGpsIndicator());
    };
    velka::InstallGaugeDialogs(velka::IsHeadlessEnvironment());
    velka::CGaugeSources& s = velka::GaugeSources();
    s.fnStartupDuration = &velka::StartupDuration;
    s.fnMapStatistics = [] {
        velka::CMapStatistics m;
        const velka::CFrameStats& f = velka::g_FrameStats;
        m.fMap = velka::g_pMapParser != nullptr;
        m.msOpen = velka::g_msMapOpen;
        m.msMap = f.msMap;
        m.msTrack = f.msTrack;
        m.msWaypoints = f.msWaypoints;
        m.msRoutes = f.msRoutes;
        m.cObjects = f.cPolygons + f.cPolylines + f.cPoints;
        m.cFrames = f.cFrames.load();
        if (const velka::CMapPage* pPage = velka::MapPage()) m.nLevel = static_cast<int>(pPage->FinishedScale());
        if (velka::g_pMapParser) {
            velka::CMapName name;
            velka::g_pMapParser->GetName(name);
            std::u16string strPath = name.szName;
            const std::size_t k = strPath.find_last_of(u"/\\");
            m.strMapFile = k == std::u16string::npos ? strPath : strPath.substr(k + 1);
        }
        return m;
    };
    s.fnResetMapRenderings = [] { velka::g_FrameStats.cFrames = 0; };
    // Pages hear when positioning starts and stops.
    velka::g_pfnPagesPositioningStarted = [] {
        if (velka::g_hWnd)
            for (velka::UINT i = 0; i < velka::c_cPages; ++i) velka::g_hWnd->Page(i).OnPositioningStarted();
    };
    velka::g_pfnPagesPositioningStopped = [] {
        if (velka::g_hWnd)
            for (velka::UINT i = 0; i < velka::c_cPages; ++i) velka::g_hWnd->Page(i).OnPositioningStopped();
    };
}
// ---- end of gauges

// The hooks the navigator fills itself; the subsystems add theirs here as
// they come.
void AssignHooks() {
    velka::CSubsystemHooks& h = velka::SubsystemHooks();
    velka::InstallMapPageHooks(h);
    // Long map frames keep the window responsive through the event loop.
    velka::MapLayers().fnPumpMessages = [] { QCoreApplication::processEvents(); };
    // The GPS position for the cursor and for following, and the fix the
    // automatic night mode looks at.
    velka::MapLayers().fnCurrentPosition = [](velka::CCursorPosition& p) {
        float fLon = 0, fLat = 0, fCourse = 0, fSpeed = 0;
        bool fCourseValid = false, fSpeedValid = false;
        if (!velka::GetLastPosition(&fLon, &fLat, &fCourse, &fSpeed, &fCourseValid, &fSpeedValid)) return false;
        p.fAvailable = true;
        p.dLongitude = fLon;
        p.dLatitude = fLat;
        p.fHeading = fCourse;
        p.fSpeed = fSpeedValid ? fSpeed : 0.0f;
        p.fHeadingValid = fCourseValid;
        return true;
    };
    velka::MapStyles().m_fnLatestFix = [](velka::GpsFix& fix) {
        fix = velka::GetCurrentFix();
        return true;
    };
    velka::MapLayers().fnDrawTrack = [](velka::CPaintContext& pc) {
        auto mapToScreen = [&pc](const velka::CMapPoint& pt) { return pc.MapToScreen(pt); };
        auto isInterrupted = [&pc] { return pc.PumpMessages(); };
        velka::ICanvas& dc = pc.Canvas();
        velka::DrawVisualTrack(dc, mapToScreen, isInterrupted, dc.Width(), dc.Height());
        return pc.IsInterrupted();
    };
    h.vecSelfChecks.push_back(&velka::RunGeometrySelfChecks);
    h.fnStartTrackRecording = &velka::StartTrackRecording;
    h.fnStopTrackRecording = &velka::StopTrackRecording;
    h.pfnCrashStopTrackRecording = &velka::CloseTrackFile;
    h.fnStartOnScreenTrack = [] { velka::ShowErrorBox(velka::OpenOnScreenTrack(velka::ScreenFactorX())); };
    h.fnCloseOnScreenTrack = &velka::CloseOnScreenTrack;
    h.fnTrackRecordingChanged = [](bool fRecording) {
        if (fRecording)
            velka::EnableVisualTrack();
        else
            velka::DisableVisualTrack();
    };
    // Positioning hands moved fixes to the track file and the on-screen track.
    velka::g_pfnOpenDemoTrack = &OpenDemoTrack;
    // Headless runs (the tests) may replay the simulated drive faster.
    if (const char* sz = std::getenv("VELKA_HEADLESS_FIX_INTERVAL"); sz && velka::IsHeadlessEnvironment())
        velka::SetSimulationInterval(static_cast<velka::DWORD>(std::clamp(std::atoi(sz), 10, 1000)));
    velka::g_pfnTrackAddFix = &velka::AddTrackPoint;
    velka::g_pfnTrackStartNew = &velka::StartNewTrack;
    velka::g_pfnScreenTrackAddPoint = &velka::AddVisualPoint;
    velka::g_pfnScreenTrackBreak = &velka::BreakVisualTrack;
    h.fnStartPositioning = [](bool fStartThread) {
        if (fStartThread)
            velka::StartPositioning();
        else
            velka::InitPositioning();
    };
    h.fnStopPositioning = &velka::StopPositioning;
    h.fnIsPositioningRunning = &velka::IsPositioningRunning;
    AssignWaypointHooks(h);
    velka::InstallRouteSearch(); // the native map's route slot
    AssignGaugeHooks(h);
    // Waypoint dialogs: the edit dialog (called by the map's waypoint
    // commands), the list dialog and its menu command 40020.
    velka::InstallWaypointDialogs(h, velka::IsHeadlessEnvironment());
    // Routes, guidance, prompts and the route page (replaces the waypoint
    // start and stop above with the same plus navigation).
    velka::InstallNavigationHooks(h, velka::IsHeadlessEnvironment());
    // The search dialogs (40075, 40076, 40090, 40091).
    velka::InstallSearchHooks(h, velka::IsHeadlessEnvironment());

    // File > Open Map, File > About Map and the About box.
    velka::InstallDesktopCommands(h, velka::IsHeadlessEnvironment());
    velka::InstallAtlasDialog(h);

    // Options dialog (40010) and the unit options it edits, read at start-up
    // and again after the dialog changed them.
    h.fnOptions = &velka::ShowOptionsDialog;
    h.fnReadUnitOptions = &velka::ReadUnitOptions;
    // End of the options block.
}

} // namespace

int main(int argc, char** argv) {
    velka::GetTickCount(); // the start tick counts from here
    std::vector<std::string> args(argv + 1, argv + argc);

    // A fault report box, shown by a crashed instance through a new process.
    if (args.size() == 3 && args[0] == "--crash-report") {
        QApplication app(argc, argv);
        QMessageBox::critical(nullptr, QString::fromStdString(args[1]), QString::fromStdString(args[2]));
        return 0;
    }

    std::string strScreenshot;
    int msScreenshot = 700;
    std::size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) {
            strScreenshot = args[++i];
        } else if (args[i] == "--screenshot-delay" && i + 1 < args.size()) {
            // Milliseconds after start-up, e.g. a few fixes into the demo drive.
            msScreenshot = std::clamp(std::atoi(args[++i].c_str()), 0, 600000);
        } else if (args[i] == "--help") {
            PrintUsage();
            return 0;
        } else if (args[i] == "--version") {
            std::printf("velka %s\n", velka::ToUtf8(velka::c_szVersion).c_str());
            return 0;
        } else {
            std::fprintf(stderr, "velka: unknown option %s\n", args[i].c_str());
            PrintUsage();
            return 2;
        }
    }
    std::string strCmdLine;
    for (std::size_t k = i; k < args.size(); ++k) {
        // "-D" and the atlas path as two arguments are one "-D<path>".
        if (k > i && args[k - 1] != "-D") strCmdLine += ' ';
        strCmdLine += args[k];
    }

    QGuiApplication::setDesktopFileName(QStringLiteral("velka"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QString::fromStdString(velka::FindDataFile(velka::c_szIconFile))));

    velka::CQtUiHost host(velka::IsHeadlessEnvironment());
    velka::SetUiHost(&host);
    velka::CQtAppPlatform platform(host);
    if (!strScreenshot.empty()) platform.ScheduleScreenshot(QString::fromStdString(strScreenshot), msScreenshot);
    AssignHooks();

    int rc = velka::VelkaMain(velka::FromUtf8(strCmdLine), velka::SW_SHOWDEFAULT, platform);
    velka::SetUiHost(nullptr);
    return rc;
}
