#include "tracks/visual_track.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "tracks/file_utils.h"
#include "tracks/semicircles.h"

namespace velka {

static_assert(std::endian::native == std::endian::little,
              "Tracks.bin is read and written in place as little-endian words");

namespace {

// Guards the ring and the mapping. Recursive, so that a frame drawn from a
// message pumped inside another frame's interruption test still works.
std::recursive_mutex g_visualLock;
CTrackLog* g_log = nullptr;
int g_fdLog = -1;
// Plain flags, written without the lock.
std::atomic<bool> g_fEnabled{false};
std::atomic<bool> g_fBreakPending{false};
CPenDesc g_penTrack{PS_SOLID, 2, c_crVisualTrack};

void ClearLog() {
    std::memset(g_log, 0, c_cbTrackLog);
    g_fBreakPending = true;
}

// The polyline buffer of one drawing pass and its flush to the canvas.
class CPolylineBuffer {
public:
    CPolylineBuffer(ICanvas& canvas, InterruptTestFn isInterrupted)
        : m_canvas(canvas), m_isInterrupted(isInterrupted) {}

    // Draws and empties the buffer; false when the pass must stop.
    bool Draw() {
        if (m_isInterrupted()) return false;
        if (m_cPoints >= 2) {
            if (!m_fPenSelected) {
                m_canvas.SelectPen(g_penTrack);
                m_fPenSelected = true;
            }
            m_canvas.Polyline(m_aPoints, m_cPoints);
        }
        m_cPoints = 0;
        return true;
    }
    // Appends a point; a full buffer is drawn and the next one begins with
    // its last point, so the line stays joined.
    bool Append(const POINT& pt) {
        VELKA_ASSERT(m_cPoints < c_cPolylinePoints);
        if (m_cPoints >= c_cPolylinePoints) m_cPoints = c_cPolylinePoints - 1;
        m_aPoints[m_cPoints++] = pt;
        if (m_cPoints < c_cPolylinePoints) return true;
        if (!Draw()) return false;
        m_aPoints[0] = pt;
        m_cPoints = 1;
        return true;
    }

private:
    ICanvas& m_canvas;
    InterruptTestFn m_isInterrupted;
    POINT m_aPoints[c_cPolylinePoints];
    int m_cPoints = 0;
    bool m_fPenSelected = false;
};

} // namespace

CMapPoint VisualPointToMap(const CTrackLogPoint& pt) {
    const auto lLon = static_cast<std::int32_t>(pt.dwLongitude);
    // Bit 30 is the sign of the 31-bit latitude.
    const auto lLat = static_cast<std::int32_t>(pt.dwLatitude << 1) >> 1;
    return {lLon >> 1, lLat >> 1};
}

CError OpenOnScreenTrack(int nScreenFactor) {
    std::lock_guard lock(g_visualLock);
    if (g_log) return {};
    g_penTrack = CPenDesc{PS_SOLID, nScreenFactor == 1 ? 2 : 3, c_crVisualTrack};

    // The folder is made here too: the ring opens at every start, before
    // any track file may have created it.
    EnsureTracksFolder();
    const std::string path = TracksFolder() + "/Tracks.bin";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Not shared: a second instance must not write the same ring.
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int nError = errno;
        ::close(fd);
        fd = -1;
        errno = nError;
    }
    if (fd < 0) {
        const int nError = errno;
        return FileError(ErrorCode::CannotCreateFile, FromUtf8(path), nError);
    }
    bool fClear = false;
    struct stat st {};
    int nError = 0;
    if (::fstat(fd, &st) != 0) {
        nError = errno;
    } else if (static_cast<std::size_t>(st.st_size) != c_cbTrackLog) {
        if (::ftruncate(fd, static_cast<off_t>(c_cbTrackLog)) != 0) nError = errno;
        fClear = true;
    }
    // Blocks are reserved so that a full disk cannot fault a write into
    // the mapping later.
    if (!nError) nError = ::posix_fallocate(fd, 0, static_cast<off_t>(c_cbTrackLog));
    void* p = MAP_FAILED;
    if (!nError) {
        p = ::mmap(nullptr, c_cbTrackLog, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) nError = errno;
    }
    if (nError) {
        ::close(fd);
        return FileError(ErrorCode::CannotReadFile, FromUtf8(path), nError);
    }
    // The descriptor stays open (it holds the lock against other
    // instances) until the ring is closed.
    g_fdLog = fd;
    g_log = static_cast<CTrackLog*>(p);
    if (!fClear && g_log->dwEnd >= c_cMaxPoints) fClear = true;
    if (fClear) ClearLog();
    if (ReadSettingBool(u"RecordTrack", false)) EnableVisualTrack();
    return {};
}

