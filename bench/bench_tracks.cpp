// Track recording and the on-screen track: the cost of one recorded point
// with the file kept complete on disk after every point, against a plain
// buffered write of the same 31 bytes; one appended ring point; drawing a
// full ring of 10000 points.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "gps/gps_fix.h"
#include "platform/registry.h"
#include "shell/settings.h"
#include "platform/recording_canvas.h"
#include "tracks/file_utils.h"
#include "tracks/file_writer.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"

namespace {

using namespace velka;

// A private folder for the tracks and the settings of one benchmark.
class CBenchFolder {
public:
    CBenchFolder() {
        char szTemplate[] = "/tmp/velka-bench-XXXXXX";
        m_path = ::mkdtemp(szTemplate);
        SettingsClose();
        RegSetDatabasePath(m_path + "/settings.db");
        SetTracksFolder(m_path);
    }
    ~CBenchFolder() {
        SetTracksFolder("");
        SettingsClose();
        RegShutdown();
        RegSetDatabasePath("");
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

GpsFix Fix(std::int64_t i) {
    GpsFix fix;
    fix.SetPosition(7.42f + static_cast<float>(i % 1000) * 1e-5f,
                    43.73f + static_cast<float>(i % 777) * 1e-5f);
    fix.SetAltitude(120.0f);
    fix.SetTime(45000.0 + static_cast<double>(i) / 86400.0);
    return fix;
}

void BM_AddTrackPoint(benchmark::State& state) {
    CBenchFolder folder;
    StartRecording();
    std::int64_t i = 0;
    for (auto _ : state) AddTrackPoint(Fix(i++));
    CloseTrackFile();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddTrackPoint);

// The same point bytes through the buffered writer alone, flushed only
// when the buffer fills: what recording would cost without the crash-safe
// writing.
void BM_BufferedPointWrite(benchmark::State& state) {
    CBenchFolder folder;
    const std::string path = folder.Path() + "/plain.bin";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    {
        CFileWriter w(fd);
        BYTE abPoint[c_cbTrackPoint];
        std::int64_t i = 0;
        for (auto _ : state) {
            MakeTrackPoint(Fix(i++), abPoint);
            w.WriteBytes(abPoint, sizeof abPoint);
        }
        w.Flush();
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BufferedPointWrite);

void BM_AddVisualPoint(benchmark::State& state) {
    CBenchFolder folder;
    if (OpenOnScreenTrack()) {
        state.SkipWithError("the on-screen track cannot be opened");
        return;
    }
    EnableVisualTrack();
    std::int64_t i = 0;
    for (auto _ : state) {
        AddVisualPoint(7.42f + static_cast<float>(i % 1000) * 1e-5f, 43.73f);
        ++i;
    }
    CloseOnScreenTrack();
    DisableVisualTrack();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddVisualPoint);

// A full ring, every point on screen, into a canvas that records the
// polylines (the copy of the points is part of the cost).
void BM_DrawFullRing(benchmark::State& state) {
    CBenchFolder folder;
    if (OpenOnScreenTrack()) {
        state.SkipWithError("the on-screen track cannot be opened");
        return;
    }
    EnableVisualTrack();
    for (int i = 0; i < static_cast<int>(c_cMaxPoints) + 17; ++i)
        AddVisualPoint(7.40f + static_cast<float>(i % 800) * 2e-5f,
                       43.70f + static_cast<float>(i / 800) * 2e-4f);
    const std::int32_t lX0 = static_cast<std::int32_t>(7.40 * 1073741824.0 / 180.0);
    const std::int32_t lY0 = static_cast<std::int32_t>(43.7025 * 1073741824.0 / 180.0);
    auto view = [&](const CMapPoint& p) {
        return POINT{(p.lX - lX0) / 120, (lY0 - p.lY) / 120};
    };
    std::size_t cPolylines = 0;
    for (auto _ : state) {
        CRecordingCanvas canvas(800, 600);
        DrawVisualTrack(canvas, view, [] { return false; }, 800, 600);
        cPolylines = canvas.Calls().size();
        benchmark::DoNotOptimize(cPolylines);
    }
    CRecordingCanvas canvas(800, 600);
    DrawVisualTrack(canvas, view, [] { return false; }, 800, 600);
    state.counters["polylines"] = static_cast<double>(canvas.Polylines().size());
    state.SetItemsProcessed(state.iterations() * c_cMaxPoints);
    CloseOnScreenTrack();
    DisableVisualTrack();
}
BENCHMARK(BM_DrawFullRing);

} // namespace

BENCHMARK_MAIN();
