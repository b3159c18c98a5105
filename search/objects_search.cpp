#include "search/objects_search.h"

namespace velka {

CObjectsResult FindObjects(CMapParser&, const CObjectsRequest&) {
    CObjectsResult r;
    r.status = SearchStatus::BadRequest;
    return r;
}

std::vector<CObjectsIndexQuery> ObjectsIndexQueries(std::size_t) { return {}; }

} // namespace velka
