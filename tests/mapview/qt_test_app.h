// The Qt application the user-interface tests of the map draw with
// (offscreen unless a platform is chosen).
#pragma once
#include <QGuiApplication>
#include <cstdlib>

namespace velka::test {

inline void EnsureQtApp() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char szName[] = "mapview_ui_tests";
    static char* argv[] = {szName, nullptr};
    static QGuiApplication* pApp = new QGuiApplication(argc, argv);
    (void)pApp;
}

} // namespace velka::test
