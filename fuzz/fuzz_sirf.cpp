// Feeds arbitrary bytes to the SiRF binary decoder.
#include "fuzz/gps_fuzz_support.h"
#include "gps/sirf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::fuzz::CNullSink sink;
    velka::CSiRFProtocol decoder;
    decoder.m_pSink = &sink;
    velka::fuzz::FeedInReads(decoder, pData, cb);
    return 0;
}
