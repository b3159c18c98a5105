// One frame of an atlas against one frame of the whole map it was cut
// from, at the same view: the Liechtenstein extract compiled whole and as
// tiles of 0.1 degrees. Frames after the first reuse the maps the atlas
// keeps open, as the map page's frames do.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "mapdata/map_parser.h"
#include "mapdata/recording_paint.h"
#include "mapdata/zidx_build.h"
#include "mapdata/zidx_parser.h"
#include "platform/text.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/mapc_tiles.h"
#include "tools/mapc/zem_writer.h"

namespace {

using namespace velka;
namespace fs = std::filesystem;

struct Maps {
    fs::path dir;
    std::unique_ptr<CMapParser> pWhole, pAtlas;
};

bool Compile(const std::string& strInput, const fs::path& out) {
    mapc::CStyle style;
    std::string err;
    if (!style.Load(std::string(VELKA_SOURCE_DIR) + "/data/runtime/osm.style", err)) return false;
    mapc::CMapcOptions options;
    options.inputs = {strInput};
    mapc::CMapcMap map;
    std::vector<BYTE> bytes;
    if (!mapc::CompileOsm(options, style, map, err) || !mapc::EncodeZem(map, bytes, err)) return false;
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    return true;
}

Maps* Prepare() {
    static std::unique_ptr<Maps> s_p;
    if (s_p) return s_p->pAtlas ? s_p.get() : nullptr;
    s_p = std::make_unique<Maps>();
    const std::string input = std::string(VELKA_CORPUS_DIR) + "/osm/liechtenstein-20150727.osm.pbf";
    if (!fs::exists(input)) return nullptr;
    s_p->dir = fs::temp_directory_path() / ("bench_atlas_" + std::to_string(::getpid()));
    fs::create_directories(s_p->dir / "atlas");
    if (!Compile(input, s_p->dir / "whole.zem")) return nullptr;
    mapc::CTileOptions to;
    to.dSize = 0.1;
    to.strFolder = (s_p->dir / "atlas").string();
    std::vector<mapc::CTile> tiles;
    std::string err;
    if (!mapc::CutTiles(input, to, tiles, err)) return nullptr;
    for (const mapc::CTile& t : tiles) {
        if (!Compile(t.strFile, s_p->dir / "atlas" / (t.strName + ".zem"))) return nullptr;
        fs::remove(t.strFile);
        if (!mapc::ClipTileBounds((s_p->dir / "atlas" / (t.strName + ".zem")).string(), t)) return nullptr;
    }
    if (CreateZidx(FromUtf8((s_p->dir / "atlas").string()), {}) <= 0) return nullptr;
    s_p->pWhole = OpenMapFile(FromUtf8((s_p->dir / "whole.zem").string()), c_dwOpenAll);
    s_p->pAtlas = OpenMapFile(FromUtf8((s_p->dir / "atlas").string()), c_dwOpenAll);
    return s_p->pWhole && s_p->pAtlas ? s_p.get() : nullptr;
}

// Arg 0: the whole map, 1: the atlas; arg 1: view width in thousandths of a degree.
void BM_Frame(benchmark::State& state) {
    Maps* p = Prepare();
    if (!p) {
        state.SkipWithError("the Liechtenstein extract is missing or did not compile");
        return;
    }
    CMapParser& map = state.range(0) ? *p->pAtlas : *p->pWhole;
    const double dWidth = state.range(1) / 1000.0;
    auto units = [](double d) { return static_cast<LONG>(d * 1073741824.0 / 180.0); };
    const CMapRect rc{units(9.52 - dWidth / 2), units(47.14 - dWidth * 0.375), units(9.52 + dWidth / 2),
                      units(47.14 + dWidth * 0.375)};
    const int nCode = dWidth < 0.1 ? 24 : 21;
    std::size_t cObjects = 0;
    for (auto _ : state) {
        CRecordingPaintContext pc(rc, 800, 600, 0, nCode);
        CRecordingLabelStore labels;
        map.Draw(pc, labels);
        cObjects = pc.m_polygons.size() + pc.m_polylines.size();
    }
    state.counters["objects"] = static_cast<double>(cObjects);
    if (CZidxParser* pAtlas = AsAtlas(&map)) state.counters["maps"] = static_cast<double>(pAtlas->OpenMapCount());
}
BENCHMARK(BM_Frame)->ArgsProduct({{0, 1}, {50, 200}})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
