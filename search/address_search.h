// Finding addresses: a street (or part of it) and a house number, within a
// city or anywhere, over any map parser. House numbers compare in a normal
// form, a number typed before or after the street is understood, and hits
// come best first: exact, then prefix, then containing matches, and, only
// when nothing matched, streets within one typing error as suggestions.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "mapdata/search_params.h"
#include "search/search_status.h"

namespace velka {

enum class MatchRank {
    Exact,      // street and house number equal what was typed
    Prefix,     // they start with it
    Contains,   // they contain it
    Suggestion, // the street is one typing error away
};

struct CAddressRequest {
    int nCity = c_nAnyCity;     // index into the map's cities list, or c_nAnyCity
    std::u16string strPostcode; // whole postcode; empty: any
    std::u16string strStreet;   // part of the street name; may carry the number
    std::u16string strHouse;    // house number; empty: any
    bool fSuggestions = true;   // look for near misses when nothing matches
};

struct CAddressHit {
    CFindItem item; // every field but the nearest point
    MatchRank rank = MatchRank::Exact;
};

struct CAddressResult {
    SearchStatus status = SearchStatus::Ok;
    std::vector<CAddressHit> hits; // best first
    // How the texts were read (the number moved out of the street).
    std::u16string strStreet, strHouse;
};

CAddressResult FindAddresses(CMapParser& map, const CAddressRequest& request,
                             CSearchProgress* pProgress = nullptr);

// The ways a street text can carry a house number, as (street, number):
// at the end ("Main Street 12", "Тверская 7Б с3"), then at the start ("12
// Main Street"); empty when it has none.
std::vector<std::pair<std::u16string, std::u16string>> HouseNumberReadings(std::u16string_view text);
// The first of those readings; false when there is none.
bool SplitHouseNumber(std::u16string_view text, std::u16string& strStreet, std::u16string& strHouse);

// The cities whose own name equals the text (ignoring case); when none
// does, those whose name starts with it. Indexes into the cities list.
std::vector<int> FindCities(CMapParser& map, std::u16string_view name);

} // namespace velka
