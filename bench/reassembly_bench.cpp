// Frame reassembly throughput on the cable's report stream: 22-byte frames in reports of seven
// serial bytes, with idle reports between frames, as the bridge delivers them at 2400 baud.
#include "decode/frame_assembler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>
#include <vector>

namespace {

// Counts heap allocations made while the counter is armed.
std::size_t g_allocations = 0;
bool g_counting = false;

std::vector<std::vector<quint8>> reportStream() {
    std::vector<quint8> frame(22);
    for (int i = 0; i < 20; ++i)
        frame[size_t(i)] = quint8(0x11 * (i % 15));
    frame[20] = 0x0D;
    frame[21] = 0x0A;
    std::vector<std::vector<quint8>> reports;
    for (size_t i = 0; i < frame.size(); i += 7) {
        std::vector<quint8> r(8, 0);
        const size_t n = std::min<size_t>(7, frame.size() - i);
        r[0] = quint8(n);
        std::copy(frame.begin() + long(i), frame.begin() + long(i + n), r.begin() + 1);
        reports.push_back(r);
    }
    for (int i = 0; i < 4; ++i)
        reports.push_back(std::vector<quint8>(8, 0));
    return reports;
}

void BM_Read380(benchmark::State& state) {
    FrameAssembler assembler;
    std::size_t frames = 0;
    assembler.setFrameConsumer([&](const MeterFrame& f) { frames += f[0]; });
    const auto reports = reportStream();
    // Warm up, then count allocations over the measured loop.
    for (const auto& r : reports)
        assembler.Read380(0, r.data(), quint16(r.size()));
    g_allocations = 0;
    g_counting = true;
    std::size_t handled = 0;
    for (auto _ : state) {
        for (const auto& r : reports)
            assembler.Read380(0, r.data(), quint16(r.size()));
        handled += reports.size();
    }
    g_counting = false;
    benchmark::DoNotOptimize(frames);
    state.SetItemsProcessed(int64_t(handled));
    state.counters["allocs_per_report"] =
        benchmark::Counter(double(g_allocations) / double(std::max<std::size_t>(handled, 1)));
}
BENCHMARK(BM_Read380);

} // namespace

void* operator new(std::size_t n) {
    if (g_counting)
        ++g_allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

BENCHMARK_MAIN();
