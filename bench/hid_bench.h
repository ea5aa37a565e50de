#pragma once

// What the benchmarks of the meter link share, on the simulated and on the system's HID layer.

#include "link/hid/hid_device_controller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>

// The event loop, as the program runs it, for `ms`.
inline void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Times each report from `push()` until the device's data handler has run on the main thread.
template <class Push>
void timeReportsToHandler(benchmark::State& state, TJvHidDevice* dev, Push push) {
    bool handled = false;
    dev->SetDataHandler([&](TJvHidDevice*, quint8, const quint8*, quint16) { handled = true; });
    for (auto _ : state) {
        handled = false;
        const auto t0 = std::chrono::steady_clock::now();
        push();
        // The handler sets `handled` from inside processEvents().
        for (;;) {
            if (handled)
                break;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
}
