#pragma once

#include <QCoreApplication>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

#include <benchmark/benchmark.h>

// Runs a benchmark program's benchmarks with its application object made first: a QApplication
// on the offscreen platform (unless another is asked for) where the program links widgets, a
// QCoreApplication where it does not.
inline int runBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef QT_WIDGETS_LIB
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
