// Road graph and route search: the graph build per map, and query times
// over the 400 pgRouting oracle pairs (Andorra, Liechtenstein) with
// Dijkstra over a full transition graph, with transitions made lazily, and
// with A*; then a synthetic grid of a million links.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "mapdata/zem_parser.h"
#include "routing/route_search.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka {
namespace {

struct Extract {
    std::vector<BYTE> bytes;
    std::vector<std::pair<CMapPoint, CMapPoint>> pairs;
};

const char* const c_aszExtracts[2] = {"andorra-20200501", "liechtenstein-20150727"};

const Extract& LoadExtract(int i) {
    static std::map<int, Extract> s_cache;
    auto it = s_cache.find(i);
    if (it != s_cache.end()) return it->second;
    Extract& e = s_cache[i];
    const std::string base = std::string(VELKA_CORPUS_DIR);
    mapc::CStyle style;
    std::string err;
    style.Load(std::string(VELKA_SOURCE_DIR) + "/data/runtime/osm.style", err);
    mapc::CMapcOptions options;
    options.inputs = {base + "/osm/" + c_aszExtracts[i] + ".osm.pbf"};
    mapc::CMapcMap map;
    if (mapc::CompileOsm(options, style, map, err)) mapc::EncodeZem(map, e.bytes, err);
    std::ifstream in(base + "/routes/" + c_aszExtracts[i] + ".routes.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        const auto q = nlohmann::json::parse(line);
        auto at = [](double lat, double lon) {
            return CMapPoint{mapc::DegreesToMapUnits(lon), mapc::DegreesToMapUnits(lat)};
        };
        e.pairs.emplace_back(at(q["from_lat"], q["from_lon"]), at(q["to_lat"], q["to_lon"]));
    }
    return e;
}

// A square grid of n x n junctions 0.0005 degrees apart: 4 n (n - 1)
// links, two-way residential streets.
const std::vector<BYTE>& GridMap(int n) {
    static std::map<int, std::vector<BYTE>> s_cache;
    auto it = s_cache.find(n);
    if (it != s_cache.end()) return it->second;
    mapc::CMapcMap map;
    map.levels.resize(1);
    map.levels[0].nBits = 24;
    auto node = [n](int x, int y) { return static_cast<LONG>(y * n + x); };
    auto pt = [](int x, int y) {
        return CMapPoint{mapc::DegreesToMapUnits(9.5 + x * 0.0005), mapc::DegreesToMapUnits(47.0 + y * 0.0005)};
    };
    int nRoad = 0;
    for (int dir = 0; dir < 2; ++dir)
        for (int a = 0; a < n; ++a) {
            mapc::CMapcObject o;
            o.nKind = rkPolyline;
            o.wType = 6;
            o.wRoadFlags = 2 | (1 << 3);
            o.nRoadId = nRoad++;
            for (int b = 0; b < n; ++b) {
                o.points.push_back(dir ? pt(a, b) : pt(b, a));
                o.nodes.push_back(dir ? node(a, b) : node(b, a));
            }
            map.levels[0].objects.push_back(std::move(o));
        }
    map.cNodes = static_cast<DWORD>(n * n);
    std::string err;
    mapc::EncodeZem(map, s_cache[n], err);
    return s_cache[n];
}

std::unique_ptr<CMapParser> Open(const std::vector<BYTE>& bytes) {
    return OpenMapMemory(u"bench.zem", bytes.data(), bytes.size(), c_dwOpenAll);
}

void SetGraphCounters(benchmark::State& state, CRoadGraph& g) {
    const double cb = static_cast<double>(g.Nodes().size() * sizeof(RoutingNode) +
                                          g.Links().capacity() * sizeof(RoutingLink) +
                                          g.Restrictions().capacity() * sizeof(RouteRestriction) +
                                          g.NodePositions().capacity() * sizeof(CMapPoint));
    state.counters["nodes"] = static_cast<double>(g.NodeCount());
    state.counters["links"] = static_cast<double>(g.Links().size());
    state.counters["bytes_per_node"] = cb / std::max<double>(g.NodeCount(), 1);
}

void BM_BuildGraph(benchmark::State& state) {
    const std::vector<BYTE>& bytes =
        state.range(0) < 2 ? LoadExtract(static_cast<int>(state.range(0))).bytes : GridMap(static_cast<int>(state.range(1)));
    if (bytes.empty()) {
        state.SkipWithError("map not available");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CMapParser> p = Open(bytes);
        auto* pZem = dynamic_cast<CZemParser*>(p.get());
        state.ResumeTiming();
        CRoadGraph& g = RoadGraphOf(*pZem);
        g.Build({});
        benchmark::DoNotOptimize(g.Links().data());
        state.PauseTiming();
        SetGraphCounters(state, g);
        p.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildGraph)->Args({0, 0})->Args({1, 0})->Args({2, 500})->Unit(benchmark::kMillisecond)->Iterations(3);

// All pairs of both extracts per iteration; median and worst per query.
void BM_Queries(benchmark::State& state) {
    const auto method = static_cast<SearchMethod>(state.range(0));
    std::vector<std::unique_ptr<CMapParser>> maps;
    for (int i = 0; i < 2; ++i) {
        if (LoadExtract(i).bytes.empty()) {
            state.SkipWithError("corpus not available");
            return;
        }
        maps.push_back(Open(LoadExtract(i).bytes));
        RoadGraphOf(*dynamic_cast<CZemParser*>(maps.back().get())).Build({});
    }
    std::vector<double> times;
    std::size_t cSettled = 0, cFound = 0;
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            CRoadGraph& g = RoadGraphOf(*dynamic_cast<CZemParser*>(maps[static_cast<std::size_t>(i)].get()));
            for (const auto& [a, b] : LoadExtract(i).pairs) {
                CRouteRequest r;
                r.ptStart = a;
                r.ptEnd = b;
                r.options.fFastest = state.range(1) != 0;
                r.method = method;
                const auto t0 = std::chrono::steady_clock::now();
                cFound += FindRoute(g, r);
                times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                cSettled += r.cSettled;
            }
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
    state.counters["settled_per_query"] = static_cast<double>(cSettled) / static_cast<double>(times.size());
    state.counters["found"] = static_cast<double>(cFound) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Queries)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"method", "fastest"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// The first route on a freshly opened map, graph build included.
void BM_FirstRoute(benchmark::State& state) {
    const Extract& e = LoadExtract(static_cast<int>(state.range(0)));
    if (e.bytes.empty()) {
        state.SkipWithError("corpus not available");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::unique_ptr<CMapParser> p = Open(e.bytes);
        CRouteRequest r;
        r.ptStart = e.pairs[i % e.pairs.size()].first;
        r.ptEnd = e.pairs[i % e.pairs.size()].second;
        ++i;
        benchmark::DoNotOptimize(FindRoute(*dynamic_cast<CZemParser*>(p.get()), r));
    }
}
BENCHMARK(BM_FirstRoute)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

// Queries across the million-link grid, corner to corner and random.
void BM_GridQuery(benchmark::State& state) {
    const int n = 500;
    std::unique_ptr<CMapParser> p = Open(GridMap(n));
    CRoadGraph& g = RoadGraphOf(*dynamic_cast<CZemParser*>(p.get()));
    g.Build({});
    std::uint32_t seed = 7;
    auto next = [&seed](int m) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(m));
    };
    std::vector<double> times;
    for (auto _ : state) {
        CRouteRequest r;
        const int x0 = next(n), y0 = next(n), x1 = next(n), y1 = next(n);
        r.ptStart = {mapc::DegreesToMapUnits(9.5 + x0 * 0.0005), mapc::DegreesToMapUnits(47.0 + y0 * 0.0005)};
        r.ptEnd = {mapc::DegreesToMapUnits(9.5 + x1 * 0.0005), mapc::DegreesToMapUnits(47.0 + y1 * 0.0005)};
        r.method = static_cast<SearchMethod>(state.range(0));
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(FindRoute(g, r));
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
}
BENCHMARK(BM_GridQuery)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace velka

BENCHMARK_MAIN();
