// The skin parser on arbitrary bytes: it must never read outside them,
// loop forever or crash; a parsed skin stays within its entry limits and
// sorted for the lookup.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mapview/styles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbSize) {
    velka::CSkin skin;
    if (velka::ParseSkin(reinterpret_cast<const char*>(pData), cbSize, skin, 1 + static_cast<int>(cbSize & 1))) {
        if (skin.polygons.size() > 256 || skin.polylines.size() > 255) std::abort();
        for (std::size_t i = 1; i < skin.polygons.size(); ++i)
            if (skin.polygons[i - 1].wFirst > skin.polygons[i].wFirst) std::abort();
        for (std::size_t i = 0; i < skin.polylines.size(); ++i)
            (void)velka::FindStyleEntry(skin.polylines, skin.polylines[i].wFirst);
    }
    return 0;
}
