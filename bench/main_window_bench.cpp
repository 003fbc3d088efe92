// Cost of one tick of each main-window timer, measured in the process. Start-up is measured from
// outside, program start to first paint, by bench_launch (see run-all.sh).
#include "app/TForm1.h"
#include "platform/ConnectionState.h"

#include <QApplication>
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

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
