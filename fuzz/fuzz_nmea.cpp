// Feeds arbitrary bytes to the NMEA-0183 decoder in reads of varying size,
// as a port delivers them, with a sink that takes everything.
#include <cstddef>
#include <cstdint>

#include "fuzz/gps_fuzz_support.h"
#include "gps/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::fuzz::CNullSink sink;
    velka::CNmea0183Protocol decoder(4800, true);
    decoder.m_pSink = &sink;
    decoder.Start();
    // The first byte chooses the read size (1..256), the rest is the stream.
    if (cb == 0) return 0;
    std::size_t cbRead = static_cast<std::size_t>(pData[0]) + 1;
    ++pData;
    --cb;
    while (cb > 0) {
        std::size_t n = cb < cbRead ? cb : cbRead;
        if (decoder.OnData(pData, static_cast<velka::DWORD>(n)) == velka::c_nGpsGiveUp) decoder.Start();
        pData += n;
        cb -= n;
    }
    decoder.Finish();
    return 0;
}
