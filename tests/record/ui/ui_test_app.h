#pragma once

#include <QApplication>

// One application object for the whole test program (offscreen).
inline QApplication& uiTestApp() {
    static int argc = 1;
    static char arg0[] = "record_ui_tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Z4072"));
        return a;
    }();
    return *app;
}

// First base of a fixture whose members are widgets: the application exists before them.
struct WithUiApp {
    WithUiApp() { uiTestApp(); }
};
