#include "gps/positioning.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "geometry/geodesy.h"
#include "gps/gps_log.h"
#include "gps/gpsd.h"
#include "gps/track_source.h"
#include "platform/debug.h"
#include "platform/event.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/notifications.h"
#include "shell/posted_boxes.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {

bool (*g_pfnSetSystemClock)(const SYSTEMTIME& st) = &SetSystemTime;

CPositioningHooks& PositioningHooks() {
    static CPositioningHooks hooks;
    return hooks;
}

namespace {

constexpr std::size_t c_cchStatus = 128;
constexpr int c_cMaxSatellites = 1024;
constexpr double c_dEpochStart = 29226; // 1980-01-06
constexpr double c_dEpochDays = 7168;   // 1024 weeks
constexpr int c_nMissing = INT_MIN;

// Everything under the positioning lock.
struct State {
    GpsFix fix;
    float fLon = 0, fLat = 0, fCourse = 0, fSpeed = 0;
    bool fSpeedValid = false, fCourseValid = false;
    int lX = 0, lY = 0;
    float afSpeeds[c_cSpeedBufSize] = {};
    int cSpeedNext = 0;
    int cSpeedFill = 0;
    std::vector<GpsSatellite> satellites;
    int cSatelliteCapacity = 0;
    char16_t szStatus[c_cchStatus + 1] = {};
};

std::mutex g_lock;
State g_state;

std::atomic<int> g_nIndicator{-1};
std::atomic<bool> g_afPortInUse[c_cMaxComPort + 1];
std::atomic<int> g_cRunningReaders{0};
std::atomic<int> g_cReaderHandles{0};
std::atomic<bool> g_fStopping{true};
std::atomic<unsigned> g_cClockCorrections{0};
std::atomic<unsigned> g_cChecksumErrors{0};
std::atomic<long long> g_llClockOffset{0};
std::atomic<DWORD> g_dwLastCorrection{0};
std::atomic<bool> g_fCorrected{false};

std::unique_ptr<CEvent> g_pStopEvent;
std::unique_ptr<CEvent> g_pFoundEvent;

// A thread with an event that tells when it has ended, so that stopping
// can wait for it with a time-out.
struct WorkerSlot {
    std::thread thread;
    std::shared_ptr<CEvent> pDone;
    // The process may end while a worker runs (exit() when the display is
    // lost): let it end instead of terminating on a joinable thread.
    ~WorkerSlot() {
        if (thread.joinable()) thread.detach();
    }
};
// One slot per port and one for gpsd.
WorkerSlot g_aReaders[c_cMaxComPort + 2];
WorkerSlot g_simulation;

std::mutex g_demoMutex;
std::string g_strDemoPath;
std::atomic<DWORD> g_dwSimulationInterval{1000};
std::atomic<bool> g_fDemoEnabled{true};
std::atomic<bool> g_fGpsdAllowed{true};

void ResetSpeedRingLocked() {
    std::fill(std::begin(g_state.afSpeeds), std::end(g_state.afSpeeds), 0.0f);
    g_state.cSpeedNext = 0;
    g_state.cSpeedFill = 0;
}

void PushSpeedLocked(float fSpeed) {
    VELKA_ASSERT(g_state.cSpeedNext < c_cSpeedBufSize);
    g_state.afSpeeds[g_state.cSpeedNext] = fSpeed;
    g_state.cSpeedNext = (g_state.cSpeedNext + 1) % c_cSpeedBufSize;
    g_state.cSpeedFill = std::min(g_state.cSpeedFill + 1, c_cSpeedBufSize);
}

void CallOrSkip(void (*pfn)()) {
    if (pfn) pfn();
}

// Joins a worker that has ended within the time; one that has not is
// left to finish on its own (it holds no state of ours beyond the events).
void JoinWorkers(WorkerSlot* pSlots, int cSlots, DWORD dwTimeoutMs) {
    std::vector<CEvent*> done;
    for (int i = 0; i < cSlots; ++i)
        if (pSlots[i].thread.joinable()) done.push_back(pSlots[i].pDone.get());
    if (!done.empty()) CEvent::WaitAll(done, dwTimeoutMs);
    for (int i = 0; i < cSlots; ++i) {
        if (!pSlots[i].thread.joinable()) continue;
        if (pSlots[i].pDone->IsSet())
            pSlots[i].thread.join();
        else
            pSlots[i].thread.detach();
        pSlots[i].pDone.reset();
    }
}

// Readers whose port cannot be opened at the moment; when that is every
// running reader the user is told that no port opens.
std::atomic<int> g_cReadersWithoutPort{0};

constexpr DWORD c_msReopenFirst = 500;
constexpr DWORD c_msReopenMax = 2000;

// Waits before the next attempt to open a port; true when the reader must
// end instead (positioning stops, or another port was recognised).
bool WaitBeforeReopen(DWORD dwMs) {
    CEvent* events[2] = {g_pStopEvent.get(), g_pFoundEvent.get()};
    return CEvent::WaitAny(events, dwMs) != c_nWaitTimeout || g_fStopping;
}

// Probes the protocols on the open port until positioning stops, another
// port wins, or the device goes away (false: open it again).
bool ProbePort(CComPort& port, int nIndex) {
    while (!g_fStopping) {
        bool fAnyEnabled = false;
        for (GpsProtocolInfo* p = GpsProtocols(); p && !g_fStopping; p = p->pNext) {
            if (!p->IsEnabled()) continue;
            fAnyEnabled = true;
            std::unique_ptr<CGpsProtocol> pProtocol(p->pfnCreate());
            bool fStop = RunProtocol(pProtocol.get(), p, &port, nIndex, g_pStopEvent.get(),
                                     g_pFoundEvent.get());
            pProtocol.reset();
            if (fStop) return true;
            ReportNoPosition();
            if (port.IsGone()) return false;
        }
        if (!fAnyEnabled && !g_fStopping) {
            SetGpsStatus(IDS_GPS_ALL_PROTOCOLS_OFF);
            g_pStopEvent->Wait(1000);
        }
    }
    return true;
}

// A port that cannot be opened, or whose device goes away (an unplugged
// receiver), is tried again with a growing pause of up to 2 s, so that a
// receiver plugged in later is found without a restart.
int RunReader(int nIndex) {
    CComPort port;
    DWORD dwPause = c_msReopenFirst;
    bool fWithoutPort = false;
    int nResult = 0;
    while (!g_fStopping) {
        if (!port.Open(nIndex, GENERIC_READ_ | GENERIC_WRITE_)) {
            if (!fWithoutPort) {
                GpsLog(u"%s failed to open (error code %d).", port.Name(), static_cast<int>(port.LastError()));
                fWithoutPort = true;
                if (++g_cReadersWithoutPort >= g_cRunningReaders) {
                    SetGpsStatus(IDS_GPS_NO_COM_PORT);
                    SetGpsIndicator(-1);
                }
            }
            nResult = 1;
            if (WaitBeforeReopen(dwPause)) break;
            dwPause = std::min(dwPause * 2, c_msReopenMax);
            continue;
        }
        if (fWithoutPort) {
            --g_cReadersWithoutPort;
            fWithoutPort = false;
        }
        nResult = 0;
        dwPause = c_msReopenFirst;
        g_afPortInUse[nIndex] = true;
        GpsLog(u"%s opened.", port.Name());
        bool fDone = ProbePort(port, nIndex);
        GpsLog(u"%s closed.", port.Name());
        g_afPortInUse[nIndex] = false;
        port.Close();
        if (fDone || WaitBeforeReopen(dwPause)) break;
    }
    if (fWithoutPort) --g_cReadersWithoutPort;
    return nResult;
}

// The running count is raised by the starter, before the thread runs, so
// that a reader ending early cannot count as the last one.
// nIndex: the port; c_nGpsdReader for the gpsd reader.
constexpr int c_nGpsdReader = -1;

int RunAnyReader(int nIndex) {
    if (nIndex == c_nGpsdReader) return RunGpsdReader(g_pStopEvent.get(), g_pFoundEvent.get(), GpsdSetting() < 0);
    return RunReader(nIndex);
}

void ClearPortInUse(int nIndex) {
    if (nIndex >= 0) g_afPortInUse[nIndex] = false;
}

// A reader that failed is told on the user-interface thread (message
// 2009 with the port); the reader thread goes on at once.
void ReportReaderFault(int nIndex) { PostError(CError(ErrorCode::ComPortCrashed, {nIndex})); }

void ReaderThread(int nIndex, std::shared_ptr<CEvent> pDone) {
    // Above normal, where the system allows it.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -1);
    int nResult;
    try {
        nResult = RunAnyReader(nIndex);
    } catch (const std::exception& e) {
        GpsLog(u"_Protocol_ShowException, port=%d: %S", nIndex, e.what());
        DebugOutput(ToUtf8(FormatW(u"_Protocol_ShowException, port=%d", nIndex)));
        ClearPortInUse(nIndex);
        ReportReaderFault(nIndex);
        nResult = 2;
    } catch (...) {
        GpsLog(u"_Protocol_ShowException, port=%d", nIndex);
        DebugOutput(ToUtf8(FormatW(u"_Protocol_ShowException, port=%d", nIndex)));
        ClearPortInUse(nIndex);
        ReportReaderFault(nIndex);
        nResult = 2;
    }
    const int cLeft = --g_cRunningReaders;
    if (cLeft == 0) {
        if (nResult == 1) SetGpsStatus(IDS_GPS_NO_COM_PORT);
        SetGpsIndicator(-1);
    } else if (nResult == 1 && g_cReadersWithoutPort >= cLeft) {
        // The readers still running are all waiting for their devices (gpsd
        // gave up after them): no port is open.
        SetGpsStatus(IDS_GPS_NO_COM_PORT);
        SetGpsIndicator(-1);
    }
    pDone->Set();
}

void SimulationThread(std::shared_ptr<CEvent> pDone) {
    SetGpsStatus(IDS_GPS_DEMO_TRACK);
    std::unique_ptr<IGpsTrackSource> pTrack;
    if (PositioningHooks().pfnOpenDemoTrack) pTrack = PositioningHooks().pfnOpenDemoTrack(DemoTrackPath());
    if (!pTrack) {
        pDone->Set();
        return;
    }
    for (;;) {
        GpsFix fix;
        fix.Empty();
        if (!pTrack->NextPoint(fix)) {
            pTrack->Rewind();
            fix.SetQuality(0);
            OnFix(fix);
            if (g_pStopEvent->Wait(g_dwSimulationInterval)) break;
            fix.Empty();
            if (!pTrack->NextPoint(fix)) break;
        }
        fix.SetQuality(11);
        UpdateLastPosition(fix.fLongitude, fix.fLatitude, fix.fCourse, fix.Has(gfCourse), fix.fSpeed,
                           fix.Has(gfSpeed));
        OnFix(fix);
        if (g_pStopEvent->Wait(g_dwSimulationInterval)) break;
    }
    pTrack.reset();
    SetGpsStatus(IDS_GPS_NOT_CONNECTED);
    pDone->Set();
}

class CPositioningSink : public IGpsSink {
public:
    void OnFix(const GpsFix& fix) override { velka::OnFix(fix); }
    void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed,
                            bool fSpeedValid) override {
        velka::UpdateLastPosition(fLon, fLat, fCourse, fCourseValid, fSpeed, fSpeedValid);
    }
    void ResetSatellites(int cCapacity) override { ResetSatelliteTable(cCapacity); }
    void AddSatellite(const GpsSatellite& sat) override { velka::AddSatellite(sat); }
    void SatellitesCompleted() override { SatelliteTableCompleted(); }
    double FixupGPSEpoch(double dTime) override { return velka::FixupGPSEpoch(dTime); }
    double FixupClock(double dTime) override { return velka::FixupClock(dTime); }
    void ReportNoPosition() override { velka::ReportNoPosition(); }
    void CountChecksumError() override { velka::CountChecksumError(); }
};

} // namespace

