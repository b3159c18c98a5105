// CGarminProtocol: Garmin's binary serial protocol at 9600 bps. Asks the
// receiver for position-velocity-time records, acknowledges each, turns
// them into fixes and takes satellite packets into the satellite table.
#pragma once
#include "gps/gps_protocol.h"

namespace velka {

class CGarminProtocol : public CGpsProtocol {
public:
    CGarminProtocol();
    void Start() override;
    void Stop() override;
    int OnData(const BYTE* pb, DWORD cb) override;

    // Counts for tools: packets taken and checksum mismatches.
    unsigned PacketCount() const { return m_cPackets; }
    unsigned ChecksumErrorCount() const { return m_cChecksumErrors; }

    static const BYTE c_abStartPvt[8];
    static const BYTE c_abStopPvt[8];
    static const BYTE c_abAckPvt[8];
    static const BYTE c_abNakPvt[8];
    static constexpr std::size_t c_cbBuffer = 256;

private:
    void RequestPvt();
    void Send(const BYTE* pb);
    bool ProcessPacket();
    void Pvt(const BYTE* pData);
    void SatellitesOld(const BYTE* pData);
    void SatellitesNew(const BYTE* pData);

    BYTE m_btPrev = 0;
    BYTE m_abBuffer[c_cbBuffer] = {};
    std::size_t m_cbBuffer = 0;
    DWORD m_dwLastRequest = 0;
    bool m_fWaitingForAck = false;
    bool m_fPvtOn = false;
    DWORD m_dwLastData = 0;
    unsigned m_cPackets = 0;
    unsigned m_cChecksumErrors = 0;
};

} // namespace velka
