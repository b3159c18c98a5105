// Shared by the GPS decoder fuzzers: a sink that takes everything, and for
// the binary decoders a driver that feeds reads of the size the first byte
// chooses.
#pragma once
#include <cstddef>
#include <cstdint>

#include "gps/gps_protocol.h"
#include "platform/registry.h"

namespace velka::fuzz {

class CNullSink : public IGpsSink {
public:
    void OnFix(const GpsFix&) override {}
    void UpdateLastPosition(float, float, float, bool, float, bool) override {}
    void ResetSatellites(int) override {}
    void AddSatellite(const GpsSatellite&) override {}
    void SatellitesCompleted() override {}
    double FixupGPSEpoch(double d) override { return d; }
    double FixupClock(double d) override { return d; }
    void ReportNoPosition() override {}
    void CountChecksumError() override {}
};

inline void FeedInReads(CGpsProtocol& decoder, const std::uint8_t* pData, std::size_t cb) {
    if (cb == 0) return;
    std::size_t cbRead = static_cast<std::size_t>(pData[0]) * 8 + 1;
    ++pData;
    --cb;
    while (cb > 0) {
        std::size_t n = cb < cbRead ? cb : cbRead;
        decoder.OnData(pData, static_cast<DWORD>(n));
        decoder.OnData(nullptr, 0);
        pData += n;
        cb -= n;
    }
}

} // namespace velka::fuzz

// The decoders read the log switch from the settings: an in-memory store
// keeps the user's settings out of it (and the runs fast).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velka::RegSetDatabasePath(":memory:");
    return 0;
}