IGpsSink& PositioningSink() {
    static CPositioningSink sink;
    return sink;
}

std::string DemoTrackPath() {
    std::lock_guard<std::mutex> lock(g_demoMutex);
    if (!g_strDemoPath.empty()) return g_strDemoPath;
    // A MapSource track file serves as well when there is no database.
    const std::string strGdb = ProgramDir() + "/Demo.gdb";
    const std::string strMps = ProgramDir() + "/Demo.mps";
    if (::access(strGdb.c_str(), F_OK) != 0 && ::access(strMps.c_str(), F_OK) == 0) return strMps;
    return strGdb;
}

void SetDemoTrackPath(const std::string& strPath) {
    std::lock_guard<std::mutex> lock(g_demoMutex);
    g_strDemoPath = strPath;
}

void SetSimulationInterval(DWORD dwMs) { g_dwSimulationInterval = dwMs; }
void EnableDemoTrack(bool fEnable) { g_fDemoEnabled = fEnable; }
void EnableGpsdReader(bool fEnable) { g_fGpsdAllowed = fEnable; }

// --- Lifecycle --------------------------------------------------------------

void InitPositioning() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        ResetSpeedRingLocked();
    }
    g_pStopEvent = std::make_unique<CEvent>(true, false);
    g_pFoundEvent = std::make_unique<CEvent>(true, false);
    SetGpsStatus(IDS_GPS_NOT_CONNECTED);
    if (ReadSettingBool(u"ScanCOMPorts", true)) StartPositioning();
}

