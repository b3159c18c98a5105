#include "app/qt_dialog_size.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace velka {

void SizeDialogToContent(QDialog& dlg, QWidget* pParent, QSize preferred) {
    QScreen* pScreen = pParent ? pParent->window()->screen() : nullptr;
    if (!pScreen) pScreen = QGuiApplication::primaryScreen();
    QSize size = dlg.sizeHint().expandedTo(preferred);
    if (pScreen) size = size.boundedTo(pScreen->availableSize());
    dlg.resize(size);
}

} // namespace velka
