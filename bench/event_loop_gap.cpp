// The longest gap in the main window's event-loop servicing while each long operation runs: a
// 10 ms timer inside the program notes when it fires; the longest time between two firings is what
// a user would see as a frozen window. Prints a table; never fails on timing.
//
// Run it through bench/event_loop_gap.sh, which gives it a network namespace of its own: loopback,
// an interface 10.77.0.1/24 whose other addresses never answer, and a resolver pointed at
// 127.0.0.53, where this program holds a UDP port that never answers.
//
//   bench_event_loop_gap [--only NAME]
#include "app/Application.h"
#include "app/TForm1.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/TSpinEdit.h"
#include "controls/TlxButton.h"
#include "platform/Fd.h"
#include "resolve/WinsockIntf.h"
#include "tcphistory/TForm3.h"

#include "CpuTime.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvex;

namespace {

// Notices and error reports are counted, not shown: a modal box would stop the measurement.
class CountingNotifier : public Notifier {
public:
    int shown = 0;
    QString last;
    void information(QWidget*, const QString& text) override { note(text); }
    void error(QWidget*, const QString&, const QString& text) override { note(text); }
    void message(QWidget*, const QString&, const QString& text) override { note(text); }

private:
    void note(const QString& text) {
        ++shown;
        last = text;
    }
};

// Notes the longest time between two firings of a 10 ms timer.
class GapMeter : public QObject {
public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    double stopMs() {
        timer_.stop();
        // The time since the last firing counts too: an operation that froze the loop to its end.
        longest_ = std::max(longest_, clock_.nsecsElapsed() - last_);
        return double(longest_) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

sockaddr_in address(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

Fd listenOn(const char* ip, int backlog, std::uint16_t& port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = address(ip, 0);
    socklen_t length = sizeof a;
    ::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd.get(), backlog);
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &length);
    port = ntohs(a.sin_port);
    return fd;
}

// A web server on loopback that answers one GET with a body of `size` bytes, then closes.
class BigReplyServer {
public:
    explicit BigReplyServer(std::size_t size) {
        listener_ = listenOn("127.0.0.1", 4, port_);
        thread_ = std::thread([this, size] {
            Fd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!client.valid()) return;
            std::string head;
            char c;
            while (head.find("\r\n\r\n") == std::string::npos && ::read(client.get(), &c, 1) == 1)
                head += c;
            std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                                "\r\nConnection: close\r\n\r\n";
            reply.append(size, '1');
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t n =
                    ::send(client.get(), reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
        });
    }
    ~BigReplyServer() { thread_.join(); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    Fd listener_;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

bool raiseFileLimit(rlim_t wanted) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur >= wanted) return true;
    if (limit.rlim_max < wanted) limit.rlim_max = wanted;
    limit.rlim_cur = wanted;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// `count` established loopback connections, held until destruction. Both ends live in child
// processes, a pair of them per block of connections, so no process needs more descriptors than
// a block; the blocks go to four loopback addresses so that more connections fit than one address
// has ports.
class Connections {
public:
    explicit Connections(int count) {
        constexpr int kBlock = 10000;
        raiseFileLimit(kBlock + 512);
        int hold[2];
        if (::pipe2(hold, O_CLOEXEC) != 0) return;
        const char* targets[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"};
        for (int first = 0; first < count; first += kBlock) {
            const int block = std::min(kBlock, count - first);
            std::uint16_t port = 0;
            Fd listener = listenOn("0.0.0.0", 4096, port);
            int ready[2];
            if (::pipe2(ready, O_CLOEXEC) != 0) break;
            const pid_t server = ::fork();
            if (server == 0) {
                ::close(hold[1]);
                std::vector<Fd> ends;
                for (int i = 0; i < block; ++i) {
                    Fd end(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
                    if (!end.valid()) break;
                    ends.push_back(std::move(end));
                }
                const int opened = static_cast<int>(ends.size());
                (void)!::write(ready[1], &opened, sizeof opened);
                waitForRelease(hold[0]);
            }
            const pid_t client = ::fork();
            if (client == 0) {
                ::close(hold[1]);
                std::vector<Fd> ends;
                for (int i = 0; i < block; ++i) {
                    Fd end(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
                    sockaddr_in target = address(targets[(first / kBlock) % 4], port);
                    if (::connect(end.get(), reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) break;
                    ends.push_back(std::move(end));
                }
                waitForRelease(hold[0]);
            }
            ::close(ready[1]);
            int opened = 0;
            if (::read(ready[0], &opened, sizeof opened) == sizeof opened)
                size_ += static_cast<std::size_t>(opened);
            ::close(ready[0]);
            children_.push_back(server);
            children_.push_back(client);
        }
        ::close(hold[0]);
        hold_ = Fd(hold[1]);
    }
    ~Connections() {
        hold_.reset();
        for (pid_t child : children_)
            ::waitpid(child, nullptr, 0);
    }
    std::size_t size() const { return size_; }

private:
    [[noreturn]] static void waitForRelease(int fd) {
        char byte;
        while (::read(fd, &byte, 1) > 0) {
        }
        ::_exit(0);
    }

    std::vector<pid_t> children_;
    Fd hold_;
    std::size_t size_ = 0;
};

struct Row {
    std::string what;
    double gapMs;
    double runMs;
    double uiCpuMs; // processor time of the UI thread meanwhile: what the window itself spent
    std::string note;
};

// Starts an operation, runs the event loop until the runner is idle, and measures meanwhile.
Row measure(const std::string& what, TForm1* form, const std::function<void()>& start,
            const std::function<std::string()>& note) {
    GapMeter meter;
    QElapsedTimer run;
    const double cpu = cpuMs();
    run.start();
    meter.start();
    start();
    if (form->Operations->busy()) {
        QEventLoop loop;
        QObject::connect(form->Operations, &OperationRunner::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Whatever the operation queued for the window is handled before the meter stops.
    QEventLoop settle;
    QTimer::singleShot(30, &settle, &QEventLoop::quit);
    settle.exec();
    const double gap = meter.stopMs();
    return {what, gap, double(run.elapsed()), cpuMs() - cpu, note()};
}

// Lets the loop run for ms while recording goes on.
Row measureFor(const std::string& what, int ms, const std::function<std::string()>& note) {
    GapMeter meter;
    const double cpu = cpuMs();
    meter.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    const double gap = meter.stopMs();
    return {what, gap, double(ms), cpuMs() - cpu, note()};
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::string only;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
    auto wanted = [&](const char* name) { return only.empty() || only == name; };

    installSocketApi(std::make_unique<TWinsockIntf11>());
    CountingNotifier notices;
    Notifier* const boxes = setNotifier(&notices);

    // The resolver's server (see the script) never answers: a port held and never read.
    Fd silentDns(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    {
        sockaddr_in dns = address("127.0.0.53", 53);
        if (::bind(silentDns.get(), reinterpret_cast<sockaddr*>(&dns), sizeof dns) != 0)
            std::fprintf(stderr, "note: cannot hold 127.0.0.53:53 (%s)\n", std::strerror(errno));
    }

    Windows windows = createWindows(systemForm1Services());
    TForm1* form = windows.Form1.get();
    form->show();
    QEventLoop shown;
    QTimer::singleShot(200, &shown, &QEventLoop::quit);
    shown.exec();

    std::vector<Row> rows;
    auto lines = [form] { return std::to_string(form->lstReplies->count()) + " lines"; };
    auto lastNotice = [&notices] {
        if (notices.shown == 0) return std::string("no box");
        QString text = notices.last.left(48);
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
        return "box: " + text.toStdString();
    };

    if (wanted("ping-loopback")) {
        rows.push_back(measure(
            "1000 pings to 127.0.0.1", form,
            [form] {
                form->edHost->setText(QStringLiteral("127.0.0.1"));
                form->SpinEdit1->setText(QStringLiteral("1000"));
                form->PingButtonClick();
            },
            lines));
    }
    if (wanted("ping-silent")) {
        rows.push_back(measure(
            "5 pings to 10.77.0.9 (never answers)", form,
            [form] {
                form->edHost->setText(QStringLiteral("10.77.0.9"));
                form->SpinEdit1->setText(QStringLiteral("5"));
                form->PingButtonClick();
            },
            lines));
    }
    if (wanted("lookup-silent-dns")) {
        notices.shown = 0;
        rows.push_back(measure(
            "IP to Hostname, DNS server never answers", form,
            [form] {
                form->editIP->setText(QStringLiteral("10.77.0.9"));
                form->lxButton1Click();
            },
            lastNotice));
    }
    if (wanted("lookup-hosts")) {
        notices.shown = 0;
        rows.push_back(measure(
            "IP to Hostname found in the hosts file", form,
            [form] {
                form->editIP->setText(QStringLiteral("10.77.0.5"));
                form->lxButton1Click();
            },
            [form] { return form->editIP->text().toStdString(); }));
    }
    if (wanted("public-silent")) {
        notices.shown = 0;
        std::uint16_t port = 0;
        Fd silent = listenOn("127.0.0.1", 4, port); // takes connections, never answers
        qputenv("ORVEX_PUBLIC_ADDRESS_URL",
                QByteArray::fromStdString("http://127.0.0.1:" + std::to_string(port) + "/orvexip/ip.php"));
        rows.push_back(measure(
            "public address, server never answers (15 s read limit)", form,
            [form] { form->lxButton6Click(); }, lastNotice));
    }
    if (wanted("public-10mb")) {
        notices.shown = 0;
        BigReplyServer server(10u << 20);
        qputenv("ORVEX_PUBLIC_ADDRESS_URL",
                QByteArray::fromStdString("http://" + server.host() + "/orvexip/ip.php"));
        rows.push_back(measure(
            "public address, 10 MB reply", form, [form] { form->lxButton6Click(); },
            [form, &lastNotice] {
                return std::to_string(form->Edit10->text().size()) + " chars, " + lastNotice();
            }));
    }
    for (int count : {10000, 50000}) {
        const std::string name = "tcp-" + std::to_string(count);
        if (!wanted(name.c_str())) continue;
        Connections connections(count);
        TForm3* history = windows.Form3;
        history->show();
        history->cbShowListeners->setChecked(true);
        rows.push_back(
            measureFor("TCP history, " + std::to_string(connections.size()) + " connections, 3 s", 3000,
                       [history] { return std::to_string(history->history().rows().size()) + " rows"; }));
        history->cbShowListeners->setChecked(false);
        history->hide();
    }

    std::printf("%-58s %12s %10s %11s  %s\n", "operation", "longest gap", "took", "UI cpu", "outcome");
    for (const Row& row : rows)
        std::printf("%-58s %9.1f ms %7.0f ms %8.1f ms  %s\n", row.what.c_str(), row.gapMs, row.runMs,
                    row.uiCpuMs, row.note.c_str());
    std::fflush(stdout);
    windows = Windows{};
    setNotifier(boxes);
    // A lookup still held by the silent resolver is let go with the program.
    if (!OperationRunner::waitForWorkers(0)) std::_Exit(0);
    return 0;
}
