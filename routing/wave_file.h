// The RIFF/WAVE reader of the prompt player: finds the "fmt " and "data"
// chunks of a mapped file without copying, every offset checked against the
// file's size.
#pragma once
#include <cstdint>
#include <span>

#include "platform/wave_out.h"

namespace velka {

enum class WaveError { None, TooShort, NotRiff, NotWave, NoFormat, NoData, BadFormat };

struct WaveInfo {
    WaveFormat format;
    std::span<const std::uint8_t> data; // inside the given bytes
    // Playing time in milliseconds (0 when the format gives no byte rate).
    std::uint32_t DurationMs() const;
};

// Walks the chunks from offset 12 while the offset is below the RIFF length
// (and the file's end); the next chunk starts at offset + length + 8, odd
// lengths not rounded up. A chunk claiming more bytes than the file holds is
// cut at the end of the file; a walk that would wrap ends.
WaveError ParseWave(std::span<const std::uint8_t> bytes, WaveInfo& info);

} // namespace velka
