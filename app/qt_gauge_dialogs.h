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
// Installs the dialogs (headless: nothing is chosen, no file is asked for).
void InstallGaugeDialogs(bool fHeadless);

} // namespace velka
