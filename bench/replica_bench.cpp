// Reading interpretation and the replica's repaint: frames interpreted per second with the pause
// at zero, the latency from the cable's reports to a replica ready to paint, and the cost of
// repainting what a frame changed against repainting the whole panel.
#include "decode/frame_assembler.h"
#include "decode/reading_interpreter.h"
#include "display/replica_panel.h"
#include "sim/meter_display.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

// A run of readings as a test climbs: values rise, the bar graph follows, the timer counts.
std::vector<sim::MeterDisplay> readings() {
    std::vector<sim::MeterDisplay> out;
    for (int i = 0; i < 64; ++i) {
        char value[8];
        std::snprintf(value, sizeof value, "%d.%02d", 1 + i / 8, (i * 13) % 100);
        auto m = sim::MeterDisplay::insulation(value, i < 32 ? u"M\u03A9" : u"G\u03A9",
                                               i % 2 ? 1000 : 500);
        char timer[6];
        std::snprintf(timer, sizeof timer, "%02d:%02d", i / 60, i % 60);
        m.setTimer(timer);
        m.timed = true;
        out.push_back(m);
    }
    return out;
}

struct Fixture {
    ReadingInterpreter interpreter;
    ReplicaState& replica = interpreter.display();
    std::size_t recorded = 0;

    Fixture() { interpreter.setDecimalSep(QStringLiteral(".")); }
    void show(const MeterFrame& frame) { recorded += interpreter.read(frame).offered; }
};

void BM_ShowData740(benchmark::State& state) {
    Fixture f;
    std::vector<MeterFrame> frames;
    for (const auto& m : readings())
        frames.push_back(sim::meterFrame(m));
    size_t i = 0;
    for (auto _ : state) {
        f.show(frames[i]);
        i = (i + 1) % frames.size();
        // The repaint side drains the changes once per frame as it would in the window.
        benchmark::DoNotOptimize(f.replica.takeChanges());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    benchmark::DoNotOptimize(f.recorded);
}
BENCHMARK(BM_ShowData740);

// From the first report of a frame to the panel's repaint request: reassembly, interpretation
// and the damage of what changed.
void BM_ReportsToReplica(benchmark::State& state) {
    Fixture f;
    FrameAssembler assembler;
    assembler.setFrameConsumer([&](const MeterFrame& frame) { f.show(frame); });
    ReplicaPanel panel(f.replica);
    std::vector<std::vector<QByteArray>> streams;
    for (const auto& m : readings()) {
        auto reports = sim::cableReports(sim::frameBytes(m));
        reports.push_back(sim::idleReport());
        streams.push_back(std::move(reports));
    }
    size_t i = 0;
    for (auto _ : state) {
        for (const QByteArray& r : streams[i])
            assembler.Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
        benchmark::DoNotOptimize(panel.flushChanges());
        i = (i + 1) % streams.size();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_ReportsToReplica);

// Painting one frame's change into the window's picture: only the changed areas (Arg 1) or the
// whole panel (Arg 0).
void BM_Repaint(benchmark::State& state) {
    const bool changedOnly = state.range(0) != 0;
    Fixture f;
    ReplicaPanel panel(f.replica);
    QImage screen(panel.size(), QImage::Format_ARGB32_Premultiplied);
    panel.render(&screen);
    std::vector<MeterFrame> frames;
    for (const auto& m : readings())
        frames.push_back(sim::meterFrame(m));
    size_t i = 0;
    double pixels = 0;
    for (auto _ : state) {
        f.show(frames[i]);
        const QRegion damage = panel.flushChanges();
        if (changedOnly) {
            panel.render(&screen, damage.boundingRect().topLeft(), damage);
            for (const QRect& r : damage)
                pixels += r.width() * r.height();
        } else {
            panel.render(&screen);
            pixels += panel.width() * panel.height();
        }
        i = (i + 1) % frames.size();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.counters["px/frame"] = pixels / double(state.iterations());
}
BENCHMARK(BM_Repaint)->Arg(0)->Arg(1);

} // namespace
