#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

// Runs the benchmarks that need widgets: an application object on the offscreen platform
// (unless another is asked for), then Google Benchmark.
inline int runWidgetBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
