#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TStatusBar.h"
#include "controls/OperationRunner.h"
#include "controls/TlxButton.h"
#include "platform/ConnectionState.h"
#include "platform/ProxySetting.h"
#include "tests/net/NginxServer.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"
#include "tests/web/ProcessResources.h"
#include "tests/web/ScriptedHttpServer.h"
#include "tests/web/SilentServer.h"
#include "web/ServiceSettings.h"
#include "web/TForm4.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvex;

namespace {

class OnlineConnection : public ConnectionState {
public:
    bool isConnected() override { return true; }
};

class FakeProxySetting : public ProxySetting {
public:
    std::string list; // empty: no named proxy
    int asked = 0;
    bool query(ProxyInfo& info, std::size_t) override {
        ++asked;
        info.accessType = list.empty() ? ProxyInfo::kDirect : ProxyInfo::kNamedProxy;
        info.proxy = list;
        return true;
    }
};

std::string okReply(const std::string& body, const std::string& extraHeaders = {}) {
    return "HTTP/1.1 200 OK\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

QByteArray expectedHead(const std::string& host, const std::string& cookieLine = {},
                        const std::string& target = "/orvexip/ip.php") {
    return QByteArray::fromStdString("GET " + target +
                                     " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + host +
                                     "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Nx "
                                     "Library)\r\n" +
                                     cookieLine + "\r\n");
}

std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool acceptsConnections(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

class PublicAddressTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::RecordingNotifier> notices;
    std::unique_ptr<test::ScriptedHttpServer> server;
    std::shared_ptr<FakeProxySetting> proxy;
    std::unique_ptr<QTemporaryDir> configHome;
    Windows windows;
    TForm1* form = nullptr;

    QString panel() const { return form->StatusBar1->panelText(2); }

    void startQuery() { // Enter in the box's field, as a user starts it
        form->Edit10->setFocus();
        QTest::keyClick(form->Edit10, Qt::Key_Return);
    }

    void query() {
        startQuery();
        QVERIFY(test::operationsIdle(form));
    }

    void setFields(const QString& text) {
        form->Edit10->setText(text);
        form->edHost->setText(text);
        form->editIP->setText(text);
    }

    // The service as a user names it for a quick try; init() points it at the scripted server.
    static void useService(const std::string& hostAndPort) {
        qputenv("ORVEX_PUBLIC_ADDRESS_URL",
                QByteArray::fromStdString("http://" + hostAndPort + "/orvexip/ip.php"));
    }

    QString settingsFile() const { return configHome->path() + QStringLiteral("/orvex/orvex.conf"); }

    void writeSettings(const std::string& text) {
        QDir().mkpath(configHome->path() + QStringLiteral("/orvex"));
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString(text));
    }

    void expectFields(const QString& text) {
        QCOMPARE(form->Edit10->text(), text);
        QCOMPARE(form->edHost->text(), text);
        QCOMPARE(form->editIP->text(), text);
    }

private slots:
    void init() {
        notices = std::make_unique<test::RecordingNotifier>();
        server = std::make_unique<test::ScriptedHttpServer>();
        proxy = std::make_shared<FakeProxySetting>();
        configHome = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome->path()));
        useService(server->host());
        windows =
            createWindows(Form1Services{.connection = std::make_shared<OnlineConnection>(), .proxy = proxy});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanup() {
        windows = Windows{};
        qunsetenv("ORVEX_PUBLIC_ADDRESS_URL");
        configHome.reset();
        server.reset();
        notices.reset();
    }