// std::exit() (the display lost, say) destroys this file's globals while
// workers may still wait on the stop event: stop them first. The handler is
// registered after the globals exist, so it runs before they are destroyed.
namespace {
// Tells the readers and the simulation to stop and waits for them.
void SignalAndJoinWorkers() {
    g_fStopping = true;
    if (g_pStopEvent) g_pStopEvent->Set();
    JoinWorkers(g_aReaders, g_cReaderHandles.load(), 2000);
    g_cReaderHandles = 0;
    JoinWorkers(&g_simulation, 1, 2000);
}

void StopWorkersAtExit() {
    const auto self = std::this_thread::get_id();
    for (WorkerSlot& slot : g_aReaders)
        if (slot.thread.get_id() == self) return;
    if (g_simulation.thread.get_id() == self) return;
    SignalAndJoinWorkers();
}
} // namespace

void StartPositioning() {
    static std::once_flag s_exitHandler;
    std::call_once(s_exitHandler, [] { std::atexit(StopWorkersAtExit); });
    if (!g_pStopEvent) {
        g_pStopEvent = std::make_unique<CEvent>(true, false);
        g_pFoundEvent = std::make_unique<CEvent>(true, false);
    }
    StopPositioning();
    {
        std::lock_guard<std::mutex> lock(g_lock);
        ResetSpeedRingLocked();
    }
    CallOrSkip(PositioningHooks().pfnPagesPositioningStarted);
    g_pStopEvent->Reset();
    g_pFoundEvent->Reset();
    g_fStopping = false;

    if (g_fDemoEnabled && ::access(DemoTrackPath().c_str(), F_OK) == 0) {
        g_simulation.pDone = std::make_shared<CEvent>(true, false);
        g_simulation.thread = std::thread(SimulationThread, g_simulation.pDone);
        return;
    }
    g_cRunningReaders = 0;
    for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i) {
        if (!IsPortEnabled(i)) continue;
        int h = g_cReaderHandles.load();
        VELKA_ASSERT(h <= c_cMaxComPort);
        if (h > c_cMaxComPort) break;
        g_aReaders[h].pDone = std::make_shared<CEvent>(true, false);
        ++g_cRunningReaders;
        g_aReaders[h].thread = std::thread(ReaderThread, i, g_aReaders[h].pDone);
        ++g_cReaderHandles;
    }
    // gpsd races beside the ports unless turned off.
    if (g_fGpsdAllowed && GpsdSetting() != 0) {
        const int h = g_cReaderHandles.load();
        g_aReaders[h].pDone = std::make_shared<CEvent>(true, false);
        ++g_cRunningReaders;
        g_aReaders[h].thread = std::thread(ReaderThread, c_nGpsdReader, g_aReaders[h].pDone);
        ++g_cReaderHandles;
    }
}

