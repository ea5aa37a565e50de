#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

// A settings folder of the test program's own, removed when it ends: no test reads or writes the
// settings of the user who runs it, nor do the programs it starts.
inline void useOwnSettingsFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/z4072_test_settings_XXXXXX"));
    const QString path = folder.isValid() ? folder.path() : QDir::tempPath();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path));
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, path);
}

// The one application object of a test program, made by the first test that needs one and named
// as the program names itself. A program that links widgets gets a QApplication, whichever of
// its tests comes first; one without widgets gets a QCoreApplication.
inline QCoreApplication& app() {
    static int argc = 1;
    static char arg0[] = "z4072_tests";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* const made = [] {
        useOwnSettingsFolder();
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

// One timeout of `timer`, as when its interval has passed: whatever it is wired to runs now,
// whether the timer runs or not.
inline void timeOut(QTimer& timer) {
    QMetaObject::invokeMethod(&timer, "timeout", Qt::DirectConnection);
}
