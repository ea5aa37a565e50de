#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

// The one application object of a test program, made by the first test that needs one and named
// as the program names itself. A program that links widgets gets a QApplication, whichever of
// its tests comes first; one without widgets gets a QCoreApplication.
inline QCoreApplication& app() {
    static int argc = 1;
    static char arg0[] = "z4072_tests";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* const made = [] {
#ifdef QT_WIDGETS_LIB
        auto* a = new QApplication(argc, argv);
#else
        auto* a = new QCoreApplication(argc, argv);
#endif
        QCoreApplication::setApplicationName(QStringLiteral("Z4072"));
        return a;
    }();
    return *made;
}

// First base of a fixture whose members need the application: it exists before them.
struct WithApp {
    WithApp() { app(); }
};

// Runs the event loop until `done()` holds or `ms` have passed; answers done(). The time is a
// limit for a test that fails, never something a test waits out.
template <typename P> bool runUntil(P done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
