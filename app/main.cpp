// velka, the navigator. Its own options come first and begin with "--";
// everything after them is the program's command line ("/Start", a map
// file, or "-D" with an atlas index), joined into one string.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/navigation_hooks.h"
#include "app/qt_app_platform.h"
#include "app/qt_options_dialog.h"
#include "app/qt_waypoint_list_dialog.h"
#include "gauges/units.h"
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
    std::printf("usage: velka [--screenshot FILE.png] [/Start | MAP-FILE | -D ATLAS-INDEX]\n");
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
    h.fnStartOnScreenTrack = [] { velka::OpenOnScreenTrack(velka::ScreenFactorX()); };
    h.fnCloseOnScreenTrack = &velka::CloseOnScreenTrack;
    h.fnTrackRecordingChanged = [](bool fRecording) {
        if (fRecording)
            velka::EnableVisualTrack();
        else
            velka::DisableVisualTrack();
    };
    // Positioning hands moved fixes to the track file and the on-screen track.
    velka::g_pfnOpenDemoTrack = &OpenDemoTrack;
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
    // Waypoint dialogs: the edit dialog (called by the map's waypoint
    // commands), the list dialog and its menu command 40020.
    velka::InstallWaypointDialogs(h, velka::IsHeadlessEnvironment());
    // Routes, guidance, prompts and the route page (replaces the waypoint
    // start and stop above with the same plus navigation).
    velka::InstallNavigationHooks(h, velka::IsHeadlessEnvironment());

    h.fnAbout = [] {
        const std::u16string strText = velka::MainCaption() + u"\n" + velka::c_szVersion;
        velka::UiHost().MessageBox(strText, velka::MainCaption(), velka::MB_ICONINFORMATION);
    };

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
    std::size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) {
            strScreenshot = args[++i];
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
    if (!strScreenshot.empty()) platform.ScheduleScreenshot(QString::fromStdString(strScreenshot), 700);
    AssignHooks();

    int rc = velka::VelkaMain(velka::FromUtf8(strCmdLine), velka::SW_SHOWDEFAULT, platform);
    velka::SetUiHost(nullptr);
    return rc;
}
