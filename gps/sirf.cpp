#include "gps/sirf.h"

#include <cmath>

#include "geometry/geodesy.h"
#include "gps/com_port.h"
#include "platform/clock.h"
#include "platform/debug.h"

namespace velka {
namespace {

constexpr double c_dAug22nd1999 = 36394; // OLE date of 1999-08-22
// GPS time runs ahead of UTC by the leap seconds since 1980 (18 since
// 2017-01-01); message 2 does not tell them, so the current count serves.
constexpr double c_dLeapSeconds = 18;
constexpr float c_fPi = 3.14159265358979f;
constexpr std::size_t c_cbMaxPayload = 2039;

long S32(const BYTE* p) {
    return static_cast<int>((static_cast<unsigned>(p[0]) << 24) | (static_cast<unsigned>(p[1]) << 16) |
                            (static_cast<unsigned>(p[2]) << 8) | static_cast<unsigned>(p[3]));
}
unsigned long U32(const BYTE* p) { return static_cast<unsigned long>(static_cast<unsigned>(S32(p))); }
int S16(const BYTE* p) { return static_cast<short>((p[0] << 8) | p[1]); }
unsigned U16(const BYTE* p) { return static_cast<unsigned>((p[0] << 8) | p[1]); }

} // namespace

GeodeticState EcefToGeodetic(double x, double y, double z, double vx, double vy, double vz) {
    const double a = 6378137.0, f = 1 / 298.257223563;
    const double b = a * (1 - f);
    const double e2 = 1 - (b * b) / (a * a);
    const double ep2 = (a * a) / (b * b) - 1;
    double p = std::hypot(x, y);
    double lambda = std::atan2(y, x);
    double theta = std::atan2(z * a, p * b);
    double st = std::sin(theta), ct = std::cos(theta);
    double phi = std::atan2(z + ep2 * b * st * st * st, p - e2 * a * ct * ct * ct);
    double sp = std::sin(phi), cp = std::cos(phi);
    double n = a / std::sqrt(1 - e2 * sp * sp);
    GeodeticState g;
    g.dHeight = p / cp - n;
    g.dLon = lambda * 180.0 / c_fPi;
    g.dLat = phi * 180.0 / c_fPi;
    double sl = std::sin(lambda), cl = std::cos(lambda);
    double t = vx * cl + vy * sl;
    g.dEast = -vx * sl + vy * cl;
    g.dNorth = -t * sp + vz * cp;
    g.dUp = t * cp + vz * sp;
    return g;
}

CSiRFProtocol::CSiRFProtocol() { m_dwLastValid = GetTickCount(); }

void CSiRFProtocol::Start() {
    VELKA_ASSERT(m_pPort != NULL);
    if (m_pPort) {
        m_pPort->SetState(4800, 8, false, 0);
        m_pPort->Purge();
    }
    m_dwLastValid = GetTickCount();
    Reset();
}

int CSiRFProtocol::OnData(const BYTE* pb, DWORD cb) {
    bool fTaken = false;
    for (DWORD i = 0; i < cb && pb; ++i) {
        m_abBuffer[m_cbBuffer++] = pb[i];
        switch (m_nState) {
        case 0:
            if (m_cbBuffer == 2) {
                if (m_abBuffer[0] == 0xA0 && m_abBuffer[1] == 0xA2) {
                    m_nState = 1;
                } else {
                    m_abBuffer[0] = m_abBuffer[1];
                    m_cbBuffer = 1;
                }
            }
            break;
        case 1:
            if (m_cbBuffer == 4) {
                m_cbPayload = ((m_abBuffer[2] & 0x7F) << 8) | m_abBuffer[3];
                if (m_cbPayload == 0)
                    m_nState = 3;
                else if (m_cbPayload > c_cbMaxPayload)
                    Reset();
                else
                    m_nState = 2;
            }
            break;
        case 2:
            if (m_cbBuffer == m_cbPayload + 4) m_nState = 3;
            break;
        case 3:
            if (m_cbBuffer == m_cbPayload + 6) {
                unsigned uSum = 0;
                for (std::size_t k = 0; k < m_cbPayload; ++k) uSum += m_abBuffer[4 + k];
                if ((uSum & 0x7FFF) == U16(m_abBuffer + 4 + m_cbPayload))
                    m_nState = 4;
                else
                    Reset();
            }
            break;
        case 4:
            if (m_cbBuffer == m_cbPayload + 8) {
                if (m_abBuffer[m_cbBuffer - 2] == 0xB0 && m_abBuffer[m_cbBuffer - 1] == 0xB3) {
                    m_dwLastValid = GetTickCount();
                    ++m_cMessages;
                    Handle(m_abBuffer + 4, m_cbPayload);
                    fTaken = true;
                }
                Reset();
            }
            break;
        default: Reset(); break;
        }
    }
    if (fTaken) return c_nGpsRecognised;
    if (GetTickCount() - m_dwLastValid > 5000) {
        Reset();
        return c_nGpsGiveUp;
    }
    return c_nGpsUndecided;
}

void CSiRFProtocol::Handle(const BYTE* p, std::size_t cb) {
    if (cb == 0) return;
    if (p[0] == 2) Navigation(p, cb);
    else if (p[0] == 4) Tracker(p, cb);
}

void CSiRFProtocol::Navigation(const BYTE* p, std::size_t cb) {
    if (cb < 29) return;
    GpsFix fix;
    fix.Empty();
    int nType = p[19] & 7;
    if (nType == 0 || nType == 7) {
        fix.SetQuality(0);
        m_pSink->OnFix(fix);
        return;
    }
    fix.SetQuality(nType == 3 || nType == 4 || nType == 6 ? 3 : 2);
    double t = U16(p + 22) * 7.0 + c_dAug22nd1999 +
               (static_cast<double>(U32(p + 24)) / 100.0 - c_dLeapSeconds) / 86400.0;
    t = m_pSink->FixupGPSEpoch(t);
    m_pSink->FixupClock(t);
    fix.SetTime(t);
    double vx = S16(p + 13) / 8.0, vy = S16(p + 15) / 8.0, vz = S16(p + 17) / 8.0;
    GeodeticState g = EcefToGeodetic(S32(p + 1), S32(p + 5), S32(p + 9), vx, vy, vz);
    float fLon = static_cast<float>(g.dLon), fLat = static_cast<float>(g.dLat);
    fix.SetPosition(fLon, fLat);
    float fGeoid = GeoidHeight(fLat, fLon);
    fix.SetAltitude(static_cast<float>(g.dHeight - fGeoid));
    fix.SetGeoidHeight(fGeoid);
    float fSpeed = static_cast<float>(std::sqrt(vx * vx + vy * vy + vz * vz) * 3.6);
    fix.SetSpeed(fSpeed);
    fix.SetVertSpeed(static_cast<float>(g.dUp));
    double dCourse = std::atan2(g.dEast, g.dNorth) * 180.0 / c_fPi;
    if (dCourse < 0) dCourse += 360;
    fix.SetCourse(static_cast<float>(dCourse));
    m_pSink->UpdateLastPosition(fLon, fLat, fix.fCourse, true, fSpeed, true);
    fix.SetHDOP(p[20] / 5.0f);
    fix.SetSatellites(p[28]);
    m_pSink->OnFix(fix);
}

void CSiRFProtocol::Tracker(const BYTE* p, std::size_t cb) {
    if (cb < 8) return;
    std::size_t cChannels = p[7];
    std::size_t n = 0;
    while (n < cChannels && 8 + (n + 1) * 15 <= cb && p[8 + n * 15] != 0) ++n;
    m_pSink->ResetSatellites(static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const BYTE* c = p + 8 + i * 15;
        GpsSatellite sat;
        sat.nPRN = c[0];
        sat.nAzimuth = c[1] * 3 / 2;
        sat.nElevation = c[2] / 2;
        unsigned uState = U16(c + 3);
        int nSum = 0;
        for (int k = 0; k < 10; ++k) nSum += c[5 + k];
        sat.nSNR = nSum / 10;
        sat.nState = (uState & 0x81) == 0x81 ? 2 : 1;
        m_pSink->AddSatellite(sat);
    }
    m_pSink->SatellitesCompleted();
}

} // namespace velka
