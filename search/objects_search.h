// Finding named objects of a type-filter row within a city through the
// map's objects index; the hits are sorted by name under the map's
// collation, and a prefix selects the ones whose name starts with it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "search/search_status.h"

namespace velka {

struct CObjectsRequest {
    int nCity = c_nAnyCity;        // index into the cities list, -1 for no city, or c_nAnyCity
    std::size_t cTypeCookie = 0;   // row of the type-filter table
    std::u16string strPrefix;      // name prefix; empty: every object
};

struct CObjectsResult {
    SearchStatus status = SearchStatus::Ok;
    std::vector<CFindItem> items;  // sorted by name
};

CObjectsResult FindObjects(CMapParser& map, const CObjectsRequest& request);

// The (kind, category, type) queries of the objects index a type-filter
// row stands for: one per category it covers.
struct CObjectsIndexQuery {
    int nKind = 0;
    short nCategory = 0;
    WORD wType = 0xFFFF;
};
std::vector<CObjectsIndexQuery> ObjectsIndexQueries(std::size_t cTypeCookie);

} // namespace velka
