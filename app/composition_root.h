// The navigator's composition root: the one place that fills every
// subsystem's hooks (the shell's groups in CSubsystemHooks and the hook
// structs the lower layers own: positioning's feeds, the map layers, the
// gauges' sources and dialogs, the waypoint and search dialogs' hooks, the
// native map's route slot), and the run of the navigator over Qt.
#pragma once
#include <string>

#include "shell/subsystem_hooks.h"

namespace velka {

// Everything, in the order the parts below are listed. fHeadless: the
// dialogs' headless forms (scripted through the environment).
void WireSubsystems(CSubsystemHooks& h, bool fHeadless);

// The parts, for tests that start a part of the navigator the way the
// program does (each fills only what it names; the rest stays as it was).
// The map page (page 0), the map hooks, the map layers over positioning
// and the on-screen track, File > Open Map / About Map and the atlas dialog.
void WireMap(CSubsystemHooks& h, bool fHeadless);
// Track recording and the on-screen track, fed by positioning; the crash
// path's track close.
void WireTracks(CSubsystemHooks& h);
// Positioning's start and stop, the demo track it replays and the pages it
// tells.
void WirePositioning(CSubsystemHooks& h);
// The waypoint store, routes (the native map's route search), guidance,
// prompts and sound, the route page (page 1) and the waypoint and route
// dialogs.
void WireNavigation(CSubsystemHooks& h, bool fHeadless);
// The search dialogs and what they do on the map.
void WireSearch(CSubsystemHooks& h, bool fHeadless);
// The gauge catalogue, the gauge and satellite pages (2, 3), the values the
// gauges read from the map and start-up, and their dialogs.
void WireGauges(CSubsystemHooks& h, bool fHeadless);
// Options and About.
void WireDialogs(CSubsystemHooks& h);

// What the command line asks of a run.
struct CNavigatorRun {
    std::string strCmdLine;    // "/Start", a map file or "-D<atlas index>"
    std::string strScreenshot; // a picture of the window, then exit
    int msScreenshot = 700;
};
// Runs the navigator (the QApplication exists): the user-interface host,
// the platform, the wiring and the start-up sequence; the exit code.
int RunNavigator(const CNavigatorRun& run);

} // namespace velka
