// Frame time of Garmin IMG maps built by mkgmap, drawn into a recording
// paint context (no rasterising) at a whole-map, a town and a street view.
#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mapdata/img_parser.h"
#include "mapdata/recording_paint.h"

namespace {

using namespace velka;

const std::vector<BYTE>& MapBytes(const std::string& strName) {
    static std::map<std::string, std::vector<BYTE>> s_files;
    auto& v = s_files[strName];
    if (v.empty()) {
        std::ifstream f(std::string(VELKA_CORPUS_DIR) + "/img/" + strName, std::ios::binary);
        f.seekg(0, std::ios::end);
        const std::streamoff cb = f.tellg();
        if (cb <= 0) return v;
        v.resize(static_cast<std::size_t>(cb));
        f.seekg(0);
        f.read(reinterpret_cast<char*>(v.data()), cb);
    }
    return v;
}

// View: 0 the whole map at its coarsest scale, 1 a quarter of it at the
// 20-bit level, 2 a sixteenth at the finest level.
void BM_DrawImg(benchmark::State& state, const char* szFile) {
    const auto& bytes = MapBytes(szFile);
    auto parser = OpenMapMemory(u"bench.img", bytes.data(), bytes.size(), c_dwOpenAll);
    if (!parser) {
        state.SkipWithError("map not found");
        return;
    }
    static const struct {
        unsigned uScale;
        int nCode;
        int nDivide;
    } c_aViews[] = {{16, 18, 1}, {13, 20, 2}, {7, 24, 4}};
    const auto& view = c_aViews[state.range(0)];
    CMapRect rc = parser->Bounds();
    const LONG cx = (rc.right - rc.left) / view.nDivide / 2, cy = (rc.bottom - rc.top) / view.nDivide / 2;
    rc = {rc.CenterX() - cx, rc.CenterY() - cy, rc.CenterX() + cx, rc.CenterY() + cy};
    std::size_t cObjects = 0;
    for (auto _ : state) {
        CRecordingPaintContext pc(rc, 1024, 768, view.uScale, view.nCode);
        CRecordingLabelStore labels;
        parser->Draw(pc, labels);
        cObjects += pc.m_polygons.size() + pc.m_polylines.size() + labels.m_labels.size();
    }
    state.counters["objects/frame"] =
        benchmark::Counter(static_cast<double>(cObjects), benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_DrawImg, andorra_6bit, "andorra-6bit-route.img")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrawImg, liechtenstein_6bit, "liechtenstein-6bit-route.img")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrawImg, moscow_cp1251, "moscow-center-cp1251-net.img")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
