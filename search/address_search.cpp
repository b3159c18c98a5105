#include "search/address_search.h"

namespace velka {

CAddressResult FindAddresses(CMapParser&, const CAddressRequest&, CSearchProgress*) {
    CAddressResult r;
    r.status = SearchStatus::BadRequest;
    return r;
}

bool SplitHouseNumber(std::u16string_view, std::u16string&, std::u16string&) { return false; }

std::vector<int> FindCities(CMapParser&, std::u16string_view) { return {}; }

} // namespace velka
