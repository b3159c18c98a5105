// Feeds arbitrary bytes to the gpsd report decoder in reads of varying
// size, as the socket delivers them, with a sink that takes everything.
#include <cstddef>
#include <cstdint>

#include "fuzz/gps_fuzz_support.h"
#include "gps/gpsd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::fuzz::CNullSink sink;
    velka::CGpsdDecoder decoder(sink);
    // The first byte chooses the read size (1..256), the rest is the stream.
    if (cb == 0) return 0;
    const std::size_t cbRead = static_cast<std::size_t>(pData[0]) + 1;
    ++pData;
    --cb;
    while (cb > 0) {
        const std::size_t n = cb < cbRead ? cb : cbRead;
        decoder.OnData(pData, n);
        pData += n;
        cb -= n;
    }
    return 0;
}
