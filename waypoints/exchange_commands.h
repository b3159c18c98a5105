// The import and export commands behind the waypoint and route menus: the
// dialogs' filter lists, probing a chosen file against the registered
// importers, running the chosen exporter, and what they report. The dialogs,
// and the boxes that tell the reports, belong to the user interface.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "shell/string_ids.h"
#include "waypoints/exchange.h"

namespace velka {

enum ExchangeKind { ekWaypoints, ekRoutes };

// The dialog's filter list: "All formats" (2276) with every pattern joined
// by ';', then one entry per registered format, each as (text, patterns).
std::vector<std::pair<std::u16string, std::u16string>> ExchangeFilters(ExchangeKind kind, bool fImport);

// What an import did: why it refused the file (Declined when the user said
// no), the warnings of an import that went on, what it added, and why the
// store file could not be saved after it (the import stays in memory).
struct ExchangeImport {
    CError error;
    std::vector<CError> warnings;
    CError saveError;
    int cWaypoints = 0;
    int cRoutes = 0;
    bool Imported() const { return !error && (cWaypoints || cRoutes); }
};

// Maps the file, gives it to the first importer whose probe accepts it and
// saves the store when something was added. A file no probe accepts gives
// BadFileFormat with its name. fnAsk puts a newer database's question to
// the user (none: refused).
ExchangeImport ImportExchangeFile(const std::string& strPath, ExchangeKind kind, CWaypointStore& store,
                                  const AskFn& fnAsk = {});

// The proposed name of the save dialog ("Exported Waypoints" or
// "Exported Routes") and the format position kept from the last export
// (setting WptExportFormat or RteExportFormat).
std::u16string ProposedExportName(ExchangeKind kind);
int LastExportFormat(ExchangeKind kind);
// Remembers the chosen position and runs that format's writer: None, or
// why the file could not be written.
CError ExportExchangeFile(const std::string& strPath, ExchangeKind kind, int iFormat,
                          const CWaypointStore& store);

// The format registered for a file name's extension (case ignored), or null.
const ExchangeFormat* FormatForExtension(const std::vector<ExchangeFormat>& registry,
                                         const std::string& strPath);

} // namespace velka
