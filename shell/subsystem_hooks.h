// The start, stop and event hooks through which the shell drives the
// subsystems it does not own, one group per subsystem (maps, tracks,
// waypoints and navigation, positioning, sound, search, gauges, dialogs).
// Each is empty until the composition root (app/composition_root.cpp)
// fills it at start-up; an empty hook does nothing (and a query hook
// answers with the value given beside it). Commands whose handler hook is
// empty are shown disabled.
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

    struct Map {
        // Opens a map file (fAtlas: an atlas index); true on success. The
        // map page's LoadMap, with its own error messages.
        std::function<bool(const std::u16string& strPath, bool fAtlas)> fnOpen;
        std::function<bool()> fnIsOpen;               // default false
        // 57601: asks for a map file (filter index in/out); empty when cancelled.
        std::function<std::u16string(int* pnFilterIndex)> fnChooseFile;
        std::function<void()> fnInfo;                 // 40037
        std::function<void()> fnAtlasDialog;          // 40022
        // Frame rendering: an exit request is deferred while a frame runs.
        std::function<bool()> fnIsFrameRendering;     // default false
        std::function<void()> fnStopRenderingFrame;
        // Applies the NightMode setting to the skins; after every fix, the
        // automatic night mode.
        std::function<void(int nMode)> fnApplyNightMode;
        std::function<void()> fnCheckAutoNightMode;
        // Timer 16: clears the object-selection list; true when it was not empty.
        std::function<bool()> fnClearSelection;
    } map;

    struct Tracks {
        std::function<void()> fnStartRecording, fnStopRecording;
        std::function<void(bool fRecording)> fnRecordingChanged; // tells the on-screen track
        std::function<void()> fnStartOnScreen, fnCloseOnScreen;
        // Called by the crash filter after a fault in the window procedure,
        // before the process ends: must not take locks a crashed thread may
        // hold, so a plain function.
        void (*pfnCrashStopRecording)() = nullptr;
    } tracks;

    // Waypoints, routes and guidance (stop saves the waypoints).
    struct Navigation {
        std::function<void()> fnStart, fnStop;
        std::function<bool()> fnIsGuidanceActive;     // default false
        std::function<void()> fnStopGuidance;
        std::function<void()> fnUpdate;               // WM_USER+3
        std::function<bool()> fnSaveWaypoint;         // 40011: true when saved
        std::function<void()> fnWaypointList;         // 40020
        std::function<void()> fnRouteList;            // 40133
    } navigation;

    // Positioning: events, and the reading thread when fStartThread.
    struct Positioning {
        std::function<void(bool fStartThread)> fnStart;
        std::function<void()> fnStop;
        std::function<bool()> fnIsRunning;            // default false
    } positioning;

    // Sound output (stopped at shutdown), next queued sound, buffer done.
    struct Sound {
        std::function<void()> fnStop, fnPlayNext, fnBufferDone;
    } sound;

    struct Search {
        std::function<void()> fnFindInCity;           // 40075
        std::function<void()> fnFindAddress;          // 40076
        std::function<void()> fnFindNearest;          // 40090
        std::function<void()> fnFindCity;             // 40091
    } search;

    struct Gauges {
        // The catalogue: registered once the settings store is open and the
        // language chosen, before the pages; unregistered after them.
        std::function<void()> fnRegister, fnUnregister;
        // Unit and address-format options, the gauge fonts.
        std::function<void()> fnReadUnitOptions, fnCreateFonts, fnDeleteFonts;
        // WM_USER+2: the new fix to every gauge.
        std::function<void()> fnPassFix;
        // WM_USER+7: positioning lost the position (posted by a reader thread).
        std::function<void()> fnPositionLost;
        std::function<void()> fnSave;                 // 40026
    } gauges;

    // Dialogs of the program itself.
    struct Dialogs {
        std::function<void()> fnAbout;                // 40003
        std::function<void(int nFirstPage)> fnOptions; // 40010
    } dialogs;
};

// The process's hooks (filled by the composition root before start-up).
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
