// The route and port window, offscreen: the chart in both palettes at scale 1 and 2 (PNGs to look
// at), and, in the client namespace of route-chain.sh (root only), a trace as the user runs it
// beside `orvex --route` on the same path, the port check's lines, Stop and closing.
#include "trace/RouteWindow.h"
#include "controls/OperationRunner.h"
#include "platform/Threads.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"
#include "trace/RouteReport.h"
#include "trace/RttChart.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <regex>
#include <sstream>

using namespace orvex;

namespace {

std::string run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while (pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int s = pipe != nullptr ? ::pclose(pipe) : -1;
    if (status != nullptr) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return out;
}

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(40, 40, 44));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Mid, QColor(90, 90, 96));
    return p;
}

// A picture at a device pixel ratio, as a screen of that scale shows the widget.
QImage render(QWidget* widget, qreal scale) {
    // Opaque, as the chart paints every pixel: saved as it is, without a conversion (which Qt
    // would hand to its thread pool).
    QImage image(widget->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    widget->render(&painter);
    return image;
}

} // namespace

class RouteWindowTest : public QObject {
    Q_OBJECT

    std::string chain_; // the namespace path's name; empty when it could not be made
    int home_ = -1;     // this process's own network namespace
    QString skip_;

private slots:
    void initTestCase() {
        if (::geteuid() != 0) {
            skip_ = QStringLiteral("needs root (network namespaces)");
            return;
        }
        const std::string name = "oxw" + std::to_string(::getpid());
        int status = 0;
        // The target's link holds each packet 20 ms each way, so the chart has something to show.
        const std::string out =
            run("TUN_LINK=" + qEnvironmentVariable("ORVEX_BINARY_DIR").toStdString() +
                    "/tests/trace/tun_link bash " + qEnvironmentVariable("ORVEX_SOURCE_DIR").toStdString() +
                    "/tests/trace/route-chain.sh up " + name + " delay=20 2>&1",
                &status);
        if (status != 0) {
            skip_ = QString::fromStdString("no namespace path: " + out);
            return;
        }
        chain_ = name;
        // This thread, and the worker threads it starts from now on, live in the client namespace.
        home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int client = ::open(("/run/netns/" + name + "-c").c_str(), O_RDONLY | O_CLOEXEC);
        QVERIFY(client >= 0 && ::setns(client, CLONE_NEWNET) == 0);
        ::close(client);
    }

    void cleanupTestCase() {
        if (home_ >= 0) ::setns(home_, CLONE_NEWNET);
        if (!chain_.empty())
            run("bash " + qEnvironmentVariable("ORVEX_SOURCE_DIR").toStdString() +
                "/tests/trace/route-chain.sh down " + chain_);
    }

