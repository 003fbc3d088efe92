// bench_history_tick: the connection history's poll on the command line, for side-by-side runs
// with `ss -tn` while bench_hold_connections keeps many connections open.
//
//   bench_history_tick TICKS [window|model|model-plain]
//
// "window" (the default) builds the history window on Qt's offscreen platform (unless
// QT_QPA_PLATFORM says otherwise), ticks "Show Listening Ports" as a user would and then calls the
// window's timer handler TICKS times back to back: each tick reads and formats the TCP table,
// tests every record against the history, appends the new ones to the grid and clears the history
// when it has grown past its limit, as the window does twice a second. "model" does the same with
// the history alone, without Qt widgets; "model-plain" reads only what the seven columns need (no
// owners, users or counters), the work a tick did before the history showed them. The window reads the table
// on a worker thread and merges the rows on the UI thread, so each window tick here runs until its rows are
// merged. Every tick also reads each socket's counters and owner (the owner lookup walks /proc only for
// sockets it has not seen before, so the first tick pays for the walk). Prints the median time of one tick
// measured inside the process, the rows of the last poll, and the median processor time the UI thread spent
// on one tick (the window's share: dispatch and merge).
#include "platform/TcpTable.h"
#include "tcphistory/ConnectionHistory.h"
#include "tcphistory/LocaleClock.h"
#include "tcphistory/TForm3.h"

#include "CpuTime.h"

#include <QApplication>
#include <QCheckBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

using namespace orvex;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct TickTimes {
    double firstMs = 0;  // the first tick, which also looks up every socket's owner
    double wallMs = 0;   // median wall time of one tick, until its rows are merged
    double callerMs = 0; // median processor time the calling (UI) thread spent on one tick
};

TickTimes runTicks(int ticks, const std::function<void()>& tick) {
    std::vector<double> wall, caller;
    for (int i = 0; i < ticks; ++i) {
        const double cpu = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        tick();
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        caller.push_back(cpuMs() - cpu);
    }
    return {wall.empty() ? 0 : wall.front(), median(wall), median(caller)};
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 2 ? argv[2] : "window";
    if (argc < 2 || (std::strcmp(mode, "window") != 0 && std::strcmp(mode, "model") != 0 &&
                     std::strcmp(mode, "model-plain") != 0)) {
        std::fprintf(stderr, "usage: bench_history_tick TICKS [window|model|model-plain]\n");
        return 2;
    }
    const int ticks = std::atoi(argv[1]);
    const bool window = std::strcmp(mode, "window") == 0;
    std::vector<TTcpConnStatus> last;
    TickTimes times;
    if (window) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        TForm3 form(nullptr); // the system's table, closings watched, as the program runs it
        form.cbShowListeners->setChecked(true);
        if (!form.history().listening()) form.cbShowListenersClick();
        times = runTicks(ticks, [&] {
            form.TimerTimer();
            while (form.polling())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
    } else {
        auto table = makeSystemTcpTable();
        LocaleClock clock;
        ConnectionHistory history(clock);
        ConnectionReader reader(*table, std::strcmp(mode, "model") == 0);
        history.create();
        history.setListening(true);
        times = runTicks(ticks, [&] {
            const unsigned poll = history.beginTick();
            ConnectionPoll read;
            reader.read(read);
            history.endTick(poll, read);
        });
    }
    auto table = makeSystemTcpTable();
    ReadTcpConnections(*table, &last);
    std::printf("tick median %.3f ms over %d ticks (%s); %zu listening or established records\n",
                times.wallMs, ticks, mode, last.size());
    std::printf("first tick %.3f ms\n", times.firstMs);
    std::printf("ui thread cpu median %.3f ms per tick\n", times.callerMs);
    return 0;
}
