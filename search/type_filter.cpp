#include <algorithm>
#include <map>

#include "search/type_filter_table.h"
#include "platform/debug.h"
#include "shell/resources.h"

namespace velka {

CTypeFilterDescription DescribeTypeFilter(std::size_t cCookie, const TypeNameFn& typeName) {
    CTypeFilterDescription d;
    VELKA_ASSERT(cCookie < c_cTypeFilters);
    if (cCookie >= c_cTypeFilters) return d;
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    d.nKind = static_cast<int>(e.dwKind);
    d.wSimplifiedType = e.wSimplifiedType;
    d.wType = e.wType;
    if (e.wTitle) {
        d.strTitle = LoadStr(e.wTitle).substr(0, 32);
    } else if (typeName) {
        d.strTitle = typeName(d.nKind, e.wType != c_wAnyType ? e.wType : e.wSimplifiedType);
    }
    return d;
}

bool CTypeSelection::Contains(int nKind, WORD wType) const {
    return fAll || std::find(types.begin(), types.end(), std::pair<int, WORD>{nKind, wType}) != types.end();
}

CTypeSelection ExpandTypeFilter(std::size_t cCookie) {
    CTypeSelection sel;
    VELKA_ASSERT(cCookie < c_cTypeFilters);
    if (cCookie >= c_cTypeFilters) return sel;
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    if (e.wSimplifiedType == c_wAnyType && e.wType == c_wAnyType) {
        sel.fAll = true;
        return sel;
    }
    if (e.wType != c_wAnyType) {
        sel.types.push_back({static_cast<int>(e.dwKind), e.wType});
        return sel;
    }
    // A category: the rows one level deeper that follow the first row
    // carrying its key.
    std::size_t i = 0;
    while (i < c_cTypeFilters && g_aTypeFilters[i].wSimplifiedType != e.wSimplifiedType) ++i;
    if (i == c_cTypeFilters) return sel;
    const WORD wLevel = g_aTypeFilters[i].wLevel;
    for (++i; i < c_cTypeFilters && g_aTypeFilters[i].wLevel == wLevel + 1; ++i) {
        VELKA_ASSERT(g_aTypeFilters[i].wType != c_wAnyType);
        sel.types.push_back({static_cast<int>(g_aTypeFilters[i].dwKind), g_aTypeFilters[i].wType});
    }
    return sel;
}

WORD CategoryKeyOf(int nKind, WORD wType) {
    static const std::map<std::pair<int, WORD>, WORD> s_keys = [] {
        std::map<std::pair<int, WORD>, WORD> m;
        for (const CTypeFilterEntry& e : g_aTypeFilters)
            if (e.wLevel == 2) m.try_emplace({static_cast<int>(e.dwKind), e.wType}, e.wSimplifiedType);
        return m;
    }();
    auto it = s_keys.find({nKind, wType});
    return it == s_keys.end() ? c_wOtherObjectsKey : it->second;
}

} // namespace velka
