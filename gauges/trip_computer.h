// The trip computer: a total distance never reset, two trip records
// (distance, moving, stopped and measured time) and the extremes (highest
// and lowest elevation, top speed, top climb and descent rates), updated
// from the stream of fixes and kept in the settings store on every change.
//
// A fix is moving when its speed is valid and at least 2 km/h. Distance
// grows only between moving fixes and only once the position left a small
// jitter circle around the last counted point, so a parked receiver logs
// nothing. Times grow only over intervals 0 < dt <= c_dMaxIntervalSeconds
// between fixes of the same state: a rewound replay or a receiver unplugged
// for hours adds nothing. The last fix is kept too, so a quick restart
// continues the chain where it stopped.
#pragma once
#include <string>

#include "gps/gps_fix.h"

namespace velka {

constexpr float c_fMovingSpeedKmh = 2.0f;
constexpr double c_dMaxIntervalSeconds = 5.0;
// The smallest step counted between moving fixes, and the largest jitter
// circle a fix's horizontal error can ask for.
constexpr double c_dMinJitterMetres = 3.0;
constexpr double c_dMaxJitterMetres = 15.0;
constexpr double c_dMetresPerHdop = 3.0;
// Reset values of the extremes.
constexpr double c_dNoMaxElevation = -1000.0;
constexpr double c_dNoMinElevation = 100000.0;

// A trip record: what "reset" and the average speeds work on.
struct CTripRecord {
    double dOdometer = 0;     // metres
    double dtMoving = 0;      // days
    double dtStopped = 0;     // days
    double dtMeasured = 0;    // days
    const char16_t* strTripOdometer = nullptr;
    const char16_t* strTripTime_Moving = nullptr;
    const char16_t* strTripTime_Stopped = nullptr;
    const char16_t* strTripTime_Measured = nullptr;
};

enum TripExtreme { teMaxElevation, teMinElevation, teMaxSpeed, teMaxVAscent, teMaxVDescent, c_cTripExtremes };

class CTripComputer {
public:
    CTripComputer();
    // Reads every value from the settings store.
    void Load();
    void Update(const GpsFix& fix);
    // A lost position breaks the distance chain; the totals stay.
    void PositionLost();
    // Distance and the three times of trip k (0 or 1) to zero.
    void ResetTrip(int k);
    void ResetExtreme(int nExtreme);

    double Odometer() const { return m_dOdometer; }
    const CTripRecord& Trip(int k) const { return m_aTrips[k]; }
    double Extreme(int nExtreme) const { return m_adExtremes[nExtreme]; }
    // Average speed in km/h over the moving (fOverall false) or the
    // measured time of trip k; false while that time is below one second.
    bool AverageSpeed(int k, bool fOverall, double* pdKmh) const;

private:
    struct CLastFix {
        bool fTime = false;
        double dTime = 0;
        bool fPosition = false;
        double dLon = 0, dLat = 0;
        bool fMoving = false;
    };
    void AddDistance(double dMetres);
    void AddTime(double dDays, bool fMoving);
    void UpdateExtremes(const GpsFix& fix);
    void StoreDistance(const char16_t* szName, double dMetres);
    void StoreTime(const char16_t* szName, double dDays);
    void StoreExtreme(int nExtreme);
    void StoreLastFix();

    double m_dOdometer = 0;
    CTripRecord m_aTrips[2];
    double m_adExtremes[c_cTripExtremes] = {};
    CLastFix m_last;      // the previous fix (time and state)
    CLastFix m_anchor;    // the last point distance was counted from
};

// The process's trip computer (loaded when the gauges register).
CTripComputer& TripComputer();

// Numbers in stored texts: C locale both ways, whatever the desktop's
// locale. A text that is not a number gives dDefault.
double ParseStoredReal(const std::u16string& strText, double dDefault);
std::u16string FormatStoredReal(const char* szFormat, double d);

} // namespace velka
