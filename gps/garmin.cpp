#include "gps/garmin.h"

#include <cmath>
#include <cstring>

#include "gps/com_port.h"
#include "gps/gps_log.h"
#include "platform/clock.h"
#include "platform/debug.h"

namespace velka {
namespace {

constexpr BYTE DLE = 0x10;
constexpr BYTE ETX = 0x03;
constexpr BYTE c_btAck = 6;
constexpr BYTE c_btCommand = 10;
constexpr BYTE c_btNak = 21;
constexpr BYTE c_btSatellites = 26;
constexpr BYTE c_btPvt = 51;
constexpr BYTE c_btSatelliteData = 114;
constexpr double c_dDec31st1989 = 32873; // OLE date of 1989-12-31
constexpr float c_fPi = 3.14159265358979f;

float F32(const BYTE* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}
double F64(const BYTE* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}
int I16(const BYTE* p) { return static_cast<short>(p[0] | (p[1] << 8)); }
unsigned U16(const BYTE* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }
long I32(const BYTE* p) {
    return static_cast<int>(static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8) |
                            (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[3]) << 24));
}

} // namespace

const BYTE CGarminProtocol::c_abStartPvt[8] = {0x10, 0x0A, 0x02, 0x31, 0x00, 0xC3, 0x10, 0x03};
const BYTE CGarminProtocol::c_abStopPvt[8] = {0x10, 0x0A, 0x02, 0x32, 0x00, 0xC2, 0x10, 0x03};
const BYTE CGarminProtocol::c_abAckPvt[8] = {0x10, 0x06, 0x02, 0x33, 0x00, 0xC5, 0x10, 0x03};
const BYTE CGarminProtocol::c_abNakPvt[8] = {0x10, 0x15, 0x02, 0x33, 0x00, 0xB6, 0x10, 0x03};

CGarminProtocol::CGarminProtocol() { m_dwLastData = m_dwLastRequest = GetTickCount(); }

void CGarminProtocol::Send(const BYTE* pb) {
    // Without a port (a file being decoded) there is no one to answer.
    if (m_pPort) WritePort(m_pPort, pb, 8);
}

void CGarminProtocol::Start() {
    VELKA_ASSERT(m_pPort != NULL);
    if (m_pPort) {
        m_pPort->SetState(9600, 8, false, 0);
        m_pPort->Purge();
    }
    m_cbBuffer = 0;
    m_btPrev = 0;
    m_dwLastData = GetTickCount();
    RequestPvt();
}

void CGarminProtocol::Stop() {
    VELKA_ASSERT(m_pPort != NULL);
    Send(c_abStopPvt);
}

void CGarminProtocol::RequestPvt() {
    m_fWaitingForAck = true;
    m_fPvtOn = false;
    m_dwLastRequest = GetTickCount();
    Send(c_abStartPvt);
}

int CGarminProtocol::OnData(const BYTE* pb, DWORD cb) {
    DWORD dwNow = GetTickCount();
    const char16_t* szPort = m_pPort ? m_pPort->Name() : u"";
    if (cb == 0 || !pb) {
        if (m_fWaitingForAck && !m_fPvtOn && dwNow - m_dwLastRequest > 3000) {
            GpsLog(u"No ACK for PVT request (Garmin protocol, %s)", szPort);
            return c_nGpsGiveUp;
        }
        if (!m_fWaitingForAck && !m_fPvtOn) {
            GpsLog(u"NAK (Garmin protocol, %s)", szPort);
            return c_nGpsGiveUp;
        }
        if (m_fPvtOn && dwNow - m_dwLastData >= 700) {
            m_cbBuffer = 0;
            m_btPrev = 0;
            m_dwLastData = dwNow;
            RequestPvt();
        }
        return c_nGpsUndecided;
    }
    // The receiver echoes what it was sent.
    if (cb == 8 && std::memcmp(pb, c_abStartPvt, 8) == 0) return c_nGpsUndecided;

    m_dwLastData = dwNow;
    bool fTaken = false;
    for (DWORD i = 0; i < cb; ++i) {
        BYTE b = pb[i];
        if (m_btPrev != DLE) {
            if (m_cbBuffer < c_cbBuffer) m_abBuffer[m_cbBuffer++] = b;
            m_btPrev = b;
        } else if (b == DLE) {
            // A stuffed data byte: the first DLE of the pair is in the buffer.
            m_btPrev = 0;
        } else if (b == ETX) {
            m_btPrev = b;
            if (!ProcessPacket()) {
                GpsLog(u"Bad packet (Garmin protocol, %s)", szPort);
                return c_nGpsGiveUp;
            }
            fTaken = true;
            m_cbBuffer = 0;
        } else {
            m_cbBuffer = 0;
            m_abBuffer[m_cbBuffer++] = b;
            m_btPrev = b;
        }
    }
    return fTaken ? c_nGpsRecognised : c_nGpsUndecided;
}

