#include "search/type_filter_set.h"

#include "search/type_filter_table.h"

namespace velka {

namespace {

constexpr std::size_t c_nAllTypesRow = 0;

void AddSelection(CTypeFilter& filter, std::size_t cRow) {
    for (const auto& [nKind, wType] : ExpandTypeFilter(cRow).types) filter.Set(nKind, wType);
}

} // namespace

bool IsValidTypeCookie(long long nCookie) {
    return nCookie >= 0 && static_cast<unsigned long long>(nCookie) < c_cTypeFilters;
}

CTypeFilter TypeFilterOf(std::size_t cCookie) {
    CTypeFilter filter;
    if (cCookie >= c_cTypeFilters) return filter;
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    if (cCookie == c_nAllTypesRow) {
        filter.SetAll();
    } else if (e.wLevel == 0 && e.wSimplifiedType == c_wOtherObjectsKey) {
        // Other objects: every type no single-type row names.
        filter.SetAll();
        for (const CTypeFilterEntry& t : g_aTypeFilters)
            if (t.wLevel == 2) filter.Reset(static_cast<int>(t.dwKind), t.wType);
    } else if (e.wLevel == 0) {
        // A group: the categories up to the next group.
        for (std::size_t i = cCookie + 1; i < c_cTypeFilters && g_aTypeFilters[i].wLevel != 0; ++i)
            if (g_aTypeFilters[i].wLevel == 1) AddSelection(filter, i);
    } else {
        AddSelection(filter, cCookie);
    }
    return filter;
}

} // namespace velka
