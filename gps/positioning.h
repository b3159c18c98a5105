// Positioning: the GPS connection and the current position. Reader threads
// (one per enabled port) try the enabled protocols until one recognises its
// data; the decoders deliver fixes here, under the positioning lock; the
// user interface is told through notifications and reads back through the
// getters. With a demo track beside the program a simulation thread
// replays it instead.
#pragma once
#include <cstddef>

#include "gps/com_port.h"
#include "gps/gps_fix.h"
#include "gps/gps_protocol.h"
#include "gps/track_source.h"
#include "platform/clock.h"

namespace velka {

constexpr int c_cSpeedBufSize = 100;

// Hooks to the subsystems positioning feeds; each is null until the
// composition root fills it, and (unless said otherwise) is called on a
// reader (or the simulation) thread without the positioning lock held, so
// they are plain functions set before positioning starts.
struct CPositioningHooks {
    // Track recording: a moved fix, as delivered; the next point opens a
    // new track.
    void (*pfnTrackAddFix)(const GpsFix& fix) = nullptr;
    void (*pfnTrackStartNew)() = nullptr;
    // On-screen track: a moved position, and a break in the line.
    void (*pfnScreenTrackAddPoint)(float fLon, float fLat) = nullptr;
    void (*pfnScreenTrackBreak)() = nullptr;
    // Gauges: the receiver gives no data (their no-data operation).
    void (*pfnGaugesNoData)() = nullptr;
    // Sounds: queue GPS prompt n (1 "GPSMissing", 3 "GPSConnected"); set
    // while navigation runs.
    void (*pfnQueueGpsPrompt)(int nPrompt) = nullptr;
    // The four pages, in index order: positioning starts or stops (main thread).
    void (*pfnPagesPositioningStarted)() = nullptr;
    void (*pfnPagesPositioningStopped)() = nullptr;
    // The opener the simulation uses: null ends the simulation at once, as
    // with an unreadable file.
    PfnOpenGpsTrack pfnOpenDemoTrack = nullptr;
};
CPositioningHooks& PositioningHooks();

// Sets the system clock (UTC); SetSystemTime by default. Tests and tools
// put a stand-in here.
extern bool (*g_pfnSetSystemClock)(const SYSTEMTIME& st);

// Lifecycle (main thread).
void InitPositioning();
void StartPositioning();
void StopPositioning();
bool IsPositioningRunning();
void ShutdownPositioning();
// The menu command: toggles "ScanCOMPorts" and starts or stops.
void ToggleScanComPorts();

// Entries for the decoders and the simulation (any thread).
void OnFix(const GpsFix& fix);
void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed,
                        bool fSpeedValid);
void ResetSatelliteTable(int cCapacity);
void AddSatellite(const GpsSatellite& sat);
void SatelliteTableCompleted();
double FixupClock(double dTime);
double FixupGPSEpoch(double dTime);
// Logs the loss, tells the gauges, starts a new track and breaks the
// on-screen track.
void ReportNoPosition();
// Status text from string id, formatted with the arguments.
void SetGpsStatus(UINT uId, ...);
// -1 no GPS, 0 connected, n > 0 satellites used.
void SetGpsIndicator(int nValue);
void CountChecksumError();

// The epoch rule: with nEpoch >= 0 the time moves into that 1024-week
// epoch; with nEpoch < 0 (the default, "GPSEpoch" absent) it moves forward
// by whole 1024-week periods until it is not earlier than dNotBefore.
double FixupGPSEpochWith(double dTime, bool fEnabled, int nEpoch, double dNotBefore);
// The program's build date (OLE date, UTC midnight).
double BuildDate();
// The earliest time the automatic rule accepts: half of 1024 weeks before
// the build date, so that the accepted 1024 weeks are centred on it. A
// receiver that lost a week rollover reports a time 1024 weeks early,
// which lies before it.
double EpochPivot();

// Getters (any thread; each copies under the positioning lock).
GpsFix GetCurrentFix();
bool GetLastPosition(float* pfLon, float* pfLat, float* pfCourse);
bool GetLastPosition(float* pfLon, float* pfLat, float* pfCourse, float* pfSpeed,
                     bool* pfCourseValid, bool* pfSpeedValid);
// The last position in map units (degrees × 2^30 / 180), when "KeepVisible".
void GetLastPositionMapUnits(int* plX, int* plY);
float GetLongAverageSpeed();
float GetShortAverageSpeed();
int GetSatelliteCount();
GpsSatellite GetSatellite(int i);
void GetGpsStatusText(char16_t* pBuffer, std::size_t cchBuffer);
std::u16string GetGpsStatusText();
int GetGpsIndicator();
long long GetClockOffset();
unsigned GetClockCorrectionCount();
unsigned GetChecksumErrorCount();
void ResetClockCorrectionCount();
void ResetChecksumErrorCount();
bool IsPortInUse(int nIndex);

// Port settings ("Enable_COM%d"; a missing value is written as 1).
bool IsPortEnabled(int nIndex);
void SetPortEnabled(int nIndex, bool fEnabled);

// Whether positioning may start the gpsd reader at all (the setting
// "UseGpsd" decides within that); tools that listen to one device turn it
// off.
void EnableGpsdReader(bool fEnable);

// Resets the process-wide state to that of program start (tests).
void ResetPositioningForTest();

} // namespace velka
