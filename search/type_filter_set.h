// The type-filter bit set a type-filter row stands for, as the searches
// hand it to the map parsers.
#pragma once
#include <cstddef>

#include "mapdata/search_params.h"

namespace velka {

// Row 0 ("all types") passes every type; another group the types of its
// categories; the row of other objects every type no category holds; a
// category its single types; a single type itself. A cookie past the
// table gives an empty filter.
CTypeFilter TypeFilterOf(std::size_t cCookie);

// True when a cookie names a row of the table.
bool IsValidTypeCookie(long long nCookie);

} // namespace velka
