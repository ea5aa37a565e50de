#pragma once

#include "link/hid/hid_device_controller.h"
#include "tests/hidraw/emulated_hidraw.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <initializer_list>

namespace hidraw_test {

// One application for the program; the window's tests need widgets.
inline QApplication& app() {
    static int argc = 1;
    static char arg0[] = "hidraw_tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// Runs the event loop until `done()` holds or `ms` have passed; answers done().
template <typename P> bool runUntil(P done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// Every test starts on an empty machine and leaves one behind.
class Emulated : public ::testing::Test {
protected:
    Emulated() { app(); }
    void TearDown() override { bus.unplugAll(); }

    rig::HidrawBus& bus = rig::HidrawBus::instance();
};

} // namespace hidraw_test