    // The chart with a target line, a picked hop's line and losses, in a light and a dark palette at
    // scale 1 and 2: the line colours differ from the background in both, and the scale-2 picture
    // has twice the pixels (drawn, not stretched: it has more distinct line pixels).
    void chartInBothPalettesAtBothScales() {
        RttChart chart;
        chart.resize(480, 130);
        RttChart::Series target{QStringLiteral("Ziel 10.201.4.2"), {}};
        RttChart::Series hop{QStringLiteral("Hop 2 10.201.2.2"), {}};
        for (int i = 0; i < 120; ++i) {
            target.rtts.push_back(i % 17 == 5 ? std::nullopt
                                              : std::optional<double>(40 + 6 * std::sin(i / 7.0)));
            hop.rtts.push_back(3 + (i % 9));
        }
        chart.setSeries(target, hop);
        QCOMPARE(chart.accessibleDescription(),
                 QStringLiteral("Ziel 10.201.4.2: zuletzt %1 ms. Hop 2 10.201.2.2: zuletzt 5.0 ms.")
                     .arg(40 + 6 * std::sin(119 / 7.0), 0, 'f', 1));
        for (const bool dark : {false, true}) {
            chart.setPalette(dark ? darkPalette() : QApplication::palette());
            const QColor base = chart.palette().color(QPalette::Base);
            for (const qreal scale : {1.0, 2.0}) {
                const QImage image = render(&chart, scale);
                QCOMPARE(image.size(), QSize(480, 130) * scale);
                const QString name =
                    QStringLiteral("route-chart-%1-x%2").arg(dark ? "dark" : "light").arg(int(scale));
                QVERIFY(image.save(qEnvironmentVariable("ORVEX_SCREENSHOT_DIR") + "/" + name + ".png"));
                // The target's line: pixels far from the background colour, at least a line's worth.
                int strong = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x) {
                        const QColor c = image.pixelColor(x, y);
                        if (std::abs(c.lightness() - base.lightness()) > 60 && c.saturation() > 120) ++strong;
                    }
                QVERIFY2(strong > 300 * scale * scale * 0.6,
                         qPrintable(QStringLiteral("%1 strong pixels").arg(strong)));
            }
        }
        QCOMPARE(chartScaleTop(0.4), 1.0);
        QCOMPARE(chartScaleTop(44), 50.0);
        QCOMPARE(chartScaleTop(120), 200.0);
        QCOMPARE(chartScaleTop(1000), 1000.0);
    }

    // A trace as the user runs it (host, interval, Start, Stop), beside `orvex --route` on the same
    // path: the same hops, each probed in every round, names from the window's lookup; Stop keeps
    // the figures, and "Kopieren" gives the report the command line prints for them.
    void traceMatchesTheCommandLine() {
        if (!skip_.isEmpty()) QSKIP(qPrintable(skip_));
        RouteWindow window(nullptr, [](const std::string& address) { return "n-" + address; });
        window.openFor(QStringLiteral("10.201.4.2"));
        window.spinInterval->setValue(20);
        QTest::mouseClick(window.btnRoute, Qt::LeftButton);
        QVERIFY(window.Operations->busy());
        QCOMPARE(window.btnRoute->text(), QStringLiteral("&Stopp"));
        QTRY_VERIFY_WITH_TIMEOUT(window.lastRoute().rounds >= 15, 10000);
        // Names arrive from the lookup thread.
        QTRY_COMPARE(window.tblHops->item(1, 2)->text(), QStringLiteral("n-10.201.2.2"));
        // Picking a hop in the table (the table takes clicks while the trace runs) adds its line.
        QTest::mouseClick(window.tblHops->viewport(), Qt::LeftButton, {},
                          window.tblHops->visualItemRect(window.tblHops->item(1, 1)).center());
        QTRY_VERIFY(
            window.chartRtt->accessibleDescription().contains(QStringLiteral("Hop 2 10.201.2.2: zuletzt")));
        QVERIFY(window.chartRtt->accessibleDescription().startsWith(
            QStringLiteral("Ziel 10.201.4.2: zuletzt 4")));
        // The Stop button takes its click while the trace runs.
        QTest::mouseClick(window.btnRoute, Qt::LeftButton);
        QVERIFY(test::operationsIdle(&window));
        QCOMPARE(window.btnRoute->text(), QStringLiteral("&Start"));
        const RouteSnapshot route = window.lastRoute();
        QCOMPARE(window.tblHops->rowCount(), 4);
        QStringList addresses;
        for (int row = 0; row < 4; ++row) {
            addresses << window.tblHops->item(row, 1)->text();
            QCOMPARE(window.tblHops->item(row, 4)->text(), QString::number(route.rounds));
            QCOMPARE(window.tblHops->item(row, 3)->text(), QStringLiteral("0.0 %"));
        }
        QCOMPARE(addresses, (QStringList{"10.201.1.1", "10.201.2.2", "10.201.3.2", "10.201.4.2"}));

        const std::string cli =
            run(qEnvironmentVariable("ORVEX_BINARY_DIR").toStdString() +
                "/app/orvex --route 10.201.4.2 --interval 20 --rounds " + std::to_string(route.rounds));
        btnCopyAndCompare(window, cli);

        // The target's ports: nothing listens there, so both answer with a reset.
        window.edPorts->setText(QStringLiteral("22,80"));
        QTest::mouseClick(window.btnPorts, Qt::LeftButton);
        QVERIFY(test::operationsIdle(&window));
        QCOMPARE(window.lstPorts->item(window.lstPorts->count() - 1)->text().left(46),
                 QStringLiteral("--- 0/2 Ports offen, 6/6 beantwortet, 0 % Verl"));
        test::saveScreenshot(&window, QStringLiteral("route-window"));
    }

    // The port check against listeners of the test, a port with nothing behind it, in IPv4 and IPv6;
    // the list holds the lines and the summary the command line prints.
    void portCheckLines() {
        if (!skip_.isEmpty()) QSKIP(qPrintable(skip_));
        int listeners[2];
        const int families[2] = {AF_INET, AF_INET6};
        for (int i = 0; i < 2; ++i) {
            listeners[i] = ::socket(families[i], SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_storage a{};
            if (families[i] == AF_INET) {
                auto* in = reinterpret_cast<sockaddr_in*>(&a);
                in->sin_family = AF_INET;
                in->sin_port = htons(7401);
                in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            } else {
                auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
                in6->sin6_family = AF_INET6;
                in6->sin6_port = htons(7401);
                in6->sin6_addr = in6addr_loopback;
            }
            QVERIFY(::bind(listeners[i], reinterpret_cast<sockaddr*>(&a), sizeof a) == 0);
            QVERIFY(::listen(listeners[i], 16) == 0);
        }
        RouteWindow window;
        for (const char* host : {"127.0.0.1", "::1"}) {
            window.edRouteHost->setText(QString::fromLatin1(host));
            window.edPorts->setText(QStringLiteral("7401-7402"));
            window.spinPortCount->setValue(2);
            QTest::keyClick(window.edPorts, Qt::Key_Return);
            QVERIFY(test::operationsIdle(&window));
            QStringList lines;
            for (int i = 0; i < window.lstPorts->count(); ++i)
                lines << window.lstPorts->item(i)->text().replace(QRegularExpression(" - Ø .*|, Ø .*"), "");
            const QString family = QString::fromLatin1(host).contains(':') ? "IPv6" : "IPv4";
            QCOMPARE(lines, (QStringList{QStringLiteral("Port-Test %1 (%1), %2").arg(host, family),
                                         "7401/tcp offen - 2/2 beantwortet",
                                         "7402/tcp geschlossen - 2/2 beantwortet",
                                         "--- 1/2 Ports offen, 4/4 beantwortet, 0 % Verlust"}));
            const std::string cli = run(qEnvironmentVariable("ORVEX_BINARY_DIR").toStdString() +
                                        "/app/orvex --port " + host + " 7401-7402 --count 2");
            QCOMPARE(QString::fromStdString(std::regex_replace(cli, std::regex("( - |, )Ø [^\n]*"), "")),
                     lines.join('\n') + '\n');
        }
        for (int s : listeners)
            ::close(s);
    }

    // Closing the window while a trace runs to a host that never answers stops it at once: the
    // runner is idle and the worker gone well within a second.
    void closingStopsAtOnce() {
        if (!skip_.isEmpty()) QSKIP(qPrintable(skip_));
        RouteWindow window;
        window.openFor(QStringLiteral("10.201.4.99"));
        QTest::mouseClick(window.btnRoute, Qt::LeftButton);
        QTRY_VERIFY(window.lastRoute().rounds >= 1 || window.tblHops->rowCount() >= 0);
        QTest::qWait(300);
        const int running = countedThreads(); // the trace's worker, the name lookups' thread
        QElapsedTimer clock;
        clock.start();
        window.close();
        QVERIFY(!window.Operations->busy());
        QTRY_COMPARE_WITH_TIMEOUT(countedThreads(), running - 1, 1000);
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
    }

private:
    void btnCopyAndCompare(RouteWindow& window, const std::string& cli) {
        QTest::mouseClick(window.btnCopy, Qt::LeftButton);
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied, QString::fromStdString(routeReportText(window.lastRoute())));
        // The command line's report for its own run of as many rounds: the same lines, with
        // hop, address, loss and probes sent alike; times and names (the window's come from the
        // test's lookup) aside.
        auto shape = [](const std::string& text) {
            static const std::regex hop(R"(^ *([0-9]+)\. +(\S+) .*? ([0-9.]+ %) +([0-9]+) .*$)");
            std::string out;
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);)
                out += std::regex_replace(line, hop, "$1 $2 $3 $4") + "\n";
            return out;
        };
        QCOMPARE(QString::fromStdString(shape(copied.toStdString())), QString::fromStdString(shape(cli)));
    }
};

QTEST_MAIN(RouteWindowTest)
#include "RouteWindowTest.moc"
