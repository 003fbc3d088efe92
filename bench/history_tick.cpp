// bench_history_tick: the connection history's poll on the command line, for side-by-side runs
// with `ss -tn` while bench_hold_connections keeps many connections open.
//
//   bench_history_tick TICKS [window|model]
//
// "window" (the default) builds the history window on Qt's offscreen platform (unless
// QT_QPA_PLATFORM says otherwise), ticks "Show Listening Ports" as a user would and then calls the
// window's timer handler TICKS times back to back: each tick reads and formats the TCP table,
// tests every record against the history, appends the new ones to the grid and clears the history
// when it has grown past its limit, as the window does twice a second. "model" does the same with
// the history alone, without Qt widgets. The window reads the table on a worker thread and merges
// the rows on the UI thread, so each window tick here runs until its rows are merged. Prints the
// median time of one tick measured inside the process and the rows of the last poll.
#include "platform/TcpTable.h"
#include "tcphistory/ConnectionHistory.h"
#include "tcphistory/LocaleClock.h"
#include "tcphistory/TForm3.h"

#include <QApplication>
#include <QCheckBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using namespace orvex;

namespace {

double runTicks(int ticks, const std::function<void()>& tick) {
    std::vector<double> ms;
    for (int i = 0; i < ticks; ++i) {
        const auto start = std::chrono::steady_clock::now();
        tick();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (argc > 2 && std::strcmp(argv[2], "window") != 0 && std::strcmp(argv[2], "model") != 0)) {
        std::fprintf(stderr, "usage: bench_history_tick TICKS [window|model]\n");
        return 2;
    }
    const int ticks = std::atoi(argv[1]);
    const bool window = argc < 3 || std::strcmp(argv[2], "window") == 0;
    std::vector<TTcpConnStatus> last;
    double median = 0;
    if (window) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        TForm3 form(nullptr, std::shared_ptr<TcpTable>(makeSystemTcpTable()));
        form.cbShowListeners->setChecked(true);
        if (!form.history().listening()) form.cbShowListenersClick();
        median = runTicks(ticks, [&] {
            form.TimerTimer();
            while (form.polling())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });
    } else {
        auto table = makeSystemTcpTable();
        LocaleClock clock;
        ConnectionHistory history(*table, clock);
        history.create();
        history.setListening(true);
        median = runTicks(ticks, [&] { history.tick(); });
    }
    auto table = makeSystemTcpTable();
    ReadTcpConnections(*table, &last);
    std::printf("tick median %.3f ms over %d ticks (%s); %zu listening or established records\n", median,
                ticks, window ? "window" : "model", last.size());
    return 0;
}
