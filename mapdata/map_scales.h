// The level bits of the view's 27 scales (index 0 most detailed), which
// map files use as scale codes, and the lookup of a code's scale index.
#pragma once
#include <cstddef>

namespace velka {

constexpr std::size_t c_cScales = 27;
inline constexpr int c_anScaleBits[c_cScales] = {29, 28, 27, 27, 26, 25, 25, 24, 23, 23, 22, 21, 21, 20,
                                                 19, 18, 18, 17, 16, 16, 15, 14, 14, 13, 12, 12, 11};

// Searches from index 26 down to 1 for the entry with this code; 0 when none.
constexpr int ScaleIndexForCode(int nCode) {
    for (int i = static_cast<int>(c_cScales) - 1; i >= 1; --i)
        if (c_anScaleBits[i] == nCode) return i;
    return 0;
}

} // namespace velka
