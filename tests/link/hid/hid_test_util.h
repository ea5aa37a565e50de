#pragma once

#include "link/hid/hid_device_controller.h"
#include "link/hid/sim_hid_platform.h"
#include "tests/test_app.h"

#include <initializer_list>
#include <memory>

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

struct SimFixture : WithApp {
    std::shared_ptr<SimHidPlatform> sim = std::make_shared<SimHidPlatform>();
};
