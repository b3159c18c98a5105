// The start, stop and event hooks through which the shell drives the
// subsystems it does not own (maps, tracks, waypoints, routing, GPS,
// sound, search, gauges, units). Each is empty until the program's main
// assigns it; an empty hook does nothing (and a query hook answers with
// the value given beside it). Commands whose handler hook is empty are
// shown disabled.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell/page.h"

namespace velka {

struct CSubsystemHooks {
    // The four pages in index order (0 map, 1 route, 2 gauges, 3
    // satellites); an empty factory gives a page that draws its title.
    std::array<std::function<std::unique_ptr<CPage>()>, 4> afnCreatePage;

    // Start-up self-checks: they only assert.
    std::vector<std::function<void()>> vecSelfChecks;

    // Shared user-interface fonts, pens and brushes of the overlays.
    std::function<void()> fnCreateSharedUiObjects, fnDeleteSharedUiObjects;
    // The gauge catalogue: registered once the settings store is open and
    // the language chosen, before the pages; unregistered after them.
    std::function<void()> fnRegisterGauges, fnUnregisterGauges;
    // WM_USER+7: positioning lost the position (posted by a reader thread).
    std::function<void()> fnGaugesPositionLost;
    // Unit and address-format options, gauge fonts.
    std::function<void()> fnReadUnitOptions, fnCreateGaugeFonts, fnDeleteGaugeFonts;
    // Shared image list (bitmap 213 in 9 x 9 cells, icon 161).
    std::function<void()> fnLoadSharedImages, fnDestroySharedImages;
    // The ten search icons.
    std::function<void()> fnLoadSearchIcons, fnDestroySearchIcons;

    // Opens a map file (fAtlas: an atlas index); true on success. The map
    // page's LoadMap, with its own error messages.
    std::function<bool(const std::u16string& strPath, bool fAtlas)> fnOpenMap;
    std::function<bool()> fnIsMapOpen;            // default false
    // Map frame rendering: an exit request is deferred while a frame runs.
    std::function<bool()> fnIsFrameRendering;     // default false
    std::function<void()> fnStopRenderingFrame;

    // Sound output (stopped at shutdown), next queued sound, buffer done.
    std::function<void()> fnStopSound, fnPlayNextSound, fnSoundBufferDone;

    // Track recording and the on-screen track.
    std::function<void()> fnStartTrackRecording, fnStopTrackRecording;
    std::function<void(bool fRecording)> fnTrackRecordingChanged; // tells the on-screen track
    std::function<void()> fnStartOnScreenTrack, fnCloseOnScreenTrack;
    // Waypoints, routes and navigation (stop saves the waypoints).
    std::function<void()> fnStartNavigation, fnStopNavigation;
    std::function<bool()> fnIsGuidanceActive;     // default false
    std::function<void()> fnStopGuidance;
    std::function<void()> fnNavigationUpdate;     // WM_USER+3
    // Positioning: events, and the reading thread when fStartThread.
    std::function<void(bool fStartThread)> fnStartPositioning;
    std::function<void()> fnStopPositioning;
    std::function<bool()> fnIsPositioningRunning; // default false
    // WM_USER+2: the new fix to every gauge, then the automatic night mode.
    std::function<void()> fnPassFixToGauges, fnCheckAutoNightMode;
    // Applies the NightMode setting to the skins.
    std::function<void(int nMode)> fnApplyNightMode;
    // Timer 16: clears the object-selection list; true when it was not empty.
    std::function<bool()> fnClearSelection;

    // Menu commands that open dialogs of other subsystems.
    std::function<void()> fnAbout;                // 40003
    std::function<void(int nFirstPage)> fnOptions; // 40010
    std::function<bool()> fnSaveWaypoint;         // 40011: true when saved
    std::function<void()> fnWaypointList;         // 40020
    std::function<void()> fnAtlasDialog;          // 40022
    std::function<void()> fnSaveGauges;           // 40026
    std::function<void()> fnMapInfo;              // 40037
    std::function<void()> fnFindInCity;           // 40075
    std::function<void()> fnFindAddress;          // 40076
    std::function<void()> fnFindNearest;          // 40090
    std::function<void()> fnFindCity;             // 40091
    std::function<void()> fnRouteList;            // 40133
    // 57601: asks for a map file (filter index in/out); empty when cancelled.
    std::function<std::u16string(int* pnFilterIndex)> fnChooseMapFile;

    // Called by the crash filter after a fault in the window procedure,
    // before the process ends: must not take locks a crashed thread may hold.
    void (*pfnCrashStopTrackRecording)() = nullptr;
};

// The process's hooks (filled by main before start-up).
CSubsystemHooks& SubsystemHooks();

// Calls a hook when it is set.
template <class F, class... A>
void CallHook(const F& fn, A&&... args) {
    if (fn) fn(std::forward<A>(args)...);
}
// Calls a query hook, or answers fDefault when it is empty.
inline bool AskHook(const std::function<bool()>& fn, bool fDefault = false) {
    return fn ? fn() : fDefault;
}

// Runs every self-check of the list and the shell's own (file-name patterns).
void RunSelfChecks();

} // namespace velka
