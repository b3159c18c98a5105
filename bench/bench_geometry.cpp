// The table and bit-level functions against the standard library ones, and
// the fixed-point polyline length against the floating-point one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "geometry/fast_math.h"
#include "geometry/point_algorithms.h"

namespace {

using namespace velka;

constexpr std::size_t c_cValues = 4096;

std::vector<float> Angles() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-2 * c_PI, 2 * c_PI);
    std::vector<float> v(c_cValues);
    for (auto& f : v) f = d(rng);
    return v;
}

std::vector<std::int32_t> Ints(std::int32_t limit) {
    std::mt19937 rng(2);
    std::uniform_int_distribution<std::int32_t> d(-limit, limit);
    std::vector<std::int32_t> v(c_cValues);
    for (auto& n : v) n = d(rng);
    return v;
}

template <typename F>
void RunOverFloats(benchmark::State& state, F f) {
    const auto v = Angles();
    for (auto _ : state)
        for (float x : v) benchmark::DoNotOptimize(f(x));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * c_cValues));
}

void BM_fast_sin(benchmark::State& s) { RunOverFloats(s, [](float x) { return fast_sin(x); }); }
void BM_std_sin(benchmark::State& s) { RunOverFloats(s, [](float x) { return std::sin(x); }); }
void BM_fast_cos(benchmark::State& s) { RunOverFloats(s, [](float x) { return fast_cos(x); }); }
void BM_std_cos(benchmark::State& s) { RunOverFloats(s, [](float x) { return std::cos(x); }); }
void BM_fast_floor(benchmark::State& s) {
    RunOverFloats(s, [](float x) { return fast_floor(x * 1000); });
}
void BM_std_floor(benchmark::State& s) {
    RunOverFloats(s, [](float x) { return static_cast<std::int32_t>(std::floor(x * 1000)); });
}

template <typename F>
void RunOverIntPairs(benchmark::State& state, F f) {
    const auto v = Ints(1 << 20);
    for (auto _ : state)
        for (std::size_t i = 0; i + 1 < v.size(); i += 2) benchmark::DoNotOptimize(f(v[i], v[i + 1]));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * c_cValues / 2));
}

void BM_fast_atan(benchmark::State& s) {
    RunOverIntPairs(s, [](std::int32_t y, std::int32_t x) { return fast_atan(y, x); });
}
void BM_std_atan2(benchmark::State& s) {
    RunOverIntPairs(s, [](std::int32_t y, std::int32_t x) {
        // The same folded direction as fast_atan.
        return x < 0 ? std::atan2(static_cast<float>(-y), static_cast<float>(-x))
                     : std::atan2(static_cast<float>(y), static_cast<float>(x));
    });
}
void BM_fast_sqrt(benchmark::State& s) {
    RunOverIntPairs(s, [](std::int32_t a, std::int32_t b) {
        return fast_sqrt(static_cast<std::uint32_t>(a) * 3u + static_cast<std::uint32_t>(b));
    });
}
void BM_std_sqrt(benchmark::State& s) {
    RunOverIntPairs(s, [](std::int32_t a, std::int32_t b) {
        return static_cast<std::uint32_t>(
            std::sqrt(static_cast<double>(static_cast<std::uint32_t>(a) * 3u + static_cast<std::uint32_t>(b))));
    });
}

// A road-like polyline: steps of up to range(0) units in each direction.
std::vector<CMapPoint> Polyline(std::int32_t step) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::int32_t> d(-step, step);
    std::vector<CMapPoint> pts(1000);
    CMapPoint p{300000000, 500000000};
    for (auto& q : pts) {
        q = p;
        p.lX += d(rng);
        p.lY += d(rng);
    }
    return pts;
}

void BM_PolylineLength(benchmark::State& state) {
    const auto pts = Polyline(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(PolylineLength(pts.data(), 0, pts.size() - 1, 0.33f));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (pts.size() - 1)));
}
void BM_PolylineLengthFast(benchmark::State& state) {
    const auto pts = Polyline(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(PolylineLengthFast(pts.data(), 0, pts.size() - 1, 0.33f));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (pts.size() - 1)));
}

} // namespace

BENCHMARK(BM_fast_sin);
BENCHMARK(BM_std_sin);
BENCHMARK(BM_fast_cos);
BENCHMARK(BM_std_cos);
BENCHMARK(BM_fast_atan);
BENCHMARK(BM_std_atan2);
BENCHMARK(BM_fast_floor);
BENCHMARK(BM_std_floor);
BENCHMARK(BM_fast_sqrt);
BENCHMARK(BM_std_sqrt);
// Short segments (below 2048 and below 32768 units) and medium ones.
BENCHMARK(BM_PolylineLength)->Arg(1000)->Arg(20000)->Arg(500000);
BENCHMARK(BM_PolylineLengthFast)->Arg(1000)->Arg(20000)->Arg(500000);

BENCHMARK_MAIN();
