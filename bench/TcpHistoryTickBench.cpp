// One connection-history tick with 10,000 established loopback connections open (20,000 table rows
// and a listener), beside `ss -tn` reading the same table in the same run. Prints figures; never fails
// on timing.
//
//   bench_tcphistory_tick [connections]      (default 10000; needs about 2 file descriptors each)
#include "platform/Fd.h"
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
#include <functional>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orvex;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures {
    double median, best, cpu; // wall-clock ms; cpu: mean processor ms (user + system) per run
};

double cpuMs(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The processor time is counted too: on a shared, loaded machine the wall clock mostly measures
// the wait for a core. `children` counts the time of the processes the body started.
Figures measure(int runs, const std::function<void()>& prepare, const std::function<void()>& body,
                bool children = false) {
    std::vector<double> ms;
    double cpu = 0;
    const int who = children ? RUSAGE_CHILDREN : RUSAGE_SELF;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        const double cpuStart = cpuMs(who);
        const auto start = Clock::now();
        body();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        cpu += cpuMs(who) - cpuStart;
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), cpu / runs};
}

void print(const char* what, Figures f) {
    std::printf("  %-52s median %7.2f ms  best %7.2f ms  cpu %7.2f ms\n", what, f.median, f.best, f.cpu);
}

bool raiseFileLimit(rlim_t wanted) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur >= wanted) return true;
    if (limit.rlim_max < wanted) limit.rlim_max = wanted; // allowed for root only
    limit.rlim_cur = wanted;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Runs `ss args` with its output thrown away; true when it exited 0.
bool runSs(const char* const* argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Switches between a fake table (to fill the history) and the real one.
class SwitchableTable : public TcpTable {
public:
    TcpTable* source = nullptr;
    bool read(std::vector<TcpRow>& rows, TcpStateMask states) override { return source->read(rows, states); }
};

class FillerTable : public TcpTable {
public:
    bool read(std::vector<TcpRow>& rows, TcpStateMask) override {
        rows.clear();
        for (std::uint16_t i = 0; i < ConnectionHistory::kMaxRows - 2; ++i)
            rows.push_back({TcpEstablished, tcpRowAddress(192, 0, 2, 1),
                            tcpRowPort(static_cast<std::uint16_t>(1024 + i)), tcpRowAddress(198, 51, 100, 1),
                            tcpRowPort(443)});
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int connections = argc > 1 ? std::atoi(argv[1]) : 10000;
    // The client ends live in a child process, so each process needs one descriptor per connection.
    if (!raiseFileLimit(static_cast<rlim_t>(connections) + 256)) {
        std::printf("cannot raise the file limit to %d descriptors\n", connections + 256);
        return 0;
    }

    Fd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    auto address = loopback(0);
    ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener.get(), 4096);
    socklen_t length = sizeof address;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
    const std::uint16_t port = ntohs(address.sin_port);

    int hold[2];
    if (::pipe2(hold, O_CLOEXEC) != 0) return 0;
    const auto openStart = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(hold[1]);
        std::vector<Fd> clients;
        clients.reserve(static_cast<std::size_t>(connections));
        for (int i = 0; i < connections; ++i) {
            Fd client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            auto target = loopback(port);
            if (::connect(client.get(), reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
                std::perror("connect");
                break;
            }
            clients.push_back(std::move(client));
        }
        char byte;
        while (::read(hold[0], &byte, 1) > 0) {
        }
        ::_exit(0); // the parent closed its end: drop the connections
    }
    ::close(hold[0]);
    std::vector<Fd> ends;
    ends.reserve(static_cast<std::size_t>(connections));
    for (int i = 0; i < connections; ++i) {
        Fd server(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!server.valid()) {
            std::perror("accept");
            break;
        }
        ends.push_back(std::move(server));
    }
    std::printf("opened %zu established loopback connections in %.0f ms\n", ends.size(),
                std::chrono::duration<double, std::milli>(Clock::now() - openStart).count());
    struct Release {
        int fd;
        pid_t child;
        ~Release() {
            ::close(fd);
            ::waitpid(child, nullptr, 0);
        }
    } release{hold[1], child};

    auto system = makeSystemTcpTable();
    std::vector<TcpRow> rows;
    system->read(rows, kAllTcpStates);
    std::printf("the IPv4 TCP table holds %zu rows\n", rows.size());

    const int runs = 15;
    std::printf("\nfigures over %d runs:\n", runs);

    std::vector<TcpRow> netlinkRows, procRows;
    print("sock_diag dump alone (all states)",
          measure(runs, nullptr, [&] { readTcpTableNetlink(netlinkRows, kAllTcpStates); }));
    print("/proc/net/tcp{,6} fallback alone (all states)",
          measure(5, nullptr, [&] { readTcpTableProc(procRows, kAllTcpStates); }));

    const TcpStateMask wanted = tcpStateBit(TcpListen) | tcpStateBit(TcpEstablished);
    print("sock_diag dump alone (listening, established)",
          measure(runs, nullptr, [&] { readTcpTableNetlink(netlinkRows, wanted); }));
    print("table read (sock_diag dump and sort)",
          measure(runs, nullptr, [&] { system->read(rows, wanted); }));
    std::vector<TTcpConnStatus> list;
    print("ReadTcpConnections (read, sort, format)",
          measure(runs, nullptr, [&] { ReadTcpConnections(*system, &list); }));
    std::printf("  (%zu records)\n", list.size());

    // The tick against a full history: 998 rows of other connections, then every polled connection
    // is new, so the tick appends them all and the automatic clear follows.
    LocaleClock clock;
    FillerTable filler;
    SwitchableTable table;
    std::unique_ptr<ConnectionHistory> history;
    print("tick, full history: read, format, test, append, clear",
          measure(
              runs,
              [&] {
                  history = std::make_unique<ConnectionHistory>(table, clock);
                  history->create();
                  table.source = &filler;
                  history->tick();
                  table.source = system.get();
              },
              [&] { history->tick(); }));
    // The poll's decisions alone: read, format and test every record against a full history.
    history = std::make_unique<ConnectionHistory>(table, clock);
    history->create();
    table.source = &filler;
    history->tick();
    table.source = system.get();
    std::size_t fresh = 0;
    print("read, format, test against a full 1000-row history", measure(runs, nullptr, [&] {
              ReadTcpConnections(*system, &list);
              fresh = 0;
              for (const auto& record : list)
                  fresh += history->IsNewConnection(record);
          }));
    std::printf("  (%zu of %zu records new, history of %zu rows)\n", fresh, list.size(),
                history->rows().size());

    // The window's tick: the same, plus the grid taking the new rows.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    TForm3 window(nullptr, std::shared_ptr<TcpTable>(makeSystemTcpTable()));
    window.cbShowListeners->setChecked(true);
    window.show();
    print("window tick (TimerTimer with the grid)", measure(runs, nullptr, [&] { window.TimerTimer(); }));

    const char* const ssTn[] = {"ss", "-tn", nullptr};
    const char* const ssTn4[] = {"ss", "-tn4", nullptr};
    if (!runSs(ssTn)) {
        std::printf("ss is not available\n");
        return 0;
    }
    print("ss -tn > /dev/null (whole process)", measure(
                                                    runs, nullptr, [&] { runSs(ssTn); }, true));
    print("ss -tn4 > /dev/null (whole process)", measure(
                                                     runs, nullptr, [&] { runSs(ssTn4); }, true));
    return 0;
}
