// Compiler stages for the search indexes (see mapc_places.cpp).
#pragma once
#include <string_view>

#include "tools/mapc/mapc_stages.h"

namespace velka::mapc {

// What the index stages found, for the compile summary.
struct CIndexSummary {
    std::size_t cCities = 0, cStreets = 0, cAddresses = 0, cIndexed = 0;
    std::size_t cNoStreet = 0, cNoCity = 0; // addresses without them
};

// Whether place=* names a city (not a part of one).
bool IsCityPlace(std::string_view place);
// The farthest an object may lie from the place that becomes its city
// (a city's reach) or from the place its municipality is named after.
inline constexpr double c_dCityReachKm = 20;

// Address points for the house numbers between the numbered nodes of
// addr:interpolation ways (odd, even, all or a step).
void ExpandInterpolations(CMapcSource& src);

// Countries, regions and cities (sorted by their item text under the
// locale's collation), the address attributes of every object with an
// address (set on the features), the name tables and the objects index.
CMapcIndexes BuildIndexes(CMapcSource& src, DWORD dwLocale, CIndexSummary& summary);

} // namespace velka::mapc
