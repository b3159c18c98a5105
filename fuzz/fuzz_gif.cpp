// Feeds arbitrary bytes to the GIF decoder of the image strips.
#include "shell/gif_decoder.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::DecodeGif(std::span<const velka::BYTE>(pData, cb));
    return 0;
}
