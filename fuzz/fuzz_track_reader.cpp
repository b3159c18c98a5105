// Feeds arbitrary bytes to the track reader and replays every point twice
// (the second time after a rewind), which must give the same count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "waypoints/track_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::CTrackReader reader;
    if (!reader.Attach(std::span<const velka::BYTE>(pData, cb))) return 0;
    velka::GpsFix fix;
    std::size_t c1 = 0, c2 = 0;
    while (reader.NextPoint(fix)) ++c1;
    reader.Rewind();
    while (reader.NextPoint(fix)) ++c2;
    if (c1 != c2) std::abort();
    return 0;
}
