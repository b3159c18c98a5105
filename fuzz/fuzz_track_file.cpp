// Track files (MapSource .mps) read back by the bounds-checked reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tracks/track_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::CTrackFileContents contents;
    std::string error;
    if (velka::ParseTrackFile({pData, cb}, &contents, &error)) {
        // A file that parses has its points inside the data.
        std::size_t cPoints = 0;
        for (const auto& t : contents.tracks) cPoints += t.points.size();
        if (cPoints * 31 > cb) __builtin_trap();
    }
    return 0;
}