bool CGarminProtocol::ProcessPacket() {
    // id, size, data, checksum and the closing DLE.
    std::size_t cb = m_cbBuffer;
    if (cb < 3) return false;
    BYTE bSum = 0;
    for (std::size_t i = 0; i + 2 < cb; ++i) bSum = static_cast<BYTE>(bSum + m_abBuffer[i]);
    if (static_cast<BYTE>(bSum + m_abBuffer[cb - 2]) != 0) {
        ++m_cChecksumErrors;
        m_pSink->CountChecksumError();
        GpsLog(u"Check sum failed! (Garmin protocol, %s)", m_pPort ? m_pPort->Name() : u"");
        return true;
    }
    BYTE btId = m_abBuffer[0];
    std::size_t cbData = m_abBuffer[1];
    if (cb != cbData + 4) return false;
    ++m_cPackets;
    const BYTE* pData = m_abBuffer + 2;
    if (btId == c_btAck && cbData >= 1 && pData[0] == c_btCommand && m_fWaitingForAck) {
        m_fPvtOn = true;
        m_fWaitingForAck = false;
    } else if (btId == c_btNak && cbData >= 1 && pData[0] == c_btCommand && m_fWaitingForAck) {
        m_fPvtOn = false;
        m_fWaitingForAck = false;
    } else if (btId == c_btPvt) {
        if (cbData >= 64) {
            Pvt(pData);
            Send(c_abAckPvt);
        } else {
            Send(c_abNakPvt);
        }
    } else if (btId == c_btSatellites && cbData == 12 * 8) {
        SatellitesOld(pData);
    } else if (btId == c_btSatelliteData && cbData == 12 * 7) {
        SatellitesNew(pData);
    }
    return true;
}

void CGarminProtocol::Pvt(const BYTE* p) {
    int nFixType = I16(p + 16);
    if (nFixType == 0 || nFixType == 1) {
        GpsLog(u"Invalid or unusable fix reported. (Garmin protocol)");
        m_pSink->ReportNoPosition();
        return;
    }
    GpsFix fix;
    fix.Empty();
    double t = (F64(p + 18) - I16(p + 58)) / 86400.0 + static_cast<double>(I32(p + 60)) + c_dDec31st1989;
    t = m_pSink->FixupGPSEpoch(t);
    m_pSink->FixupClock(t);
    fix.SetTime(t);
    float fLat = static_cast<float>(F64(p + 26) * 180.0 / c_fPi);
    float fLon = static_cast<float>(F64(p + 34) * 180.0 / c_fPi);
    double dEast = F32(p + 42), dNorth = F32(p + 46), dUp = F32(p + 50);
    double dCourse = std::atan2(dEast, dNorth) * 180.0 / c_fPi;
    if (dCourse < 0) dCourse += 360;
    float fCourse = static_cast<float>(dCourse);
    float fSpeed = static_cast<float>(std::sqrt(dUp * dUp + dNorth * dNorth + dEast * dEast) * 3.6);
    m_pSink->UpdateLastPosition(fLon, fLat, fCourse, true, fSpeed, true);
    float fMsl = F32(p + 54);
    fix.SetPosition(fLon, fLat);
    fix.SetHorzError(F32(p + 8) / 2);
    fix.SetAltitude(F32(p + 0) + fMsl);
    fix.SetVertError(F32(p + 12) / 2);
    fix.SetGeoidHeight(-fMsl);
    fix.SetCourse(fCourse);
    fix.SetSpeed(fSpeed);
    fix.SetVertSpeed(static_cast<float>(dUp));
    fix.SetSatellites(-1);
    fix.SetQuality(nFixType >= 2 && nFixType <= 5 ? nFixType : 1);
    m_pSink->OnFix(fix);
}

void CGarminProtocol::SatellitesOld(const BYTE* p) {
    int c = 0;
    for (int i = 0; i < 12; ++i) c += p[i * 8 + 5] != 255;
    m_pSink->ResetSatellites(c);
    for (int i = 0; i < 12; ++i) {
        const BYTE* r = p + i * 8;
        if (r[5] == 255) continue;
        GpsSatellite sat;
        sat.nPRN = r[5] + 1;
        sat.nElevation = r[4];
        sat.nAzimuth = 0;
        sat.nSNR = r[3];
        sat.nState = 0;
        m_pSink->AddSatellite(sat);
    }
    m_pSink->SatellitesCompleted();
}

// The satellite data packet of newer receivers: 12 records of 7 bytes,
// satellite number (255: channel empty), signal-to-noise in 1/100 dB
// (negative: no signal), elevation, azimuth (16-bit) and status bits, of
// which 4 marks a satellite used in the solution.
void CGarminProtocol::SatellitesNew(const BYTE* p) {
    int c = 0;
    for (int i = 0; i < 12; ++i) c += p[i * 7] != 255;
    m_pSink->ResetSatellites(c);
    for (int i = 0; i < 12; ++i) {
        const BYTE* r = p + i * 7;
        if (r[0] == 255) continue;
        GpsSatellite sat;
        sat.nPRN = r[0];
        int nSnr = I16(r + 1);
        sat.nSNR = nSnr > 0 ? (nSnr + 50) / 100 : 0;
        sat.nElevation = r[3];
        sat.nAzimuth = static_cast<int>(U16(r + 4));
        sat.nState = (r[6] & 4) ? 2 : 1;
        m_pSink->AddSatellite(sat);
    }
    m_pSink->SatellitesCompleted();
}

} // namespace velka
