// An atlas against the whole map it was cut from: the Liechtenstein
// extract compiled whole and as tiles of 0.1 degrees. One frame at the
// same view (frames after the first reuse the maps the atlas keeps open,
// as the map page's frames do), and the searches: a city prefix, an
// address, nearest objects within 1 km in Vaduz and where four tiles
// meet, and the named objects of every city.
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
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/objects_search.h"
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
    ~Maps() {
        pWhole.reset();
        pAtlas.reset();
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
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

// The searches take arg 0: the whole map, 1: the atlas.
CMapParser* SearchedMap(benchmark::State& state) {
    Maps* p = Prepare();
    if (!p) state.SkipWithError("the Liechtenstein extract is missing or did not compile");
    return p ? (state.range(0) ? p->pAtlas.get() : p->pWhole.get()) : nullptr;
}

void BM_CityPrefix(benchmark::State& state) {
    CMapParser* pMap = SearchedMap(state);
    if (!pMap) return;
    std::size_t c = 0;
    for (auto _ : state) {
        std::unique_ptr<CCitiesQuery> pCities = pMap->CreateCitiesQuery();
        c = 0;
        for (DWORD i = pCities->FindFirst(u"Sch"); i < pCities->Count() && c < 20; ++i, ++c) {
            CCityItem item;
            pCities->Item(i, item, c_dwCityPosition);
            benchmark::DoNotOptimize(item);
        }
    }
    state.counters["cities"] = static_cast<double>(c);
}
BENCHMARK(BM_CityPrefix)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Arg 1: 0 a street in any city, 1 one in Vaduz.
void BM_Address(benchmark::State& state) {
    CMapParser* pMap = SearchedMap(state);
    if (!pMap) return;
    CAddressRequest req;
    req.strStreet = u"Landstrasse";
    req.strHouse = u"10";
    if (state.range(1)) {
        const std::vector<int> cities = FindCities(*pMap, u"Vaduz");
        if (cities.empty()) return state.SkipWithError("no Vaduz");
        req.nCity = cities.front();
        req.strStreet = u"Städtle";
        req.strHouse.clear();
    }
    std::size_t cHits = 0;
    for (auto _ : state) cHits = FindAddresses(*pMap, req).hits.size();
    state.counters["hits"] = static_cast<double>(cHits);
}
BENCHMARK(BM_Address)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// Every named object of every city, as velkatool objects without --city.
void BM_ObjectsAnyCity(benchmark::State& state) {
    CMapParser* pMap = SearchedMap(state);
    if (!pMap) return;
    std::size_t cItems = 0;
    for (auto _ : state) cItems = FindObjects(*pMap, {}).items.size();
    state.counters["items"] = static_cast<double>(cItems);
}
BENCHMARK(BM_ObjectsAnyCity)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Arg 1: 0 in Vaduz, 1 where four tiles meet (47.2 N, 9.5 E).
void BM_Nearest1km(benchmark::State& state) {
    CMapParser* pMap = SearchedMap(state);
    if (!pMap) return;
    auto units = [](double d) { return static_cast<LONG>(d * 1073741824.0 / 180.0); };
    CNearestRequest req;
    req.ptRef = state.range(1) ? CMapPoint{units(9.5), units(47.2)} : CMapPoint{units(9.5215), units(47.141)};
    req.dRadiusMetres = 1000;
    std::size_t cHits = 0;
    for (auto _ : state) cHits = FindNearestObjects(*pMap, req).hits.size();
    state.counters["hits"] = static_cast<double>(cHits);
}
BENCHMARK(BM_Nearest1km)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
