#include "routing/wave_file.h"

#include <algorithm>
#include <cstring>

namespace velka {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

std::uint32_t WaveInfo::DurationMs() const {
    if (format.nAvgBytesPerSec == 0) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(data.size()) * 1000 / format.nAvgBytesPerSec);
}

WaveError ParseWave(std::span<const std::uint8_t> bytes, WaveInfo& info) {
    info = WaveInfo{};
    if (bytes.size() < 12) return WaveError::TooShort;
    const std::uint8_t* p = bytes.data();
    if (std::memcmp(p, "RIFF", 4) != 0) return WaveError::NotRiff;
    if (std::memcmp(p + 8, "WAVE", 4) != 0) return WaveError::NotWave;
    // The walk is bounded by both the RIFF length and the file.
    const std::uint64_t cbEnd = std::min<std::uint64_t>(static_cast<std::uint64_t>(Le32(p + 4)), bytes.size());
    const std::uint8_t* pFmt = nullptr;
    std::uint64_t cbFmt = 0;
    bool fData = false;
    std::uint64_t off = 12;
    while (off < cbEnd && off + 8 <= bytes.size()) {
        const std::uint8_t* pChunk = p + off;
        const std::uint64_t cbChunk = Le32(pChunk + 4);
        const std::uint64_t cbAvail = std::min<std::uint64_t>(cbChunk, bytes.size() - (off + 8));
        if (std::memcmp(pChunk, "fmt ", 4) == 0) {
            pFmt = pChunk + 8;
            cbFmt = cbAvail;
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            info.data = bytes.subspan(static_cast<std::size_t>(off + 8), static_cast<std::size_t>(cbAvail));
            fData = true;
        }
        off += cbChunk + 8; // 64-bit: cannot wrap
    }
    if (!pFmt) return WaveError::NoFormat;
    if (!fData) return WaveError::NoData;
    if (cbFmt < 16) return WaveError::BadFormat;
    info.format.wFormatTag = Le16(pFmt);
    info.format.nChannels = Le16(pFmt + 2);
    info.format.nSamplesPerSec = Le32(pFmt + 4);
    info.format.nAvgBytesPerSec = Le32(pFmt + 8);
    info.format.nBlockAlign = Le16(pFmt + 12);
    info.format.wBitsPerSample = Le16(pFmt + 14);
    return WaveError::None;
}

} // namespace velka
