// What the simulation thread replays: a track handed out one point at a
// time. The track reader of the waypoint exchange formats provides it and
// is opened through PositioningHooks().pfnOpenDemoTrack.
#pragma once
#include <memory>
#include <string>

#include "gps/gps_fix.h"

namespace velka {

class IGpsTrackSource {
public:
    virtual ~IGpsTrackSource() = default;
    // The next track point into the fix (position, and time, altitude,
    // depth, speed, course and vertical speed when known); false when the
    // track is used up.
    virtual bool NextPoint(GpsFix& fix) = 0;
    // Back to the first point.
    virtual void Rewind() = 0;
};

// Opens a track file for replay; null when it cannot be read.
using PfnOpenGpsTrack = std::unique_ptr<IGpsTrackSource> (*)(const std::string& strPath);

// "Demo.gdb" in the program's folder unless set otherwise.
std::string DemoTrackPath();
void SetDemoTrackPath(const std::string& strPath);
// Whether a demo track beside the program replaces the ports (true).
void EnableDemoTrack(bool fEnable);

// Time between simulated fixes (1000 ms).
void SetSimulationInterval(DWORD dwMs);

} // namespace velka
