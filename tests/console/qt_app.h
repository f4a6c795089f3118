#pragma once
// One QApplication for the tests that need widgets, on the offscreen platform unless one is chosen.

#include <QApplication>

namespace krvs::console::test {

inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "console_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace krvs::console::test
