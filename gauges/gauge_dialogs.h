// The dialogs the gauges ask the user interface for; each is null until the
// composition root fills it (headless runs leave them null, and the
// commands that need them are disabled or do nothing).
#pragma once
#include <string>

namespace velka {

struct CGaugeEntry;

struct CGaugeDialogs {
    // Asks for a gauge (the chooser dialog); null when cancelled.
    CGaugeEntry* (*pfnChooseGauge)(CGaugeEntry* pCurrent) = nullptr;
    // Asks for the export file (remembering its folder under the setting
    // `GaugeFormat`); empty when cancelled.
    std::string (*pfnAskExportPath)(const std::u16string& strProposed) = nullptr;
};
CGaugeDialogs& GaugeDialogs();

} // namespace velka
