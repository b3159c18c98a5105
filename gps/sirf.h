// CSiRFProtocol: SiRF binary messages at 4800 bps, received without
// sending anything. Measured navigation data (message 2) becomes a fix,
// measured tracker data (message 4) the satellite table.
#pragma once
#include "gps/gps_protocol.h"

namespace velka {

class CSiRFProtocol : public CGpsProtocol {
public:
    CSiRFProtocol();
    void Start() override;
    void Stop() override {}
    int OnData(const BYTE* pb, DWORD cb) override;

    unsigned MessageCount() const { return m_cMessages; }
    static constexpr std::size_t c_cbBuffer = 2048;

private:
    void Reset() {
        m_nState = 0;
        m_cbBuffer = 0;
    }
    void Handle(const BYTE* pPayload, std::size_t cb);
    void Navigation(const BYTE* p, std::size_t cb);
    void Tracker(const BYTE* p, std::size_t cb);

    DWORD m_dwLastValid = 0;
    int m_nState = 0;
    BYTE m_abBuffer[c_cbBuffer] = {};
    std::size_t m_cbBuffer = 0;
    std::size_t m_cbPayload = 0;
    unsigned m_cMessages = 0;
};

// Earth-centred, Earth-fixed position (m) and velocity (m/s) to longitude,
// latitude (degrees), height over the ellipsoid (m), east, north and up
// velocity (m/s): Bowring's method on WGS-84.
struct GeodeticState {
    double dLon, dLat, dHeight, dEast, dNorth, dUp;
};
GeodeticState EcefToGeodetic(double x, double y, double z, double vx, double vy, double vz);

} // namespace velka
