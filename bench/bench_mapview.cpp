// Frame time of the map page (map layer, labels and the copy to the
// finished-frame buffer) at 1280 x 800 over Vaduz, the densest part of the
// medium OpenStreetMap extract compiled by mapc, at scale indexes 5, 10, 15
// and 20, antialiased and not.
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_medium_map.h"
#include "mapview/map_page.h"
#include "mapdata/recording_paint.h"
#include "mapview/waypoint_layer.h"
#include "platform/paths.h"
#include "platform/qt/qt_canvas.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "shell/settings.h"

namespace {

using namespace velka;

const std::string& MapPath() {
    static const std::string s_path = [] {
        const std::vector<BYTE>& bytes = bench::MediumMapBytes();
        const std::string out = std::filesystem::temp_directory_path() / "velka-bench-view.zem";
        WriteFileAtomic(out, bytes.data(), bytes.size());
        return out;
    }();
    return s_path;
}

void BM_MapFrame(benchmark::State& state) {
    const unsigned uScale = static_cast<unsigned>(state.range(0));
    const bool fAntialias = state.range(1) != 0;
    {
        CMapPage page;
        page.SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
        page.SetClientSize(1280, 800);
        page.Init();
        page.SetAntialias(fAntialias);
        if (!page.LoadMap(FromUtf8(MapPath()), false)) {
            state.SkipWithError("no map");
            return;
        }
        page.Position().SetPersistent(false);
        page.Position().SetScale(uScale);
        page.Position().SetCenter(DegreesToUnits(9.5215), DegreesToUnits(47.1410));
        page.RefreshMap(true); // bitmaps, fonts and icons made once
        unsigned cObjects = 0;
        for (auto _ : state) {
            page.RefreshMap(true);
            cObjects = g_FrameStats.cPolygons + g_FrameStats.cPolylines + g_FrameStats.cPoints;
        }
        state.counters["objects"] = cObjects;
        page.Done();
    }
}
BENCHMARK(BM_MapFrame)
    ->ArgsProduct({{5, 10, 15, 20}, {1, 0}})
    ->ArgNames({"scale", "aa"})
    ->Unit(benchmark::kMillisecond);

// The waypoint layer of a 1280 x 800 frame: n waypoints spread over the
// view (symbols of every type, half of them labelled), icons and texts.
void BM_WaypointLayer(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    CWaypointStore store;
    for (int i = 0; i < n; ++i) {
        Waypoint* p = store.CreateWaypoint((i * 7919 % 40000) * 2, (i * 104729 % 30000) * 2, 0, std::nullopt, nullptr);
        p->wType = static_cast<WORD>(i % c_cWaypointCount);
        p->btShow = static_cast<BYTE>(i & 1);
    }
    CQtCanvas dc(1280, 800);
    dc.SetAntialias(true);
    struct CContext : CRecordingPaintContext {
        using CRecordingPaintContext::CRecordingPaintContext;
        ICanvas* pDC = nullptr;
        ICanvas& Canvas() override { return *pDC; }
    } pc({0, 0, 40000, 30000}, 1280, 800, 10, 20);
    pc.pDC = &dc;
    CMapLabelStore labels;
    labels.SetMeasureCanvas(&dc);
    for (auto _ : state) {
        labels.Clear(1280, 800);
        DrawWaypoints(pc, labels, store);
        labels.DrawWaypointTexts(pc, 1280);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_WaypointLayer)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qargc = 1;
    char szName[] = "bench_mapview";
    char* qargv[] = {szName, nullptr};
    QGuiApplication app(qargc, qargv);
    // A private settings store: the user's view is left alone.
    RegSetDatabasePath(":memory:");
    SettingsOpen();
    WriteSettingBool(u"ShowMapGauges", false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
