#pragma once

#include <QApplication>

// The one application object of a test program, made by the first test that needs widgets.
inline void app() {
    static int argc = 1;
    static char arg0[] = "z4072_tests";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance())
        new QApplication(argc, argv);
}
