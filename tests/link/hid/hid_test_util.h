#pragma once

#include "link/hid/hid_device_controller.h"
#include "link/hid/sim_hid_platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <memory>

inline QCoreApplication& testApp() {
    static int argc = 1;
    static char arg0[] = "hid_tests";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

// Runs the event loop until `done()` holds or `ms` have passed; answers done().
template <typename P> bool runUntil(P done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Runs the event loop for `ms`: for checks that something does NOT happen meanwhile.
inline void runFor(int ms) {
    runUntil([] { return false; }, ms);
}

inline SimHidDeviceSpec cableSpec(QString product = QStringLiteral("USB to Serial")) {
    SimHidDeviceSpec s;
    s.product = std::move(product);
    s.vendorId = 0x1A86;
    s.productId = 0xE008;
    return s;
}

inline QByteArray report(std::initializer_list<int> bytes) {
    QByteArray r;
    for (int b : bytes)
        r.append(char(b));
    return r;
}

struct SimFixture {
    SimFixture() { testApp(); }
    std::shared_ptr<SimHidPlatform> sim = std::make_shared<SimHidPlatform>();
};