    void blanksAreRemovedAndTheAddressIsHandedOn() {
        server->addReply(okReply(" 203. 0.113 .7 "));
        query();
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("203.0.113.7"));
        const auto requests = server->requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(requests[0].head), expectedHead(server->host()));
        QCOMPARE(panel(), QString()); // no proxy configured
    }

    void lineBreaksAndBlanksAroundTheAddressGo_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("newline") << QByteArray("1.2.3.4\n");
        QTest::newRow("blanks and CRLF") << QByteArray(" 1.2.3.4 \r\n");
        QTest::newRow("bare") << QByteArray("1.2.3.4");
    }

    void lineBreaksAndBlanksAroundTheAddressGo() {
        QFETCH(QByteArray, body);
        server->addReply(okReply(body.toStdString()));
        QTest::mouseClick(form->lxButton6, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("1.2.3.4"));
    }

    void aServiceOfYourOwnIsAskedAtThePathTheFileNames() {
        qunsetenv("ORVEX_PUBLIC_ADDRESS_URL");
        writeSettings("[Services]\nPublicAddressUrl=http://" + server->host() + "/myip/index.txt?v=4\n");
        server->addReply(okReply("198.51.100.4\n"));
        query();
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("198.51.100.4"));
        // The file is read at each query: a change counts without a restart.
        writeSettings("[Services]\nPublicAddressUrl=http://" + server->host() + "/\n");
        server->addReply(okReply("198.51.100.5"));
        query();
        expectFields(QStringLiteral("198.51.100.5"));
        const auto requests = server->requests();
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(QByteArray::fromStdString(requests[0].head),
                 expectedHead(server->host(), {}, "/myip/index.txt?v=4"));
        QCOMPARE(QByteArray::fromStdString(requests[1].head), expectedHead(server->host(), {}, "/"));
    }

    void aSettingThatIsNoHttpUrlIsRefusedAndNothingIsSent_data() {
        QTest::addColumn<QString>("variable"); // %1: the scripted server's host:port
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message"); // %2: the settings file
        QTest::newRow("https in the environment")
            << "https://%1/orvexip/ip.php"
            << ""
            << "Die Umgebungsvariable ORVEX_PUBLIC_ADDRESS_URL ist keine http://-Adresse: "
               "\"https://%1/orvexip/ip.php\"";
        QTest::newRow("no scheme in the file")
            << ""
            << "[Services]\nPublicAddressUrl=%1/orvexip/ip.php\n"
            << "Die Einstellung PublicAddressUrl ([Services] in %2) ist keine http://-Adresse: "
               "\"%1/orvexip/ip.php\"";
    }

    void aSettingThatIsNoHttpUrlIsRefusedAndNothingIsSent() {
        QFETCH(QString, variable);
        QFETCH(QString, file);
        QFETCH(QString, message);
        const QString host = QString::fromStdString(server->host());
        qputenv("ORVEX_PUBLIC_ADDRESS_URL", variable.arg(host).toUtf8());
        if (!file.isEmpty()) writeSettings(file.arg(host).toStdString());
        setFields(QStringLiteral("10.1.1.1"));
        proxy->list = "proxy.lan:3128";
        server->addReply(okReply("203.0.113.7"));
        query();
        QCOMPARE(notices->shown.size(), std::size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices->shown[0].text, message.arg(host, settingsFile()));
        QCOMPARE(server->connections(), 0);
        expectFields(QStringLiteral("10.1.1.1"));
        QCOMPARE(proxy->asked, 0);
    }

    void emptyBodyEndsTheQuery() {
        setFields(QStringLiteral("10.1.1.1"));
        proxy->list = "proxy.lan:3128";
        server->addReply(okReply(""));
        query();
        QCOMPARE(form->Edit10->text(), QString());
        QCOMPARE(form->edHost->text(), QStringLiteral("10.1.1.1"));
        QCOMPARE(form->editIP->text(), QStringLiteral("10.1.1.1"));
        QCOMPARE(proxy->asked, 0);
        QCOMPARE(panel(), QString());
        QVERIFY(notices->shown.empty());
    }

    void twoQueriesShareOneConnectionAndSendTheCookieBack() {
        server->addReply(okReply("198.51.100.1", "Set-Cookie: sid=abc42; path=/\r\n"));
        server->addReply(okReply("198.51.100.2"));
        query();
        query();
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("198.51.100.2"));
        const auto requests = server->requests();
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(QByteArray::fromStdString(requests[0].head), expectedHead(server->host()));
        QCOMPARE(QByteArray::fromStdString(requests[1].head),
                 expectedHead(server->host(), "Cookie: sid=abc42\r\n"));
        QCOMPARE(requests[1].connection, 1);
        QCOMPARE(server->connections(), 1);
    }

    void anHttpErrorReachesTheErrorReportAndChangesNothing() {
        setFields(QStringLiteral("10.1.1.1"));
        proxy->list = "proxy.lan:3128";
        form->StatusBar1->setPanelText(2, QStringLiteral(" Proxyserver: old.lan  Port: 1"));
        server->addReply("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        query();
        QCOMPARE(notices->shown.size(), std::size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices->shown[0].text, QStringLiteral("HTTP/1.1 404 Not Found."));
        expectFields(QStringLiteral("10.1.1.1"));
        QCOMPARE(panel(), QStringLiteral(" Proxyserver: old.lan  Port: 1"));
    }

    void anOverlongOrCutReplyReachesTheErrorReportAndChangesNothing() {
        const struct {
            std::string reply;
            QString message;
        } cases[] = {
            {okReply(std::string(kMaxServiceReplyBody + 1, '1')),
             QStringLiteral("Die Antwort des Servers ist zu groß.")},
            {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n203.0.113.9",
             QStringLiteral("Die Verbindung wurde erfolgreich geschlossen.")},
        };
        for (const auto& c : cases) {
            notices->shown.clear();
            setFields(QStringLiteral("10.1.1.1"));
            server->addReply(c.reply, true);
            query();
            QCOMPARE(notices->shown.size(), std::size_t(1));
            QCOMPARE(notices->shown[0].text, c.message);
            expectFields(QStringLiteral("10.1.1.1"));
        }
    }

    void aRefusedConnectionReachesTheErrorReport() {
        useService("127.0.0.1:" + std::to_string(freeLoopbackPort()));
        setFields(QStringLiteral("10.1.1.1"));
        query();
        QCOMPARE(notices->shown.size(), std::size_t(1));
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices->shown[0].text, QStringLiteral("Socket-Fehler # 10061\r\nVerbindung abgelehnt."));
        expectFields(QStringLiteral("10.1.1.1"));
    }

    void aSilentServerEndsInTheErrorReportWhileTheWindowStaysAlive_data() {
        QTest::addColumn<bool>("queueFull");
        QTest::addColumn<QString>("report");
        QTest::newRow("no reply") << false << QString::fromUtf8("Zeitüberschreitung beim Lesen.");
        QTest::newRow("no connection")
            << true << QString::fromUtf8("Socket-Fehler # 10060\r\nZeitüberschreitung bei Verbindung.");
    }

    void aSilentServerEndsInTheErrorReportWhileTheWindowStaysAlive() {
        QFETCH(bool, queueFull);
        QFETCH(QString, report);
        test::SilentServer silent(queueFull);
        useService(silent.host());
        form->webTimeouts = {.connectMs = 1000, .readMs = 1000};
        setFields(QStringLiteral("10.1.1.1"));
        test::LivenessProbe probe(form->Edit10);
        startQuery();
        QVERIFY(form->Operations->busy());
        QTest::mouseClick(form->lxButton1, Qt::LeftButton); // another box's: held off, not queued
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->texts(), QStringList{report});
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        expectFields(QStringLiteral("10.1.1.1"));
        QVERIFY2(probe.ticks >= 5 && probe.paints >= 1,
                 qPrintable(QStringLiteral("%1 ticks, %2 paints").arg(probe.ticks).arg(probe.paints)));
        QTest::qWait(50);
        QCOMPARE(notices->shown.size(), std::size_t(1));
    }

    void escapeStopsAQueryAndTheNextOneUsesAFreshClient() {
        test::SilentServer silent(false);
        useService(silent.host());
        setFields(QStringLiteral("10.1.1.1"));
        startQuery();
        QVERIFY(form->Operations->busy());
        QTest::keyClick(form->Edit10, Qt::Key_Escape);
        QVERIFY(!form->Operations->busy()); // let go at once
        QTest::qWait(50);
        expectFields(QStringLiteral("10.1.1.1"));
        QVERIFY(notices->shown.empty());

        useService(server->host());
        server->addReply(okReply("198.51.100.9"));
        query();
        expectFields(QStringLiteral("198.51.100.9"));
        silent.close(); // the stopped query's wait ends; what it read goes nowhere
        QVERIFY(OperationRunner::waitForWorkers(5000));
        QVERIFY(notices->shown.empty());
    }

    // A user who clicks and presses Escape again and again against a server that never answers:
    // each stopped query ends its socket at once, whether it still connects or already waits for
    // the reply, so neither threads nor descriptors pile up; once a stopped query has let go, its
    // client comes back with its cookies.
    void stoppedQueriesLeaveNeitherThreadsNorSockets() {
        std::atomic<int> asked{0};
        test::ScriptedServer waiting([&](test::ServerConnection& c) {
            if (c.ReadRequest().empty()) return;
            ++asked;
            c.WaitForPeerClose(10000);
        });
        test::SilentServer silent(false);
        server->addReply(okReply("198.51.100.1", "Set-Cookie: sid=1; path=/\r\n"));
        query();
        const int threads = test::liveThreads();
        const int descriptors = test::openDescriptors();
        const auto pump = [] { QTest::qWait(1); };
        useService(silent.host());
        for (int cycle = 0; cycle < 1100; ++cycle) {
            startQuery();
            QVERIFY(form->Operations->busy());
            QTest::keyClick(form->Edit10, Qt::Key_Escape);
            QVERIFY(!form->Operations->busy());
        }
        useService("127.0.0.1:" + std::to_string(waiting.Port()));
        for (int cycle = 1; cycle <= 50; ++cycle) {
            startQuery();
            QVERIFY2(test::waitUntil([&] { return asked == cycle; }, 5000, pump),
                     qPrintable(QStringLiteral("cycle %1: %2")
                                    .arg(cycle)
                                    .arg(notices->texts().join('|')))); // waiting for the reply
            QTest::keyClick(form->Edit10, Qt::Key_Escape);
        }
        const bool settled = test::waitUntil(
            [&] { return test::liveThreads() <= threads + 2 && test::openDescriptors() <= descriptors + 2; },
            5000, pump);
        std::printf("public address, 1150 stopped queries: threads %d -> %d, descriptors %d -> %d\n", threads,
                    test::liveThreads(), descriptors, test::openDescriptors());
        QVERIFY(settled);
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));

        useService(server->host());
        server->addReply(okReply("198.51.100.2"));
        query();
        expectFields(QStringLiteral("198.51.100.2"));
        QCOMPARE(QByteArray::fromStdString(server->requests().back().head),
                 expectedHead(server->host(), "Cookie: sid=1\r\n"));
    }

    // While the query runs its OK reads "Stopp" and a mouse click on it stops the query; the other
    // buttons are disabled, the window is busy to assistive technology, and a menu entry says why
    // it does nothing. Afterwards the boxes look as before.
    void aRunningQueryOffersStoppToTheMouse() {
        test::SilentServer silent(false);
        useService(silent.host());
        // The boxes, without the status bar and its clock.
        auto boxes = [this] { return form->client->grab(QRect(0, 0, 392, 425)).toImage(); };
        const QImage atRest = boxes();
        TlxButton* others[] = {form->lxButton1, form->lxButton2,  form->lxButton3,       form->lxButton4,
                               form->lxButton5, form->PingButton, form->Form4->lxButton8};
        QTest::mouseClick(form->lxButton6, Qt::LeftButton);
        QVERIFY(form->Operations->busy());
        QCOMPARE(form->lxButton6->text(), QStringLiteral("Stopp"));
        QVERIFY(form->lxButton6->isEnabled());
        for (TlxButton* other : others)
            QVERIFY2(!other->isEnabled(), qPrintable(other->objectName()));
        QVERIFY(QAccessible::queryAccessibleInterface(form)->state().busy);
        test::saveScreenshot(form, QStringLiteral("main-window-busy"));

        form->Info1->trigger();
        QTRY_COMPARE(notices->texts(), QStringList{TForm1::kBusyMenuNotice});
        QVERIFY(!form->Form2->isVisible());

        QTest::mouseClick(form->lxButton6, Qt::LeftButton);
        QVERIFY(!form->Operations->busy()); // let go at once
        QCOMPARE(form->lxButton6->text(), QStringLiteral("OK"));
        for (TlxButton* other : others)
            QVERIFY(other->isEnabled());
        QVERIFY(!QAccessible::queryAccessibleInterface(form)->state().busy);
        form->editIP->setFocus(); // where it was; the click gave it to the button
        QCOMPARE(boxes(), atRest);
        QCOMPARE(notices->shown.size(), std::size_t(1));
    }

    void proxyPanel_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("text");
        QTest::newRow("one pair") << "proxy.lan:3128"
                                  << " Proxyserver: proxy.lan  Port: 3128";
        QTest::newRow("http entry") << "ftp=f.lan:21;http=h.lan:8080;https=s.lan:443"
                                    << " Proxyserver: h.lan  Port: 8080";
        QTest::newRow("http entry without port") << "http=h.lan;https=s.lan:443"
                                                 << "";
        QTest::newRow("other protocol only") << "ftp=f.lan:21"
                                             << " Proxyserver: ftp=f.lan  Port: 21";
        QTest::newRow("other protocols") << "ftp=f.lan:21;https=s.lan:443"
                                         << " Proxyserver: ftp=f.lan  Port: 0";
        QTest::newRow("single byte text")
            << QString::fromLatin1("pr\xf6xy.lan:1") << QString::fromUtf8(" Proxyserver: pröxy.lan  Port: 1");
        QTest::newRow("none") << ""
                              << "";
    }

    void proxyPanel() {
        QFETCH(QString, list);
        QFETCH(QString, text);
        proxy->list = list.toLatin1().toStdString();
        server->addReply(okReply("203.0.113.7"));
        query();
        QVERIFY(notices->shown.empty());
        QCOMPARE(panel(), text);
    }

    void theProxyPanelKeepsItsTextWhenALaterQueryFindsNone() {
        server->addReply(okReply("203.0.113.7"));
        server->addReply(okReply("203.0.113.8"));
        proxy->list = "proxy.lan:3128";
        query();
        proxy->list = "";
        query();
        QCOMPARE(form->Edit10->text(), QStringLiteral("203.0.113.8"));
        QCOMPARE(panel(), QStringLiteral(" Proxyserver: proxy.lan  Port: 3128"));
        QVERIFY(!test::saveScreenshot(form, QStringLiteral("main-window-public-address")).isEmpty());
    }

    void theShippedServiceScriptAnswersTheCallersAddress() {
        const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
        if (php.isEmpty()) QSKIP("php is not installed (scripts/setup.sh installs php-cli)");
        const std::uint16_t port = freeLoopbackPort();
        QProcess service;
        service.setProgram(php);
        service.setArguments({QStringLiteral("-n"), QStringLiteral("-S"),
                              QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-t"),
                              qEnvironmentVariable("ORVEX_SOURCE_DIR") + "/service"});
        service.start();
        QVERIFY(service.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(acceptsConnections(port), 10000);
        useService("127.0.0.1:" + std::to_string(port));
        query();
        service.terminate();
        service.waitForFinished();
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("127.0.0.1"));
    }

    void theNginxLocationFromTheReadmeAnswersTheCallersAddress() {
        if (!test::NginxServer::Available())
            QSKIP("nginx is not installed (scripts/setup.sh installs nginx-light)");
        test::NginxServer nginx(
            "location = /orvexip/ip.php { default_type text/plain; return 200 $remote_addr; }");
        useService("127.0.0.1:" + std::to_string(nginx.Port()));
        query();
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));
        expectFields(QStringLiteral("127.0.0.1"));
    }
};

QTEST_MAIN(PublicAddressTest)
#include "PublicAddressTest.moc"
