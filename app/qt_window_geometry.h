// The main window's place on the desktop: kept in the settings between
// runs; the first run opens at a desktop size on a desktop screen and at
// the handheld size on a small one.
#pragma once
#include <QRect>
#include <QSize>

class QWidget;

namespace velka {

// The first-run size: the handheld size (cx x cy) when the screen's
// available area is smaller than a desktop's, else a desktop size that
// leaves a margin of the screen free.
QSize DefaultWindowSize(const QSize& sizeAvailable, int cx, int cy);

// Places the window as it was last left ("WindowX", "WindowY",
// "WindowWidth", "WindowHeight", "WindowMaximized"), or at the default size
// when nothing is stored or the stored place lies off every screen.
void RestoreWindowGeometry(QWidget& window, int cx, int cy);
// Writes the window's place (its normal place while maximised).
void SaveWindowGeometry(const QWidget& window);

} // namespace velka
