// The meter link on the system's HID layer, with an emulated hidraw device in place of the
// cable: how long a report takes from the device to its handler on the main thread, and how much
// of a core the program uses while connected to a meter that sends nothing (an idle report every
// 8 ms, as the cable sends them). The emulation's own threads are measured apart and left out.

#include "app/main_window.h"
#include "bench/bench_app.h"
#include "bench/hid_bench.h"
#include "link/hid/hid_device_controller.h"
#include "sim/sim_cable.h"
#include "tests/hidraw/emulated_hidraw.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <map>

namespace {

struct ThreadTimes {
    double cpuSeconds = 0;
    qint64 wakeUps = 0; // voluntary context switches: each is a sleep that something ended
};

// Every thread of the process, by system thread ID.
std::map<int, ThreadTimes> threadTimes() {
    std::map<int, ThreadTimes> out;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(::getpid());
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        ThreadTimes t;
        QFile sched(tasks + u'/' + tid + QStringLiteral("/schedstat"));
        if (sched.open(QIODevice::ReadOnly))
            t.cpuSeconds = sched.readAll().split(' ').value(0).toDouble() / 1e9;
        QFile status(tasks + u'/' + tid + QStringLiteral("/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("voluntary_ctxt_switches:"))
                    t.wakeUps = line.mid(24).trimmed().toLongLong();
        out[tid.toInt()] = t;
    }
    return out;
}

struct Split {
    ThreadTimes main, others, emulation;
};

// What each kind of thread used between two readings: the main thread, the program's other
// threads (the reader), and the emulation's.
Split between(const std::map<int, ThreadTimes>& before, const std::map<int, ThreadTimes>& after) {
    const std::vector<int> emulation = rig::emulationThreads();
    Split s;
    for (const auto& [tid, t] : after) {
        const auto it = before.find(tid);
        const ThreadTimes b = it == before.end() ? ThreadTimes{} : it->second;
        ThreadTimes& into = tid == ::getpid()                                     ? s.main
                            : std::count(emulation.begin(), emulation.end(), tid) ? s.emulation
                                                                                  : s.others;
        into.cpuSeconds += t.cpuSeconds - b.cpuSeconds;
        into.wakeUps += t.wakeUps - b.wakeUps;
    }
    return s;
}

// One report pushed into the emulated device until the data handler has run on the main thread:
// the device's poll wakes the reader, hidapi reads, the hand-off wakes the main thread.
void BM_RealLayerReportToHandlerLatency(benchmark::State& state) {
    auto cable = rig::HidrawBus::instance().plug({}, false);
    {
        TJvHidDeviceController controller(nullptr, makeSystemHidPlatform());
        TJvHidDevice* dev = nullptr;
        controller.CheckOutAt(0, dev);
        const QByteArray report("\xF0\0\0\0\0\0\0\0", 8);
        timeReportsToHandler(state, dev, [&] { cable->push(report); });
        delete dev;
    }
    rig::HidrawBus::instance().unplugAll();
}
BENCHMARK(BM_RealLayerReportToHandlerLatency)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The whole window on the system's layer, connected to a cable whose meter is off.
void BM_RealLayerConnectedToASilentMeter(benchmark::State& state) {
    auto cable = rig::HidrawBus::instance().plug({}, false);
    cable->feed(
        std::make_shared<sim::SimCable>([](double) { return std::optional<sim::MeterDisplay>(); }));
    {
        TFrmTest w;
        w.cable().setMessageBox([](const QString&) {}); // the watch must not block the loop
        w.show();
        w.Panel2Click();
        int reports = 0;
        w.setReportTap([&](quint8, const quint8*, quint16) { ++reports; });
        runEventLoop(500); // settle: the queue that filled before CONNECT is read
        Split used;
        double wall = 0;
        const int before = reports;
        for (auto _ : state) {
            const auto t0 = threadTimes();
            QElapsedTimer clock;
            clock.start();
            runEventLoop(2000);
            const Split s = between(t0, threadTimes());
            wall += double(clock.nsecsElapsed()) / 1e9;
            used.main.cpuSeconds += s.main.cpuSeconds;
            used.main.wakeUps += s.main.wakeUps;
            used.others.cpuSeconds += s.others.cpuSeconds;
            used.others.wakeUps += s.others.wakeUps;
            used.emulation.cpuSeconds += s.emulation.cpuSeconds;
        }
        const double n = reports - before;
        state.counters["reports_per_s"] = n / wall;
        state.counters["cpu_percent_of_core"] =
            100.0 * (used.main.cpuSeconds + used.others.cpuSeconds) / wall;
        state.counters["cpu_percent_main_thread"] = 100.0 * used.main.cpuSeconds / wall;
        state.counters["cpu_percent_reader"] = 100.0 * used.others.cpuSeconds / wall;
        state.counters["cpu_percent_emulation_left_out"] = 100.0 * used.emulation.cpuSeconds / wall;
        state.counters["wakeups_per_report_main"] = n > 0 ? double(used.main.wakeUps) / n : 0;
        state.counters["wakeups_per_report_reader"] = n > 0 ? double(used.others.wakeUps) / n : 0;
    }
    rig::HidrawBus::instance().unplugAll();
}
BENCHMARK(BM_RealLayerConnectedToASilentMeter)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return rig::runEmulated(argc, argv, runBenchmarks);
}
