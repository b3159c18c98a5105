// The gauges per fix: the trip computer's update with its stored totals
// (the settings database on disk, as the navigator has it), a whole
// catalogue update, and drawing the gauge page (32 big cells) and the
// satellite page (12 satellites) into a bitmap.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "gauges/gauge.h"
#include "gauges/gauge_page.h"
#include "gauges/satellite_page.h"
#include "gauges/trip_computer.h"
#include "gauges/units.h"
#include "platform/qt/qt_canvas.h"
#include "platform/registry.h"
#include "shell/screen.h"
#include "shell/settings.h"

namespace {

using namespace velka;

// A settings database in a private folder for one benchmark.
class CBenchSettings {
public:
    CBenchSettings() {
        char szTemplate[] = "/tmp/velka-bench-XXXXXX";
        m_strDir = mkdtemp(szTemplate);
        RegSetDatabasePath(m_strDir + "/settings.db");
        SettingsOpen();
    }
    ~CBenchSettings() {
        SettingsClose();
        std::filesystem::remove_all(m_strDir);
    }

private:
    std::string m_strDir;
};

GpsFix MovingFix(int i) {
    GpsFix f;
    f.SetTime(45000 + i / 86400.0);
    f.SetPosition(10.0f, 50.0f + static_cast<float>(i) * 1e-4f);
    f.SetSpeed(40);
    f.SetAltitude(100 + static_cast<float>(i % 50));
    f.SetQuality(3);
    return f;
}

void BM_TripComputerUpdate(benchmark::State& state) {
    CBenchSettings settings;
    CTripComputer tc;
    tc.Load();
    int i = 0;
    for (auto _ : state) tc.Update(MovingFix(i++));
}
BENCHMARK(BM_TripComputerUpdate);

void BM_UpdateAllGauges(benchmark::State& state) {
    CBenchSettings settings;
    RegisterGauges();
    int i = 0;
    for (auto _ : state) Gauges()->UpdateAll(MovingFix(i++));
    UnregisterGauges();
}
BENCHMARK(BM_UpdateAllGauges);

void EnsureQt() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char szName[] = "bench_gauges";
    static char* argv[] = {szName, nullptr};
    static QGuiApplication* pApp = new QGuiApplication(argc, argv);
    (void)pApp;
}

void BM_DrawGaugePage(benchmark::State& state) {
    EnsureQt();
    CBenchSettings settings;
    ReadUnitOptions();
    RegisterGauges();
    Gauges()->UpdateAll(MovingFix(1));
    CGaugePage page;
    page.OnSize(480, 640);
    page.Init();
    CQtCanvas dc(480, 640);
    for (auto _ : state) page.OnPaint(dc);
    UnregisterGauges();
}
BENCHMARK(BM_DrawGaugePage)->Unit(benchmark::kMicrosecond);

void BM_DrawSatellitePage(benchmark::State& state) {
    EnsureQt();
    CSkyView view;
    for (int i = 0; i < 12; ++i) view.vecSatellites.push_back(GpsSatellite{i + 1, i * 7, i * 30, 20 + i * 2, i % 3 ? 2 : 1});
    view.fix = MovingFix(1);
    CSatellitePage page;
    CQtCanvas dc(480, 640);
    for (auto _ : state) page.Draw(dc, view);
}
BENCHMARK(BM_DrawSatellitePage)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
