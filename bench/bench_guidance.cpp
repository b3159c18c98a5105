// Guidance: the cost of one guidance step per fix while driving a long
// route (following, distances, the prompt scheduler), and of the same step
// far along the route, where the leg sums are longest.
#include <benchmark/benchmark.h>

#include <cmath>

#include "routing/guidance.h"
#include "routing/route_geometry.h"

namespace {

using namespace velka;

constexpr double c_dLat0 = 47.1, c_dLon0 = 9.5;

// A road of cPoints points 20 m apart with a right or left bend every 10.
Route LongRoute(int cPoints) {
    Route r;
    double x = 0, y = 0, course = 0;
    const double k = 111195.0 * std::cos(c_dLat0 * 3.14159265358979 / 180);
    for (int i = 0; i < cPoints; ++i) {
        RoutePoint p;
        p.lX = DegreesToSemicircles(c_dLon0 + x / k);
        p.lY = DegreesToSemicircles(c_dLat0 + y / 111195.0);
        p.btKind = (i == 0 || i == cPoints - 1) ? BYTE(rkVia) : BYTE(rkRouting | (i % 10 == 0 ? rkManoeuvre : 0));
        r.points.push_back(p);
        if (i % 10 == 0) course += (i % 20 == 0) ? 90 : -90;
        x += 20 * std::sin(course * 3.14159265358979 / 180);
        y += 20 * std::cos(course * 3.14159265358979 / 180);
    }
    RecomputeAngles(r);
    return r;
}

GpsFix FixAt(const RoutePoint& p, double t) {
    GpsFix f;
    f.SetPosition(PointLon(p), PointLat(p));
    f.SetSpeed(50);
    f.SetCourse(0);
    f.SetTime(t);
    return f;
}

void BM_GuidanceStep(benchmark::State& state) {
    const Route r = LongRoute(static_cast<int>(state.range(0)));
    CGuidance::Host host;
    host.fnSoundMs = [](const std::string&) { return 700u; };
    CGuidance g(host);
    g.Reset(&r);
    std::size_t i = 0;
    double t = 0;
    for (auto _ : state) {
        g.Step(FixAt(r.points[i], t));
        t += 1.0 / 86400;
        if (++i >= r.points.size() - 1 || !g.ActiveRoute()) {
            state.PauseTiming();
            g.Reset(&r);
            i = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_GuidanceStep)->Arg(500)->Arg(5000);

} // namespace

BENCHMARK_MAIN();
