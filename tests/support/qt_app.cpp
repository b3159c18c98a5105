#include "tests/support/qt_app.h"

#include <cstdlib>

namespace velka::test {

QApplication& QtApp() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char szName[] = "velka_tests";
    static char* argv[] = {szName, nullptr};
    static QApplication* pApp = new QApplication(argc, argv);
    return *pApp;
}

} // namespace velka::test
