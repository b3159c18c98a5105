// Export of every gauge value to a UTF-16 text file: the local date and
// time, then each group in its fixed order with its title underlined and
// its gauges (newest registration first), one "title padded to 20, value,
// unit" line each.
#pragma once
#include <string>

#include "gauges/gauge.h"

namespace velka {

// The export text for a given date-and-time line.
std::u16string GaugeExportText(const CGaugeCatalogue& cat, const std::u16string& strDateTime);
// The proposed file name "%d-%02d-%02d_%02d-%02d-%02d.txt" of a local time.
std::u16string GaugeExportFileName(const SYSTEMTIME& st);
// Writes the export (UTF-16 little-endian with its byte-order mark)
// atomically; false with errno in *pnError.
bool WriteGaugeExport(const CGaugeCatalogue& cat, const std::string& strPath, int* pnError);

// The menu command 40026: ask (GaugeDialogs()), write, report a failure
// (string 2000).
void SaveGaugeValues();

} // namespace velka
