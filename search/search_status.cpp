#include "search/search_status.h"

namespace velka {

UINT SearchStatusMessage(SearchStatus status) {
    switch (status) {
    case SearchStatus::NoObjectsIndex: return c_idsNoObjectsIndex;
    case SearchStatus::NoCitiesIndex: return c_idsNoCitiesIndex;
    case SearchStatus::NothingFound: return c_idsNothingFound;
    case SearchStatus::Ok:
    case SearchStatus::Cancelled:
    case SearchStatus::BadRequest: break;
    }
    return 0;
}

} // namespace velka
