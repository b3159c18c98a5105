// The search type filters: a fixed three-level table (groups, categories,
// single types) whose rows the type chooser shows and the searches expand
// into the (kind, wType) pairs they look for. A row is remembered by its
// index, the type cookie. The objects index of a map keys its categories
// by the categories' keys.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"

namespace velka {

constexpr std::size_t c_cTypeFilters = 421;
constexpr WORD c_wAnyType = 0xFFFF;
// The key of "Прочие объекты": named objects in no category.
constexpr WORD c_wOtherObjectsKey = 0x0000;

struct CTypeFilterEntry {
    WORD wLevel;           // 0 group, 1 category, 2 single type
    WORD wTitle;           // string id; 0 for single types
    DWORD dwKind;          // ObjectKind of the types
    WORD wSimplifiedType;  // the category key; 0xFFFF for groups
    WORD wType;            // the single type; 0xFFFF for groups and categories
};

extern const CTypeFilterEntry g_aTypeFilters[c_cTypeFilters];

struct CTypeFilterDescription {
    std::u16string strTitle;
    int nKind = 0;
    WORD wSimplifiedType = c_wAnyType;
    WORD wType = c_wAnyType;
};

// Names a (kind, wType) the way the open map does; empty when unknown.
using TypeNameFn = std::function<std::u16string(int nKind, WORD wType)>;

// The row's kind, types and title (its string, at most 32 characters, or
// the map's name of its type). A cookie past the table describes nothing.
CTypeFilterDescription DescribeTypeFilter(std::size_t cCookie, const TypeNameFn& typeName);

// The (kind, wType) pairs a row stands for; fAll for the rows that take
// every type.
struct CTypeSelection {
    bool fAll = false;
    std::vector<std::pair<int, WORD>> types;
    bool Contains(int nKind, WORD wType) const;
};
CTypeSelection ExpandTypeFilter(std::size_t cCookie);

// The key of the first category (in table order) that holds (kind,
// wType), or c_wOtherObjectsKey when none does.
WORD CategoryKeyOf(int nKind, WORD wType);

} // namespace velka
