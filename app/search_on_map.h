// The search dialogs in the navigator: showing a found entry on the map
// page, going to it with the navigator, and opening another map while a
// search holds the open one.
#pragma once
#include <string>

#include "search/search_dialogs.h"

namespace velka {

// The entry becomes the map's only selection, the view centres on it and
// the page that wants the map is shown.
void ShowFoundOnMap(const CFindTarget& t);
// Guidance straight to the entry.
void GoToFound(const CFindTarget& t);
// Opens a map on the map page after the search dialog let go of the open
// one; while a search runs it is cancelled and the map opens once it has
// returned (false now).
bool OpenMapReleasingSearch(const std::u16string& strPath, bool fAtlas);

} // namespace velka
