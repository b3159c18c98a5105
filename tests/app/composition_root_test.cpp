// The composition root: every hook the shell and the lower layers offer is
// wired (an empty hook disables its command or silently drops an event),
// the headless wiring picks the headless dialogs, and the parts fill only
// what they name.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/composition_root.h"
#include "app/qt_waypoint_list_dialog.h"
#include "gauges/gauge_dialogs.h"
#include "gauges/gauge_sources.h"
#include "gps/positioning.h"
#include "mapview/map_page.h"
#include "search/search_dialogs.h"
#include "tests/support/qt_app.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

// The names of the hooks that are empty.
class CEmpty {
public:
    template <class F>
    void operator()(const char* szName, const F& fn) {
        if (!fn) m_vecNames.emplace_back(szName);
    }
    std::vector<std::string> m_vecNames;
};

#define VELKA_HOOK(check, x) check(#x, x)

std::vector<std::string> EmptyShellHooks(const CSubsystemHooks& h) {
    CEmpty e;
    for (std::size_t i = 0; i < h.afnCreatePage.size(); ++i)
        e(("afnCreatePage[" + std::to_string(i) + "]").c_str(), h.afnCreatePage[i]);
    VELKA_HOOK(e, h.map.fnOpen);
    VELKA_HOOK(e, h.map.fnIsOpen);
    VELKA_HOOK(e, h.map.fnChooseFile);
    VELKA_HOOK(e, h.map.fnInfo);
    VELKA_HOOK(e, h.map.fnAtlasDialog);
    VELKA_HOOK(e, h.map.fnIsFrameRendering);
    VELKA_HOOK(e, h.map.fnStopRenderingFrame);
    VELKA_HOOK(e, h.map.fnApplyNightMode);
    VELKA_HOOK(e, h.map.fnCheckAutoNightMode);
    VELKA_HOOK(e, h.map.fnClearSelection);
    VELKA_HOOK(e, h.tracks.fnStartRecording);
    VELKA_HOOK(e, h.tracks.fnStopRecording);
    VELKA_HOOK(e, h.tracks.fnRecordingChanged);
    VELKA_HOOK(e, h.tracks.fnStartOnScreen);
    VELKA_HOOK(e, h.tracks.fnCloseOnScreen);
    VELKA_HOOK(e, h.tracks.pfnCrashStopRecording);
    VELKA_HOOK(e, h.navigation.fnStart);
    VELKA_HOOK(e, h.navigation.fnStop);
    VELKA_HOOK(e, h.navigation.fnIsGuidanceActive);
    VELKA_HOOK(e, h.navigation.fnStopGuidance);
    VELKA_HOOK(e, h.navigation.fnUpdate);
    VELKA_HOOK(e, h.navigation.fnSaveWaypoint);
    VELKA_HOOK(e, h.navigation.fnWaypointList);
    VELKA_HOOK(e, h.navigation.fnRouteList);
    VELKA_HOOK(e, h.positioning.fnStart);
    VELKA_HOOK(e, h.positioning.fnStop);
    VELKA_HOOK(e, h.positioning.fnIsRunning);
    VELKA_HOOK(e, h.sound.fnStop);
    VELKA_HOOK(e, h.sound.fnPlayNext);
    VELKA_HOOK(e, h.sound.fnBufferDone);
    VELKA_HOOK(e, h.search.fnFindInCity);
    VELKA_HOOK(e, h.search.fnFindAddress);
    VELKA_HOOK(e, h.search.fnFindNearest);
    VELKA_HOOK(e, h.search.fnFindCity);
    VELKA_HOOK(e, h.gauges.fnRegister);
    VELKA_HOOK(e, h.gauges.fnUnregister);
    VELKA_HOOK(e, h.gauges.fnReadUnitOptions);
    VELKA_HOOK(e, h.gauges.fnCreateFonts);
    VELKA_HOOK(e, h.gauges.fnDeleteFonts);
    VELKA_HOOK(e, h.gauges.fnPassFix);
    VELKA_HOOK(e, h.gauges.fnPositionLost);
    VELKA_HOOK(e, h.gauges.fnSave);
    VELKA_HOOK(e, h.dialogs.fnAbout);
    VELKA_HOOK(e, h.dialogs.fnOptions);
    return e.m_vecNames;
}

