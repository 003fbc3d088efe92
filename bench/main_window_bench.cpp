// Cost of one tick of each main-window timer, and start-up to the first painted main window.
#include "app/Application.h"
#include "app/TForm1.h"
#include "platform/ConnectionState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace orvex;

static void BM_ClockTick(benchmark::State& state) {
    TForm1 form(systemForm1Services());
    for (auto _ : state)
        form.Timer1Timer();
}
BENCHMARK(BM_ClockTick);

// The worst case: a tick that crosses into a new second and formats the time.
static void BM_ClockTickFormatting(benchmark::State& state) {
    TForm1 form(systemForm1Services());
    for (auto _ : state) {
        form.Timer1Timer();
        state.PauseTiming();
        form.resetClockForBenchmark();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClockTickFormatting);

static void BM_ConnectionTick(benchmark::State& state) {
    TForm1 form(systemForm1Services());
    for (auto _ : state)
        form.Timer2Timer();
}
BENCHMARK(BM_ConnectionTick);

static void BM_StartupToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        QElapsedTimer elapsed;
        elapsed.start();
        Windows windows = createWindows(systemForm1Services());
        windows.Form1->show();
        if (!QTest::qWaitForWindowExposed(windows.Form1.get())) state.SkipWithError("window not exposed");
        QApplication::processEvents();
        state.SetIterationTime(double(elapsed.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
