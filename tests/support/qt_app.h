// The one Qt application of a user-interface test binary, created on first
// use (offscreen unless the environment chooses a platform).
#pragma once
#include <QApplication>

namespace velka::test {

QApplication& QtApp();

} // namespace velka::test
