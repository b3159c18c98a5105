// What the user is told about maps: the open-file dialog's filter list,
// built from the registered formats, the map information box, and the
// attribution a map's licence asks to be shown.
#pragma once
#include <string>
#include <vector>

namespace velka {

class CMapParser;

struct CMapFileFilter {
    std::u16string strDescription; // "Карта ГИС Велка"
    std::u16string strPatterns;    // "*.zem" (all formats: "*.zem *.img")
    std::u16string strExtension;   // "zem" ("" for all formats)
};

// First 2276 "Все форматы" with the patterns of every format that has one,
// then one entry per such format, in registration order (newest first).
std::vector<CMapFileFilter> MapFileFilters();

// The map information box's text: name, date, file, size and notes of the
// open map (GetInfo), one line each, in the current language.
std::u16string MapInfoText(const CMapParser& map);

// The attribution lines a map requires: its notes (the native format keeps
// "© OpenStreetMap contributors|ODbL", shown "© OpenStreetMap contributors,
// ODbL"), or an IMG's copyright records, one a line. Empty lines dropped.
std::vector<std::u16string> MapAttribution(const CMapParser& map);

} // namespace velka