void StopPositioning() {
    if (!g_fStopping) {
        ResetSatelliteTable(0);
        SatelliteTableCompleted();
        CallOrSkip(PositioningHooks().pfnPagesPositioningStopped);
    }
    SignalAndJoinWorkers();
    SetGpsStatus(IDS_GPS_NOT_CONNECTED);
}

bool IsPositioningRunning() { return !g_fStopping; }

void ShutdownPositioning() {
    StopPositioning();
    g_pStopEvent.reset();
    g_pFoundEvent.reset();
    std::lock_guard<std::mutex> lock(g_lock);
    ResetSpeedRingLocked();
}

void ToggleScanComPorts() {
    bool fWasOn = ReadSettingBool(u"ScanCOMPorts", true);
    WriteSettingBool(u"ScanCOMPorts", !fWasOn);
    if (fWasOn && IsPositioningRunning())
        StopPositioning();
    else if (!fWasOn && !IsPositioningRunning())
        StartPositioning();
}

// --- Entries of the decoders ---------------------------------------------

void OnFix(const GpsFix& fixGiven) {
    // Whatever decoder delivered it, an impossible position or speed is
    // dropped here, before it can be shown or recorded.
    GpsFix fixNew = fixGiven;
    if (fixNew.Has(gfPosition) && !IsPlausiblePosition(fixNew.fLatitude, fixNew.fLongitude))
        fixNew.dwFlags &= ~static_cast<DWORD>(gfPosition);
    if (fixNew.Has(gfSpeed) && !IsPlausibleSpeed(fixNew.fSpeed)) fixNew.dwFlags &= ~static_cast<DWORD>(gfSpeed);
    bool fMoved = false, fRegained = false, fLost = false;
    int cSatellites = 0;
    bool fOverEllipsoid = ReadSettingBool(u"GPSElevationIsOverEllipsoid", false);
    {
        std::lock_guard<std::mutex> lock(g_lock);
        const GpsFix& fixPrev = g_state.fix;
        bool fPrevPosition = fixPrev.Has(gfPosition), fNewPosition = fixNew.Has(gfPosition);
        if (fPrevPosition && fNewPosition) {
            // Moved when either coordinate leaves its tolerance (the
            // horizontal error, in degrees of each axis).
            double dTolLat = fixNew.Has(gfHorzError) ? fixNew.fHorzError * 360.0 / 40000000.0 : 0.0;
            double dCos = std::cos(fixNew.fLatitude * M_PI / 180.0);
            double dTolLon = dCos > 1e-9 ? dTolLat / dCos : 360.0;
            fMoved = std::fabs(static_cast<double>(fixNew.fLongitude) - fixPrev.fLongitude) > dTolLon ||
                     std::fabs(static_cast<double>(fixNew.fLatitude) - fixPrev.fLatitude) > dTolLat;
        } else if (!fPrevPosition && fNewPosition) {
            fRegained = true;
            fMoved = true;
        } else if (fPrevPosition && !fNewPosition) {
            fLost = true;
        }
        g_state.fix = fixNew;
        GpsFix& cur = g_state.fix;
        if (!cur.Has(gfGeoidHeight) && cur.Has(gfPosition))
            cur.SetGeoidHeight(GeoidHeight(cur.fLatitude, cur.fLongitude));
        if (fOverEllipsoid && cur.Has(gfAltitude) && cur.Has(gfGeoidHeight)) cur.fAltitude -= cur.fGeoidHeight;
        if (cur.Has(gfSpeed) && cur.fSpeed >= 2.0f) PushSpeedLocked(cur.fSpeed);
        // (-1: the receiver does not tell, which is not "no GPS".)
        cSatellites = fixNew.Has(gfSatellites) && fixNew.nSatellites > 0 ? fixNew.nSatellites : 0;
    }
    // The subsystems fed from here take their own locks, never inside ours.
    const CPositioningHooks& hooks = PositioningHooks();
    if (fRegained) {
        GpsLog(u"New track started due to position was lost in previous fix.");
        if (hooks.pfnQueueGpsPrompt) hooks.pfnQueueGpsPrompt(3);
        CallOrSkip(hooks.pfnTrackStartNew);
        CallOrSkip(hooks.pfnScreenTrackBreak);
    } else if (fLost) {
        if (hooks.pfnQueueGpsPrompt) hooks.pfnQueueGpsPrompt(1);
    }
    if (fMoved) {
        if (hooks.pfnTrackAddFix) hooks.pfnTrackAddFix(fixNew);
        if (hooks.pfnScreenTrackAddPoint) hooks.pfnScreenTrackAddPoint(fixNew.fLongitude, fixNew.fLatitude);
    }
    PostNotification(WM_GPS_FIX);
    SetGpsIndicator(cSatellites);
}

