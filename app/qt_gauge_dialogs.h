// The gauge chooser (a tree of the groups and their gauges, each group
// opened or closed as the user left it: setting "expanded_<group key>") and
// the save dialog of the gauge export.
#pragma once
#include <string>

class QWidget;

namespace velka {

struct CGaugeEntry;

// The chosen gauge, or null when cancelled.
CGaugeEntry* RunGaugeChooser(CGaugeEntry* pCurrent, QWidget* pParent);
// The chooser over the active window.
CGaugeEntry* ChooseGaugeWithDialog(CGaugeEntry* pCurrent);
// The export's save dialog over the active window, opened in the folder
// remembered under `GaugeFormat` (updated); empty when cancelled.
std::string AskGaugeExportPath(const std::u16string& strProposed);

} // namespace velka
