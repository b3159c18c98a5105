// Frame time of the map page (map layer, labels and the copy to the
// finished-frame buffer) at 1280 x 800 at every scale index from 2 to 12,
// antialiased and not, over the dense centres of Liechtenstein (Vaduz) and
// Monaco, both as compiled by mapc from the OpenStreetMap extracts and as
// the IMG maps mkgmap made of them, and over the middle of Andorra as
// compiled and as the IMG map (valley towns between large forests and
// peaks). The counters break the frame down:
// draw (the map's Draw: reading the map, recording its areas and lines),
// raster (drawing what was recorded, in two bands at once on two cores),
// labels (texts and icons after the map layer), all in milliseconds of
// wall time; the CPU column adds up the time of both threads.
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
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

struct CBenchMap {
    const char* szName;
    const char* szFile; // OSM extract (compiled) or IMG map of the corpus
    bool fImg;
    double dLon, dLat;
};

constexpr CBenchMap c_aMaps[] = {
    {"vaduz-zem", "liechtenstein-20150727.osm.pbf", false, 9.5215, 47.1410},
    {"monaco-zem", "monaco-20210421.osm.pbf", false, 7.4246, 43.7384},
    {"vaduz-img", "liechtenstein-6bit-route.img", true, 9.5215, 47.1410},
    {"monaco-img", "monaco-6bit-route.img", true, 7.4246, 43.7384},
    {"andorra-zem", "andorra-20200501.osm.pbf", false, 1.5999, 42.5424},
    {"andorra-img", "andorra-6bit-route.img", true, 1.5999, 42.5424},
};

// The map file of a benchmark map (compiled once per run); empty when its
// source is missing.
std::string MapPath(const CBenchMap& m) {
    if (m.fImg) {
        const std::string path = std::string(VELKA_CORPUS_DIR) + "/img/" + m.szFile;
        return std::filesystem::exists(path) ? path : std::string();
    }
    static std::map<std::string, std::string> s_compiled;
    const auto it = s_compiled.find(m.szName);
    if (it != s_compiled.end()) return it->second;
    const std::string out =
        std::filesystem::temp_directory_path() / (std::string("velka-bench-") + m.szName + ".zem");
    {
        const std::vector<BYTE> bytes = std::string(m.szFile) == "liechtenstein-20150727.osm.pbf"
                                            ? bench::MediumMapBytes()
                                            : bench::CompileCorpusExtract(m.szFile);
        if (bytes.empty()) return {};
        WriteFileAtomic(out, bytes.data(), bytes.size());
    }
    s_compiled[m.szName] = out;
    return out;
}

void BM_MapFrame(benchmark::State& state) {
    const CBenchMap& m = c_aMaps[state.range(0)];
    const unsigned uScale = static_cast<unsigned>(state.range(1));
    const bool fAntialias = state.range(2) != 0;
    const std::string strPath = MapPath(m);
    if (strPath.empty()) {
        state.SkipWithError("map source absent");
        return;
    }
    state.SetLabel(m.szName);
    {
        CMapPage page;
        page.SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
        page.SetClientSize(1280, 800);
        page.Init();
        page.SetAntialias(fAntialias);
        if (!page.LoadMap(FromUtf8(strPath), false)) {
            state.SkipWithError("no map");
            return;
        }
        page.Position().SetPersistent(false);
        page.Position().SetScale(uScale);
        page.Position().SetCenter(DegreesToUnits(m.dLon), DegreesToUnits(m.dLat));
        page.RefreshMap(true); // bitmaps, fonts and icons made once
        g_FrameStats.fLayerTimes = true;
        double adSum[3] = {};
        unsigned cObjects = 0;
        for (auto _ : state) {
            page.RefreshMap(true);
            cObjects = g_FrameStats.cPolygons + g_FrameStats.cPolylines + g_FrameStats.cPoints;
            adSum[0] += g_FrameStats.usDraw;
            adSum[1] += g_FrameStats.usRaster;
            adSum[2] += g_FrameStats.usLabels;
        }
        g_FrameStats.fLayerTimes = false;
        const double n = 1000.0 * static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
        state.counters["objects"] = cObjects;
        state.counters["draw"] = adSum[0] / n;
        state.counters["raster"] = adSum[1] / n;
        state.counters["labels"] = adSum[2] / n;
        page.Done();
    }
}
BENCHMARK(BM_MapFrame)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, benchmark::CreateDenseRange(2, 12, 1), {1, 0}})
    ->ArgNames({"map", "scale", "aa"})
    ->MeasureProcessCPUTime()
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