void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed,
                        bool fSpeedValid) {
    if (!IsPlausiblePosition(fLat, fLon)) return;
    if (fSpeedValid && !IsPlausibleSpeed(fSpeed)) fSpeedValid = false;
    bool fKeepVisible = ReadSettingBool(u"KeepVisible", true);
    bool fChanged = false;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (fLon != g_state.fLon || fLat != g_state.fLat) {
            g_state.fLon = fLon;
            g_state.fLat = fLat;
            fChanged = true;
            if (fKeepVisible) {
                auto MapUnits = [](float f) {
                    double d = std::floor(static_cast<double>(f) * 1073741824.0 / 180.0 + 0.5);
                    return static_cast<int>(std::clamp(d, -2147483648.0, 2147483647.0));
                };
                g_state.lX = MapUnits(fLon);
                g_state.lY = MapUnits(fLat);
            }
        }
        if (fCourseValid && fSpeedValid) {
            if (fCourse < 0) fCourse += 360;
            if (fSpeed >= 2.0f) {
                g_state.fCourse = fCourse;
                fChanged = true;
            }
        }
        if (fSpeedValid) g_state.fSpeed = fSpeed;
        g_state.fSpeedValid = fSpeedValid;
        g_state.fCourseValid = fCourseValid;
    }
    if (fChanged) PostNotification(WM_GPS_POSITION);
}

