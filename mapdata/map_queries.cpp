#include "mapdata/map_queries.h"

#include <algorithm>

#include "mapdata/collation.h"

namespace velka {

DWORD FindFirstSorted(DWORD cItems, std::u16string_view prefix, const CCollator& collator,
                      const std::function<std::u16string(DWORD)>& textOf) {
    if (prefix.empty() || cItems < 2) return 0;
    DWORD lo = 0, hi = cItems - 1;
    while (hi - lo > 1) {
        const DWORD mid = lo + (hi - lo) / 2;
        if (collator.Compare(textOf(mid), prefix) < 0) lo = mid;
        else hi = mid;
    }
    const std::u16string text = textOf(lo);
    const std::size_t n = std::min(prefix.size(), text.size());
    return collator.Compare(std::u16string_view(text).substr(0, n), prefix) >= 0 ? lo : hi;
}

} // namespace velka
