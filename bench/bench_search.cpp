// Search latency on the Liechtenstein extract compiled by mapc: a city
// prefix, an address (typed as street and number, and number first), and
// nearest searches of 1 km (every type, one category, with a name); and
// the nearest search of 1 km on the Garmin map of the same country.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "mapdata/map_parser.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace {

using namespace velka;

CMapParser* Liechtenstein() {
    static std::vector<BYTE> s_bytes;
    static std::unique_ptr<CMapParser> s_map = [] {
        const std::string path = std::string(VELKA_CORPUS_DIR) + "/osm/liechtenstein-20150727.osm.pbf";
        std::unique_ptr<CMapParser> p;
        mapc::CStyle style;
        std::string err;
        if (!std::filesystem::exists(path) ||
            !style.Load(std::string(VELKA_SOURCE_DIR) + "/data/runtime/osm.style", err))
            return p;
        mapc::CMapcOptions options;
        options.inputs = {path};
        mapc::CMapcMap map;
        if (mapc::CompileOsm(options, style, map, err) && mapc::EncodeZem(map, s_bytes, err))
            p = OpenMapMemory(u"liechtenstein.zem", s_bytes.data(), s_bytes.size(), c_dwOpenAll);
        return p;
    }();
    return s_map.get();
}

// Vaduz, the capital.
const CMapPoint c_ptVaduz{static_cast<LONG>(9.5215 * 1073741824.0 / 180), static_cast<LONG>(47.1410 * 1073741824.0 / 180)};

void BM_CityPrefix(benchmark::State& state) {
    CMapParser* pMap = Liechtenstein();
    if (!pMap) return state.SkipWithError("no Liechtenstein extract");
    for (auto _ : state) {
        std::unique_ptr<CCitiesQuery> pCities = pMap->CreateCitiesQuery();
        std::size_t c = 0;
        for (DWORD i = pCities->FindFirst(u"Sch"); i < pCities->Count() && c < 20; ++i, ++c) {
            CCityItem item;
            pCities->Item(i, item, c_dwCityPosition);
            benchmark::DoNotOptimize(item);
        }
    }
}
BENCHMARK(BM_CityPrefix)->Unit(benchmark::kMillisecond);

void Address(benchmark::State& state, const char16_t* street, const char16_t* house) {
    CMapParser* pMap = Liechtenstein();
    if (!pMap) return state.SkipWithError("no Liechtenstein extract");
    CAddressRequest req;
    req.strStreet = street;
    req.strHouse = house;
    std::size_t cHits = 0;
    for (auto _ : state) cHits = FindAddresses(*pMap, req).hits.size();
    state.counters["hits"] = static_cast<double>(cHits);
}
void BM_Address(benchmark::State& state) { Address(state, u"Landstrasse", u"10"); }
void BM_AddressNumberFirst(benchmark::State& state) { Address(state, u"10 Landstrasse", u""); }
void BM_AddressTypo(benchmark::State& state) { Address(state, u"Landstrase", u"10"); }
// The first search of an opened map also gathers its address records.
void BM_AddressFirstSearch(benchmark::State& state) {
    CMapParser* pMap = Liechtenstein();
    if (!pMap) return state.SkipWithError("no Liechtenstein extract");
    CAddressRequest req;
    req.strStreet = u"Landstrasse";
    req.strHouse = u"10";
    for (auto _ : state) {
        auto pFresh = OpenMapMemory(u"fresh.zem", pMap->Data(), pMap->FileSize(), c_dwOpenAll);
        benchmark::DoNotOptimize(FindAddresses(*pFresh, req).hits.size());
    }
}
BENCHMARK(BM_Address)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressFirstSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressNumberFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddressTypo)->Unit(benchmark::kMillisecond);

void Nearest(benchmark::State& state, CMapParser* pMap, std::size_t cCookie, const char16_t* name) {
    if (!pMap) return state.SkipWithError("no map");
    CNearestRequest req;
    req.ptRef = c_ptVaduz;
    req.dRadiusMetres = 1000;
    req.cTypeCookie = cCookie;
    req.strName = name;
    std::size_t cHits = 0;
    for (auto _ : state) cHits = FindNearestObjects(*pMap, req).hits.size();
    state.counters["hits"] = static_cast<double>(cHits);
}
void BM_Nearest1km(benchmark::State& state) { Nearest(state, Liechtenstein(), 0, u""); }
void BM_Nearest1kmFood(benchmark::State& state) { Nearest(state, Liechtenstein(), 2, u""); }
void BM_Nearest1kmNamed(benchmark::State& state) { Nearest(state, Liechtenstein(), 0, u"bank"); }
void BM_Nearest1kmImg(benchmark::State& state) {
    static std::unique_ptr<CMapParser> s_img =
        OpenMapFile(std::filesystem::path(std::string(VELKA_CORPUS_DIR) + "/img/liechtenstein-6bit-route.img").u16string(),
                    c_dwOpenAll);
    Nearest(state, s_img.get(), 0, u"");
}
BENCHMARK(BM_Nearest1km)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nearest1kmFood)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nearest1kmNamed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nearest1kmImg)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