void ResetSatelliteTable(int cCapacity) {
    cCapacity = std::clamp(cCapacity, 0, c_cMaxSatellites);
    std::lock_guard<std::mutex> lock(g_lock);
    g_state.satellites.clear();
    g_state.satellites.shrink_to_fit();
    g_state.satellites.reserve(static_cast<std::size_t>(cCapacity));
    g_state.cSatelliteCapacity = cCapacity;
}

void AddSatellite(const GpsSatellite& sat) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (static_cast<int>(g_state.satellites.size()) < g_state.cSatelliteCapacity)
        g_state.satellites.push_back(sat);
}

void SatelliteTableCompleted() { PostNotification(WM_GPS_DATA); }

double FixupGPSEpochWith(double dTime, bool fEnabled, int nEpoch, double dNotBefore) {
    if (!fEnabled || !std::isfinite(dTime)) return dTime;
    if (nEpoch < 0) {
        if (dTime >= dNotBefore) return dTime;
        return dTime + std::ceil((dNotBefore - dTime) / c_dEpochDays) * c_dEpochDays;
    }
    double e = std::floor((dTime - c_dEpochStart) / c_dEpochDays);
    if (e == nEpoch) return dTime;
    return dTime + (nEpoch - e) * c_dEpochDays;
}

double BuildDate() {
    static const double s_dDate = [] {
        SYSTEMTIME st;
        st.wYear = static_cast<WORD>(VELKA_BUILD_YMD / 10000);
        st.wMonth = static_cast<WORD>(VELKA_BUILD_YMD / 100 % 100);
        st.wDay = static_cast<WORD>(VELKA_BUILD_YMD % 100);
        double d = 0;
        SystemTimeToVariantTime(st, &d);
        return d;
    }();
    return s_dDate;
}

