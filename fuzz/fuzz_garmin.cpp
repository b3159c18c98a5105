// Feeds arbitrary bytes to the Garmin binary decoder.
#include "fuzz/gps_fuzz_support.h"
#include "gps/garmin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::fuzz::CNullSink sink;
    velka::CGarminProtocol decoder;
    decoder.m_pSink = &sink;
    velka::fuzz::FeedInReads(decoder, pData, cb);
    return 0;
}
