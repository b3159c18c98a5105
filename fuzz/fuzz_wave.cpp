// The wave reader on arbitrary bytes: it must end, never read outside them,
// and hand out a data chunk that lies inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "routing/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbSize) {
    velka::WaveInfo info;
    if (velka::ParseWave({pData, cbSize}, info) == velka::WaveError::None) {
        if (info.data.data() < pData || info.data.data() + info.data.size() > pData + cbSize) std::abort();
        volatile std::uint32_t ms = info.DurationMs();
        (void)ms;
    }
    return 0;
}
