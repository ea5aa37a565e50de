// Start-up: the time from making the main window (on the simulated cable) to its first paint.
#include "app/main_window.h"
#include "sim/sim_cable.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

// Catches the first paint of any widget of the window.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void BM_StartUpToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        FirstPaint watch;
        qApp->installEventFilter(&watch);
        QElapsedTimer t;
        t.start();
        {
            auto platform = std::make_shared<SimHidPlatform>();
            platform->plug(sim::cableDeviceSpec(), false);
            TFrmTest w(nullptr, platform);
            w.show();
            while (!watch.painted)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        }
        qApp->removeEventFilter(&watch);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_StartUpToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
