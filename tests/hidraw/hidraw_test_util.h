#pragma once

#include "link/hid/hid_device_controller.h"
#include "tests/hidraw/emulated_hidraw.h"
#include "tests/test_app.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <initializer_list>

namespace hidraw_test {

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