std::vector<std::string> EmptyLayerHooks() {
    CEmpty e;
    const CPositioningHooks& p = PositioningHooks();
    VELKA_HOOK(e, p.pfnTrackAddFix);
    VELKA_HOOK(e, p.pfnTrackStartNew);
    VELKA_HOOK(e, p.pfnScreenTrackAddPoint);
    VELKA_HOOK(e, p.pfnScreenTrackBreak);
    VELKA_HOOK(e, p.pfnGaugesNoData);
    VELKA_HOOK(e, p.pfnPagesPositioningStarted);
    VELKA_HOOK(e, p.pfnPagesPositioningStopped);
    VELKA_HOOK(e, p.pfnOpenDemoTrack);
    const CMapLayers& l = MapLayers();
    VELKA_HOOK(e, l.fnDrawTrack);
    VELKA_HOOK(e, l.fnDrawRoutes);
    VELKA_HOOK(e, l.fnDrawWaypoints);
    VELKA_HOOK(e, l.fnDrawBearing);
    VELKA_HOOK(e, l.fnDrawMovingWaypoint);
    VELKA_HOOK(e, l.fnCurrentPosition);
    VELKA_HOOK(e, l.fnLatestFix);
    VELKA_HOOK(e, l.fnFindItems);
    VELKA_HOOK(e, l.fnDrawGpsStatus);
    VELKA_HOOK(e, l.fnPumpMessages);
    const CGaugeSources& s = GaugeSources();
    VELKA_HOOK(e, s.fnMapStatistics);
    VELKA_HOOK(e, s.fnResetMapRenderings);
    VELKA_HOOK(e, s.fnMapsInCache);
    VELKA_HOOK(e, s.fnStartupDuration);
    VELKA_HOOK(e, s.fnRoutingTime);
    const CWaypointDialogs& w = WaypointDialogs();
    VELKA_HOOK(e, w.fnEdit);
    VELKA_HOOK(e, w.fnEditRoute);
    VELKA_HOOK(e, w.fnList);
    VELKA_HOOK(e, w.fnShowOnMap);
    VELKA_HOOK(e, w.fnChanged);
    const CSearchUi& u = SearchUi();
    VELKA_HOOK(e, u.fnShowOnMap);
    VELKA_HOOK(e, u.fnGoTo);
    VELKA_HOOK(e, u.fnReferencePoint);
    VELKA_HOOK(e, u.fnTypeIcon);
    VELKA_HOOK(e, u.fnIsMapOpen);
    VELKA_HOOK(e, WaypointSymbolPixmap());
    return e.m_vecNames;
}

class CompositionRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        Clear();
    }
    void TearDown() override { Clear(); }
    static void Clear() {
        PositioningHooks() = CPositioningHooks{};
        MapLayers() = CMapLayers{};
        GaugeSources() = CGaugeSources{};
        GaugeDialogs() = CGaugeDialogs{};
        WaypointDialogs() = CWaypointDialogs{};
        SearchUi() = CSearchUi{};
        WaypointSymbolPixmap() = nullptr;
    }
};

TEST_F(CompositionRootTest, EveryHookIsWired) {
    CSubsystemHooks h;
    WireSubsystems(h, true);
    EXPECT_EQ(EmptyShellHooks(h), std::vector<std::string>{});
    EXPECT_EQ(EmptyLayerHooks(), std::vector<std::string>{});
    EXPECT_FALSE(h.vecSelfChecks.empty());
    // Navigation sets the prompt queue while it runs, not before.
    EXPECT_EQ(PositioningHooks().pfnQueueGpsPrompt, nullptr);
}

TEST_F(CompositionRootTest, HeadlessWiringUsesTheHeadlessDialogs) {
    CSubsystemHooks h;
    WireSubsystems(h, true);
    EXPECT_EQ(GaugeDialogs().pfnChooseGauge, nullptr) << "nothing to choose with";
    EXPECT_EQ(GaugeDialogs().pfnAskExportPath, nullptr);
    EXPECT_TRUE(SearchUi().fHeadless);
    Clear();
    WireSubsystems(h, false);
    EXPECT_NE(GaugeDialogs().pfnChooseGauge, nullptr);
    EXPECT_NE(GaugeDialogs().pfnAskExportPath, nullptr);
    EXPECT_FALSE(SearchUi().fHeadless);
}

TEST_F(CompositionRootTest, PartsFillOnlyTheirOwnGroups) {
    CSubsystemHooks h;
    WirePositioning(h);
    const std::vector<std::string> empty = EmptyShellHooks(h);
    // Positioning alone: its three hooks and nothing else of the shell's.
    EXPECT_EQ(std::count(empty.begin(), empty.end(), "h.positioning.fnStart"), 0);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), "h.positioning.fnIsRunning"), 0);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), "h.tracks.fnStartRecording"), 1);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), "h.map.fnOpen"), 1);
    EXPECT_NE(PositioningHooks().pfnOpenDemoTrack, nullptr);
    EXPECT_EQ(PositioningHooks().pfnTrackAddFix, nullptr) << "the track feeds belong to the tracks";
    WireTracks(h);
    EXPECT_NE(PositioningHooks().pfnTrackAddFix, nullptr);
    EXPECT_NE(h.tracks.pfnCrashStopRecording, nullptr);
}

} // namespace
} // namespace velka
