// How a search ended, and the message the dialogs show for it.
#pragma once
#include "platform/win_types.h"

namespace velka {

enum class SearchStatus {
    Ok,
    NoObjectsIndex, // the map has no objects index (message 2145)
    NoCitiesIndex,  // the map has no cities index or address data (2146)
    NothingFound,   // the search ran and found nothing (2147)
    Cancelled,      // the user cancelled; no list
    BadRequest,     // a type cookie or city index outside its range
};

// String ids of the messages and of the progress window's captions.
constexpr UINT c_idsNoObjectsIndex = 2145;
constexpr UINT c_idsNoCitiesIndex = 2146;
constexpr UINT c_idsNothingFound = 2147;
constexpr UINT c_idsSearching = 2157;
constexpr UINT c_idsSorting = 2158;

// The message to show for a status; 0 when there is none to show.
UINT SearchStatusMessage(SearchStatus status);

} // namespace velka
