// Dialogs open at the size of their content (every tab row and field
// shown), whatever the size of the main window, and never larger than the
// screen they open on: on a small handheld screen their content scrolls.
#pragma once
#include <QSize>

class QDialog;
class QWidget;

namespace velka {

// Resizes to the size hint, or the preferred size where that is larger,
// limited to the available area of the owner's screen.
void SizeDialogToContent(QDialog& dlg, QWidget* pParent, QSize preferred = QSize());

} // namespace velka
