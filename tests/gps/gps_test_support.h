// Shared pieces of the GPS tests: a sink that records what a decoder
// delivers, and a guard that keeps positioning off the real system clock.
#pragma once
#include <string>
#include <vector>

#include "gps/gps_protocol.h"
#include "gps/nmea.h"

namespace velka::test {

struct LastPositionCall {
    float fLon, fLat, fCourse;
    bool fCourseValid;
    float fSpeed;
    bool fSpeedValid;
};

class CRecordingSink : public IGpsSink {
public:
    void OnFix(const GpsFix& fix) override { fixes.push_back(fix); }
    void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed,
                            bool fSpeedValid) override {
        positions.push_back({fLon, fLat, fCourse, fCourseValid, fSpeed, fSpeedValid});
    }
    void ResetSatellites(int cCapacity) override {
        satellites.clear();
        nCapacity = cCapacity;
    }
    void AddSatellite(const GpsSatellite& sat) override { satellites.push_back(sat); }
    void SatellitesCompleted() override { ++cCompleted; }
    double FixupGPSEpoch(double dTime) override { return dTime; }
    double FixupClock(double dTime) override {
        clockTimes.push_back(dTime);
        return dTime;
    }
    void ReportNoPosition() override { ++cNoPosition; }
    void CountChecksumError() override { ++cChecksumErrors; }

    // Fixes with any value (the first hand-over gives an empty one).
    std::vector<GpsFix> NonEmpty() const {
        std::vector<GpsFix> v;
        for (const GpsFix& f : fixes)
            if (f.dwFlags) v.push_back(f);
        return v;
    }

    std::vector<GpsFix> fixes;
    std::vector<LastPositionCall> positions;
    std::vector<GpsSatellite> satellites;
    std::vector<double> clockTimes;
    int nCapacity = -1;
    int cCompleted = 0;
    int cNoPosition = 0;
    int cChecksumErrors = 0;
};

// An NMEA sentence with its checksum and CR LF: body is what lies between
// '$' and '*'.
std::string Nmea(const std::string& strBody);

// Feeds text to the decoder as one read.
int Feed(CNmea0183Protocol& decoder, const std::string& text);

// Replaces the system-clock setter for the life of the object: records
// calls and answers fResult.
class ScopedClockSetter {
public:
    explicit ScopedClockSetter(bool fResult);
    ~ScopedClockSetter();
    ScopedClockSetter(const ScopedClockSetter&) = delete;
    ScopedClockSetter& operator=(const ScopedClockSetter&) = delete;
    static int Calls();

private:
    bool (*m_pfnOld)(const SYSTEMTIME&);
};

} // namespace velka::test