double EpochPivot() { return BuildDate() - c_dEpochDays / 2; }

double FixupGPSEpoch(double dTime) {
    if (!ReadSettingBool(u"FixupGPSEpoch", true)) return dTime;
    return FixupGPSEpochWith(dTime, true, ReadSettingInt(u"GPSEpoch", -1), EpochPivot());
}

double FixupClock(double dTime) {
    SYSTEMTIME st = GetSystemTime();
    WORD wMs = st.wMilliseconds;
    st.wMilliseconds = 0;
    double dSystem = 0;
    SystemTimeToVariantTime(st, &dSystem);
    dSystem += wMs / 86400000.0;
    double dOffset = (dSystem - dTime) * 86400000.0;

    DWORD dwNow = GetTickCount();
    if (ReadSettingBool(u"FixupClock", true) &&
        std::fabs(dOffset) >= ReadSettingInt(u"FixupClockThreshold", 1500) &&
        (!g_fCorrected || dwNow - g_dwLastCorrection > 10000)) {
        g_dwLastCorrection = dwNow;
        g_fCorrected = true;
        double dDays = std::floor(dTime);
        double dSeconds = std::floor((dTime - dDays) * 86400.0);
        double dFraction = (dTime - dDays) * 86400.0 - dSeconds;
        int nMs = static_cast<int>(std::floor(dFraction * 1000 + 0.5));
        if (nMs >= 1000) {
            nMs -= 1000;
            dSeconds += 1;
        }
        SYSTEMTIME stNew;
        if (VariantTimeToSystemTime(dDays + dSeconds / 86400.0, &stNew)) {
            stNew.wMilliseconds = static_cast<WORD>(nMs);
            if (g_pfnSetSystemClock && g_pfnSetSystemClock(stNew)) {
                g_llClockOffset = 0;
                ++g_cClockCorrections;
                return dTime;
            }
        }
    }
    g_llClockOffset = std::isfinite(dOffset) ? std::llround(std::clamp(dOffset, -9e18, 9e18)) : 0;
    return dTime;
}

void ReportNoPosition() {
    GpsLog(u"No position info reported.");
    CallOrSkip(PositioningHooks().pfnGaugesNoData);
    CallOrSkip(PositioningHooks().pfnTrackStartNew);
    CallOrSkip(PositioningHooks().pfnScreenTrackBreak);
}

void SetGpsStatus(UINT uId, ...) {
    std::u16string fmt = LoadStr(uId);
    if (fmt.size() > 129) fmt.resize(129);
    va_list args;
    va_start(args, uId);
    std::u16string text = FormatWV(fmt.c_str(), args);
    va_end(args);
    if (text.size() > 129) text.resize(129);
    GpsLog(u"STATUS: %s", text.c_str());
    {
        std::lock_guard<std::mutex> lock(g_lock);
        CopyToBuffer(g_state.szStatus, c_cchStatus + 1, std::u16string_view(text).substr(0, c_cchStatus));
    }
    PostNotification(WM_GPS_STATUS);
}

void SetGpsIndicator(int nValue) {
    if (g_nIndicator.exchange(nValue) != nValue) PostNotification(WM_GPS_INDICATOR);
}

void CountChecksumError() { ++g_cChecksumErrors; }

// --- Getters ------------------------------------------------------------------

GpsFix GetCurrentFix() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_state.fix;
}

bool GetLastPosition(float* pfLon, float* pfLat, float* pfCourse) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (pfLon) *pfLon = g_state.fLon;
    if (pfLat) *pfLat = g_state.fLat;
    if (pfCourse) *pfCourse = g_state.fCourse;
    return g_state.fix.Has(gfPosition);
}