void CloseOnScreenTrack() {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%04u: Visual_CloseTracking ()\n",
                  static_cast<unsigned>(GetTickCount() % 10000));
    DebugOutput(sz);
    std::lock_guard lock(g_visualLock);
    if (!g_log) return;
    ::msync(g_log, c_cbTrackLog, MS_SYNC);
    ::munmap(g_log, c_cbTrackLog);
    g_log = nullptr;
    ::close(g_fdLog);
    g_fdLog = -1;
}

void AddVisualPoint(float fLongitude, float fLatitude) {
    if (!g_fEnabled.load(std::memory_order_relaxed)) return;
    const std::int32_t lLon = DegreesToSemicircles(fLongitude);
    std::int32_t lLat = DegreesToSemicircles(fLatitude);
    // 31 bits hold -2^30 .. 2^30 - 1; the pole itself is one unit short.
    lLat = std::clamp(lLat, -(1 << 30), (1 << 30) - 1);
    std::lock_guard lock(g_visualLock);
    if (!g_log) return;
    VELKA_ASSERT(g_log->dwEnd < c_cMaxPoints);
    if (g_log->dwEnd >= c_cMaxPoints) g_log->dwEnd = c_cMaxPoints - 1;
    CTrackLogPoint& pt = g_log->aPoints[g_log->dwEnd];
    pt.dwLongitude = static_cast<DWORD>(lLon);
    pt.dwLatitude = (static_cast<DWORD>(lLat) & ~c_dwSegmentStart) |
                    (g_fBreakPending.exchange(false) ? c_dwSegmentStart : 0);
    if (++g_log->dwEnd >= c_cMaxPoints) {
        g_log->dwEnd = 0;
        g_log->dwWrapped = 1;
    }
}

void BreakVisualTrack() { g_fBreakPending = true; }
void EnableVisualTrack() { g_fEnabled = true; }
void DisableVisualTrack() {
    g_fEnabled = false;
    g_fBreakPending = true;
}
bool IsVisualTrackEnabled() { return g_fEnabled; }

bool IsVisualTrackMapped() {
    std::lock_guard lock(g_visualLock);
    return g_log != nullptr;
}

CPenDesc VisualTrackPen() {
    std::lock_guard lock(g_visualLock);
    return g_penTrack;
}

bool DrawVisualTrack(ICanvas& canvas, MapToScreenFn mapToScreen, InterruptTestFn isInterrupted,
                     int cxView, int cyView) {
    std::lock_guard lock(g_visualLock);
    if (!g_log) return true;
    const DWORD n = std::min(g_log->dwEnd, c_cMaxPoints - 1);
    const bool fWrapped = g_log->dwWrapped != 0;
    CPolylineBuffer buffer(canvas, isInterrupted);
    bool fPrevVisible = false;

    auto drawPoint = [&](const CTrackLogPoint& pt) {
        if ((pt.dwLatitude & c_dwSegmentStart) && !buffer.Draw()) return false;
        const POINT s = mapToScreen(VisualPointToMap(pt));
        const bool fVisible = -cxView < s.x && s.x < 2 * cxView && -cyView < s.y && s.y < 2 * cyView;
        bool fGoOn = true;
        if (fVisible)
            fGoOn = buffer.Append(s);
        else if (fPrevVisible)
            fGoOn = buffer.Draw();
        fPrevVisible = fVisible;
        return fGoOn;
    };
    if (fWrapped)
        for (DWORD i = n; i < c_cMaxPoints; ++i)
            if (!drawPoint(g_log->aPoints[i])) return false;
    for (DWORD i = 0; i < n; ++i)
        if (!drawPoint(g_log->aPoints[i])) return false;
    return buffer.Draw();
}

} // namespace velka
