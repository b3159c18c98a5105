#include "search/nearest_search.h"

namespace velka {

CNearestResult FindNearestObjects(CMapParser&, const CNearestRequest&, CSearchProgress*) {
    CNearestResult r;
    r.status = SearchStatus::BadRequest;
    return r;
}

} // namespace velka
