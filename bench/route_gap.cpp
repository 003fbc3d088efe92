// The route window's longest event-loop gap during a long trace: a 10 ms timer inside the program
// notes when it fires while the window traces ROUNDS rounds to HOST; the longest time between two
// firings is what a user would see as a frozen window. Also the UI thread's own processor time per
// round (table, chart, names). Run it offscreen in the client namespace of
// tests/trace/route-chain.sh (bench/route.sh does). Prints figures; never fails on timing.
//
//   bench_route_gap HOST ROUNDS INTERVAL_MS
#include "trace/RouteWindow.h"

#include "controls/OperationRunner.h"

#include "CpuTime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace orvex;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_route_gap HOST ROUNDS INTERVAL_MS\n");
        return 2;
    }
    const int rounds = std::atoi(argv[2]);
    // Names are not asked: the benchmark must not wait on (or query) a resolver.
    RouteWindow window(nullptr, [](const std::string&) { return std::string(); });
    window.edRouteHost->setText(QString::fromLocal8Bit(argv[1]));
    window.spinInterval->setValue(std::atoi(argv[3]));
    window.show();

    QElapsedTimer clock;
    qint64 last = -1, longest = 0, ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) longest = std::max(longest, now - last);
        last = now;
        ++ticks;
    });
    double cpuStart = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (window.lastRoute().rounds >= rounds && window.Operations->busy()) window.btnRoute->click();
        if (!window.Operations->busy()) application.quit();
    });
    QTimer::singleShot(200, [&] {
        clock.start();
        tick.start(10);
        cpuStart = cpuMs();
        window.btnRoute->click();
        watch.start(5);
    });
    application.exec();
    const double cpu = cpuMs() - cpuStart;
    const int done = window.lastRoute().rounds;
    std::printf("rounds %d hops %zu reached %d longest-gap-ms %.1f ticks %lld ui-cpu-ms %.1f "
                "ui-cpu-us-per-round %.1f\n",
                done, window.lastRoute().hops.size(), window.lastRoute().reached ? 1 : 0, longest / 1e6,
                static_cast<long long>(ticks), cpu, done > 0 ? cpu * 1e3 / done : 0.0);
    return done >= rounds ? 0 : 1;
}
