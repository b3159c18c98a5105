#include "app/qt_window_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "shell/settings.h"

namespace velka {
namespace {

constexpr int c_cxDesktopScreen = 800; // a smaller available area is a handheld's
constexpr int c_cyDesktopScreen = 600;
constexpr int c_cxDesktopWindow = 1024;
constexpr int c_cyDesktopWindow = 768;

QRect AvailableArea() {
    QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->availableGeometry() : QRect(0, 0, c_cxDesktopWindow, c_cyDesktopWindow);
}

// True when a good part of the rectangle lies on some screen.
bool OnSomeScreen(const QRect& rc) {
    for (QScreen* pScreen : QGuiApplication::screens()) {
        const QRect common = pScreen->availableGeometry().intersected(rc);
        if (common.width() >= 64 && common.height() >= 48) return true;
    }
    return false;
}

} // namespace

QSize DefaultWindowSize(const QSize& sizeAvailable, int cx, int cy) {
    if (sizeAvailable.width() < c_cxDesktopScreen || sizeAvailable.height() < c_cyDesktopScreen)
        return {std::min(cx, std::max(sizeAvailable.width(), 1)), std::min(cy, std::max(sizeAvailable.height(), 1))};
    return {std::min(c_cxDesktopWindow, sizeAvailable.width() * 9 / 10),
            std::min(c_cyDesktopWindow, sizeAvailable.height() * 9 / 10)};
}

void RestoreWindowGeometry(QWidget& window, int cx, int cy) {
    const QRect rcStored(ReadSettingInt(u"WindowX", 0), ReadSettingInt(u"WindowY", 0),
                         ReadSettingInt(u"WindowWidth", 0), ReadSettingInt(u"WindowHeight", 0));
    if (rcStored.width() >= 100 && rcStored.height() >= 100 && OnSomeScreen(rcStored)) {
        window.resize(rcStored.size());
        window.move(rcStored.topLeft());
        if (ReadSettingBool(u"WindowMaximized", false)) window.setWindowState(Qt::WindowMaximized);
        return;
    }
    const QRect rcAvailable = AvailableArea();
    const QSize size = DefaultWindowSize(rcAvailable.size(), cx, cy);
    window.resize(size);
    // Centred on a desktop; a handheld's window manager places it.
    if (size.width() > cx || size.height() > cy)
        window.move(rcAvailable.center() - QPoint(size.width() / 2, size.height() / 2));
}

void SaveWindowGeometry(const QWidget& window) {
    if (!window.isVisible()) return;
    const bool fMaximized = window.isMaximized() || window.isFullScreen();
    const QRect rc = fMaximized ? window.normalGeometry() : QRect(window.pos(), window.size());
    if (rc.width() <= 0 || rc.height() <= 0) return;
    WriteSettingInt(u"WindowX", rc.x());
    WriteSettingInt(u"WindowY", rc.y());
    WriteSettingInt(u"WindowWidth", rc.width());
    WriteSettingInt(u"WindowHeight", rc.height());
    WriteSettingBool(u"WindowMaximized", fMaximized);
}

} // namespace velka
