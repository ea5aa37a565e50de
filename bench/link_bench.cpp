// The meter link's costs: how long a report takes from the device to its handler on the main
// thread, and how much of a core the program uses while connected to a meter that sends nothing.

#include "app/main_window.h"
#include "bench/hid_bench.h"
#include "link/hid/sim_hid_platform.h"
#include "sim/sim_cable.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// A simulated cable whose meter is off: it sends an idle report every poll.
std::shared_ptr<SimHidPlatform> silentCable() {
    auto platform = std::make_shared<SimHidPlatform>();
    platform->plug(sim::cableDeviceSpec(), false)
        ->setReportSource(std::make_shared<sim::SimCable>(
            [](double) { return std::optional<sim::MeterDisplay>(); }));
    return platform;
}

// Runs the event loop 2 s an iteration; reports the share of one core the whole process used
// (every thread) and the reports that `reports` counted meanwhile.
void measureIdleLoad(benchmark::State& state, const int& reports) {
    double cpu = 0, wall = 0;
    const int before = reports;
    for (auto _ : state) {
        const double c0 = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        runEventLoop(2000);
        cpu += processCpuSeconds() - c0;
        wall += double(clock.nsecsElapsed()) / 1e9;
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.counters["reports_per_s"] = (reports - before) / wall;
}

// One report pushed into the simulated device until the data handler has run on the main
// thread, through the reader thread's hand-off.
void BM_ReportToHandlerLatency(benchmark::State& state) {
    auto platform = std::make_shared<SimHidPlatform>();
    auto cable = platform->plug(sim::cableDeviceSpec(), false);
    TJvHidDeviceController controller(nullptr, platform);
    TJvHidDevice* dev = nullptr;
    controller.CheckOutAt(0, dev);
    const QByteArray report = QByteArray(1, '\0') + sim::idleReport();
    timeReportsToHandler(state, dev, [&] { cable->pushReport(report); });
    delete dev;
}
BENCHMARK(BM_ReportToHandlerLatency)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The reader alone on a silent cable, its handler doing nothing.
void BM_ReaderOnASilentCable(benchmark::State& state) {
    auto platform = silentCable();
    TJvHidDeviceController controller(nullptr, platform);
    TJvHidDevice* dev = nullptr;
    controller.CheckOutAt(0, dev);
    int reports = 0;
    dev->SetDataHandler([&](TJvHidDevice*, quint8, const quint8*, quint16) { ++reports; });
    measureIdleLoad(state, reports);
    delete dev;
}
BENCHMARK(BM_ReaderOnASilentCable)->Iterations(1)->Unit(benchmark::kMillisecond);

// The whole window, connected to a cable whose meter is off: an idle report every 8 ms, the
// connection timer every 100 ms. Reports the share of one core that the process used.
void BM_ConnectedToASilentMeter(benchmark::State& state) {
    auto platform = silentCable();
    TFrmTest w(nullptr, platform);
    w.cable().setMessageBox([](const QString&) {}); // the watch must not block the loop
    w.show();
    w.Panel2Click();
    int reports = 0;
    w.setReportTap([&](quint8, const quint8*, quint16) { ++reports; });
    measureIdleLoad(state, reports);
}
BENCHMARK(BM_ConnectedToASilentMeter)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