bool GetLastPosition(float* pfLon, float* pfLat, float* pfCourse, float* pfSpeed, bool* pfCourseValid,
                     bool* pfSpeedValid) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (pfLon) *pfLon = g_state.fLon;
    if (pfLat) *pfLat = g_state.fLat;
    if (pfCourse) *pfCourse = g_state.fCourse;
    if (pfSpeed) *pfSpeed = g_state.fSpeed;
    if (pfCourseValid) *pfCourseValid = g_state.fCourseValid;
    if (pfSpeedValid) *pfSpeedValid = g_state.fSpeedValid;
    return g_state.fix.Has(gfPosition);
}

void GetLastPositionMapUnits(int* plX, int* plY) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (plX) *plX = g_state.lX;
    if (plY) *plY = g_state.lY;
}

float GetLongAverageSpeed() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_state.cSpeedFill == 0) return 0;
    double dSum = 0;
    for (float f : g_state.afSpeeds) dSum += f;
    return static_cast<float>(dSum / g_state.cSpeedFill);
}

float GetShortAverageSpeed() {
    std::lock_guard<std::mutex> lock(g_lock);
    int c = std::min(5, g_state.cSpeedFill);
    if (c == 0) return 0;
    double dSum = 0;
    int i = g_state.cSpeedNext;
    for (int k = 0; k < c; ++k) {
        i = i == 0 ? c_cSpeedBufSize - 1 : i - 1;
        dSum += g_state.afSpeeds[i];
    }
    return static_cast<float>(dSum / c);
}

int GetSatelliteCount() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_state.cSatelliteCapacity;
}

GpsSatellite GetSatellite(int i) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (i < 0 || static_cast<std::size_t>(i) >= g_state.satellites.size()) return GpsSatellite{};
    return g_state.satellites[static_cast<std::size_t>(i)];
}

void GetGpsStatusText(char16_t* pBuffer, std::size_t cchBuffer) {
    std::lock_guard<std::mutex> lock(g_lock);
    CopyToBuffer(pBuffer, std::min(cchBuffer, c_cchStatus + 1), g_state.szStatus);
}

std::u16string GetGpsStatusText() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_state.szStatus;
}

int GetGpsIndicator() { return g_nIndicator; }
long long GetClockOffset() { return g_llClockOffset; }
unsigned GetClockCorrectionCount() { return g_cClockCorrections; }
unsigned GetChecksumErrorCount() { return g_cChecksumErrors; }
void ResetClockCorrectionCount() { g_cClockCorrections = 0; }
void ResetChecksumErrorCount() { g_cChecksumErrors = 0; }

bool IsPortInUse(int nIndex) {
    VELKA_ASSERT(c_cMinComPort <= nIndex && nIndex <= c_cMaxComPort);
    if (nIndex < c_cMinComPort || nIndex > c_cMaxComPort) return false;
    return g_afPortInUse[nIndex];
}

bool IsPortEnabled(int nIndex) {
    VELKA_ASSERT(c_cMinComPort <= nIndex && nIndex <= c_cMaxComPort);
    std::u16string name = FormatW(u"Enable_COM%d", nIndex);
    int n = ReadSettingInt(name.c_str(), c_nMissing);
    if (n == c_nMissing) {
        WriteSettingInt(name.c_str(), 1);
        return true;
    }
    return n != 0;
}

void SetPortEnabled(int nIndex, bool fEnabled) {
    VELKA_ASSERT(c_cMinComPort <= nIndex && nIndex <= c_cMaxComPort);
    WriteSettingInt(FormatW(u"Enable_COM%d", nIndex).c_str(), fEnabled ? 1 : 0);
}

void ResetPositioningForTest() {
    StopPositioning();
    std::lock_guard<std::mutex> lock(g_lock);
    g_state = State{};
    g_nIndicator = -1;
    g_cClockCorrections = 0;
    g_cChecksumErrors = 0;
    g_llClockOffset = 0;
    g_fCorrected = false;
    g_dwLastCorrection = 0;
}

} // namespace velka
