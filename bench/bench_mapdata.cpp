// Native map decoding speed: a whole-level walk through the object
// decoder, and a full draw of the finest level into a recording context.
// The map is the medium OpenStreetMap extract compiled by mapc (the demo
// town when the extract is absent).
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_medium_map.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "platform/paths.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/zem_writer.h"

namespace {

using namespace velka;

const std::vector<BYTE>& MapBytes() { return bench::MediumMapBytes(); }

void BM_DecodeLevelWalk(benchmark::State& state) {
    const auto& bytes = MapBytes();
    auto parser = OpenMapMemory(u"bench", bytes.data(), bytes.size(), c_dwOpenAll);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    if (!zem) {
        state.SkipWithError("no map");
        return;
    }
    const std::size_t nLevel = zem->LevelCount() - 1;
    char16_t raw[256];
    std::size_t cObjects = 0, cBytes = 0;
    std::size_t cbLevel = 0;
    zem->ForEachObject(nLevel, raw, 256, [&](int, const CZemBlock&, const CZemObject& obj) {
        cbLevel += static_cast<std::size_t>(obj.pNext - obj.pRecord);
    });
    for (auto _ : state) {
        zem->ForEachObject(nLevel, raw, 256, [&](int, const CZemBlock&, const CZemObject& obj) {
            benchmark::DoNotOptimize(zem->PointBuffer()[obj.cPoints - 1]);
            ++cObjects;
        });
        cBytes += cbLevel;
    }
    state.counters["objects/s"] = benchmark::Counter(static_cast<double>(cObjects), benchmark::Counter::kIsRate);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(cBytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeLevelWalk)->Unit(benchmark::kMillisecond);

void BM_DrawFinestLevel(benchmark::State& state) {
    const auto& bytes = MapBytes();
    auto parser = OpenMapMemory(u"bench", bytes.data(), bytes.size(), c_dwOpenAll);
    if (!parser) {
        state.SkipWithError("no map");
        return;
    }
    std::size_t cObjects = 0;
    for (auto _ : state) {
        CRecordingPaintContext pc(parser->Bounds(), 1024, 768, 0, 24);
        CRecordingLabelStore labels;
        parser->Draw(pc, labels);
        cObjects += pc.m_polygons.size() + pc.m_polylines.size() + labels.m_labels.size();
    }
    state.counters["objects/s"] = benchmark::Counter(static_cast<double>(cObjects), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawFinestLevel)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
