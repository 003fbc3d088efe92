#include "controls/OperationRunner.h"
#include "controls/TlxButton.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"
#include "tests/web/ProcessResources.h"
#include "tests/web/ScriptedHttpServer.h"
#include "tests/web/SilentServer.h"
#include "web/TForm4.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

using namespace orvex;

namespace {

const char* const kOk = "HTTP/1.1 200 OK\r\nContent-Length: %1\r\n\r\n%2";

std::string okReply(const std::string& body) {
    return QString::fromLatin1(kOk).arg(body.size()).arg(QString::fromLatin1(body.c_str())).toStdString();
}

std::string expectedHead(const std::string& target, const std::string& host) {
    return "GET " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + host +
           "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Nx Library)\r\n\r\n";
}

QByteArray head(const std::string& target, const std::string& host) {
    return QByteArray::fromStdString(expectedHead(target, host));
}

} // namespace

class PageRankWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> owner;
    TForm4* form = nullptr;
    std::unique_ptr<test::RecordingNotifier> notices;
    std::unique_ptr<test::ScriptedHttpServer> server;

    void open() {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    void press(Qt::Key key) { QTest::keyClick(form->windowHandle(), key); } // to whatever holds the focus

private slots:
    void init() {
        notices = std::make_unique<test::RecordingNotifier>();
        server = std::make_unique<test::ScriptedHttpServer>();
        owner = std::make_unique<QMainWindow>();
        owner->resize(392, 448);
        owner->show();
        form = new TForm4(owner.get());
        qputenv("ORVEX_RANK_QUERY_URL", QByteArray::fromStdString("http://" + server->host() + "/search"));
    }

    void cleanup() {
        owner.reset();
        qunsetenv("ORVEX_RANK_QUERY_URL");
        server.reset();
        notices.reset();
    }

    void layout() {
        open();
        QCOMPARE(form->windowTitle(), QStringLiteral("Geben Sie bitte eine URL ein.."));
        QCOMPARE(form->size(), QSize(300, 123));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->GroupBox6->title(), QString::fromUtf8("Google Pagerank™"));
        QCOMPARE(form->GroupBox6->geometry(), QRect(49, 25, 201, 73));
        QCOMPARE(form->GroupBox6->font().family(), QStringLiteral("Arial"));
        QCOMPARE(form->GroupBox6->font().pixelSize(), 12);
        QCOMPARE(form->Edit3->geometry(), QRect(8, 21, 161, 23));
        QCOMPARE(form->Edit4->geometry(), QRect(172, 21, 22, 24));
        QCOMPARE(form->Edit4->font().family(), QStringLiteral("Arial"));
        QCOMPARE(form->Edit4->font().pixelSize(), 13);
        QVERIFY(form->Edit4->font().bold());
        QCOMPARE(form->lxButton8->geometry(), QRect(129, 45, 65, 20));
        QCOMPARE(form->lxButton8->text(), QStringLiteral("OK"));
        QCOMPARE(form->lxButton8->cursor().shape(), Qt::PointingHandCursor);
        for (QWidget* control : std::initializer_list<QWidget*>{form->Edit3, form->Edit4, form->lxButton8})
            QVERIFY2(!(control->focusPolicy() & Qt::TabFocus), qPrintable(control->objectName()));
        // Centred over the main window.
        QVERIFY((form->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength() <= 1);
        form->Edit3->setText(QStringLiteral("www.debian.org"));
        form->Edit4->setText(QStringLiteral("7"));
        QVERIFY(!test::saveScreenshot(form, QStringLiteral("pagerank-window")).isEmpty());
    }

    void firstOpeningLeavesTheFocusOnTheWindowAndEscapeCloses() {
        open();
        QCOMPARE(QApplication::focusWidget(), nullptr);
        press(Qt::Key_Tab); // nothing to tab to
        QCOMPARE(QApplication::focusWidget(), nullptr);
        press(Qt::Key_Return);
        QVERIFY(form->isVisible());
        press(Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    }

    void typingOnTheWindowStartsTheAddress() {
        open();
        QCOMPARE(QApplication::focusWidget(), nullptr);
        for (char c : std::string("www.x.de"))
            QTest::keyClick(form->windowHandle(), c);
        QCOMPARE(form->Edit3->text(), QStringLiteral("www.x.de"));
        QCOMPARE(QApplication::focusWidget(), form->Edit3);
        QVERIFY(server->requests().empty());
        server->addReply(okReply("Rank_1:1:5"));
        QTest::keyClick(form->windowHandle(), Qt::Key_Return, Qt::ControlModifier); // presses OK
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->Edit4->text(), QStringLiteral("5"));
        QCOMPARE(server->requests().size(), std::size_t(1));
    }

    void shownModallyItClosesOnEscapeAndKeepsItsFields() {
        form->Edit3->setText(QStringLiteral("www.debian.org"));
        form->Edit4->setText(QStringLiteral("6"));
        for (int opening = 0; opening < 2; ++opening) {
            bool sawFields = false;
            QTimer::singleShot(0, form, [&] {
                QTRY_VERIFY(form->isActiveWindow());
                sawFields = form->Edit3->text() == QStringLiteral("www.debian.org") &&
                            form->Edit4->text() == QStringLiteral("6");
                press(Qt::Key_Escape);
            });
            QTimer watchdog;
            watchdog.callOnTimeout(form, [&] { form->reject(); });
            watchdog.start(5000);
            QElapsedTimer elapsed;
            elapsed.start();
            form->exec();
            QVERIFY(elapsed.elapsed() < 5000); // Escape closed it, not the watchdog
            QVERIFY(sawFields);
        }
    }

    // Escape closes the window from either field as from the window itself; Enter does nothing.
    void escapeInAFieldClosesAndTheFocusComesBack() {
        for (QLineEdit* field : {form->Edit3, form->Edit4}) {
            open();
            QTest::mouseClick(field, Qt::LeftButton);
            QCOMPARE(QApplication::focusWidget(), field);
            QTest::keyClicks(field, QStringLiteral("abc.def"));
            press(Qt::Key_Return);
            QVERIFY(form->isVisible());
            press(Qt::Key_Escape);
            QVERIFY(!form->isVisible());
            QCOMPARE(field->text(), QStringLiteral("abc.def"));

            open();
            QTRY_COMPARE(QApplication::focusWidget(), field);
            press(Qt::Key_Escape);
            QVERIFY(!form->isVisible());
        }
        QVERIFY(server->requests().empty());
    }

    void emptyAddressShowsTheNoticeAndSendsNothing() {
        open();
        QWidget* focusWhileShown = form;
        notices->onShow = [&](const test::ShownBox&) { focusWhileShown = QApplication::focusWidget(); };
        form->Edit4->setText(QStringLiteral("3"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.size(), std::size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Information);
        QCOMPARE(notices->shown[0].text,
                 QStringLiteral("Bitte erst eine Webadresse eintragen: z.B. www.debian.org "));
        QVERIFY(focusWhileShown != form->Edit3); // the focus moves after the box
        QCOMPARE(QApplication::focusWidget(), form->Edit3);
        QCOMPARE(form->Edit4->text(), QStringLiteral("3"));
        QCOMPARE(server->connections(), 0);
    }

    void queryWritesTheRankAndUsesAFreshConnectionEachTime() {
        server->addReply(okReply("Rank_1:1:5\r\n"));
        server->addReply(okReply("Rank_1:1:\r\n"));
        open();
        form->Edit3->setText(QStringLiteral("abc.def"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->Edit4->text(), QStringLiteral("5"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->Edit4->text(), QStringLiteral("0"));
        QVERIFY2(notices->shown.empty(), qPrintable(notices->texts().join('|')));

        const auto requests = server->requests();
        QCOMPARE(requests.size(), std::size_t(2));
        const std::string target =
            "/search?client=navclient-auto&ch=61543982914&ie=UTF-8&oe=UTF-8&features=Rank&q=info:abc.def";
        QCOMPARE(QByteArray::fromStdString(requests[0].head),
                 QByteArray::fromStdString(expectedHead(target, server->host())));
        QCOMPARE(QByteArray::fromStdString(requests[1].head), QByteArray::fromStdString(requests[0].head));
        QCOMPARE(requests[0].connection, 1);
        QCOMPARE(requests[1].connection, 2);
    }

    void addressIsHashedWholeAndSentAsTyped() {
        server->addReply(okReply("Rank_1:1:2"));
        server->addReply(okReply("Rank_1:1:3"));
        open();
        form->Edit3->setText(QStringLiteral("a b#c"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        form->Edit3->setText(QString::fromUtf8("bücher.example/äö"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->Edit4->text(), QStringLiteral("3"));
        const auto requests = server->requests();
        QCOMPARE(requests.size(), std::size_t(2));
        // The checksum covers "info:a b#c"; the request stops at the "#".
        QCOMPARE(QByteArray::fromStdString(requests[0].head),
                 head("/search?client=navclient-auto&ch=61535130426&ie=UTF-8&oe=UTF-8&features=Rank"
                      "&q=info:a b",
                      server->host()));
        QCOMPARE(QByteArray::fromStdString(requests[1].head),
                 head("/search?client=navclient-auto&ch=6-787221856&ie=UTF-8&oe=UTF-8&features=Rank"
                      "&q=info:b\xfc"
                      "cher.example/\xe4\xf6",
                      server->host()));
    }

    void aSilentServerEndsWithTheReadTimeoutAndKeepsTheRank() {
        test::SilentServer silent(false);
        qputenv("ORVEX_RANK_QUERY_URL", QByteArray::fromStdString("http://" + silent.host() + "/search"));
        form->webTimeouts = {.connectMs = 1000, .readMs = 1000};
        open();
        form->Edit3->setText(QStringLiteral("abc.def"));
        form->Edit4->setText(QStringLiteral("4"));
        test::LivenessProbe probe(form->Edit4);
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(form->Operations->busy());
        QVERIFY(test::operationsIdle(form));
        QVERIFY(probe.ticks >= 5 && probe.paints >= 1); // while the query waited
        QCOMPARE(notices->texts(), QStringList{QString::fromUtf8("Zeitüberschreitung beim Lesen.")});
        QCOMPARE(form->Edit4->text(), QStringLiteral("4"));
    }

    void aPastedLineBreakIsRefusedAndNothingIsSent() {
        open();
        form->Edit4->setText(QStringLiteral("4"));
        for (const char* address : {"www.x.org\r\nX-Injected: 1", "www.x.org\n", "www.x.org\t1"}) {
            form->Edit3->setText(QString::fromLatin1(address));
            QTest::mouseClick(form->lxButton8, Qt::LeftButton);
            QVERIFY(test::operationsIdle(form));
        }
        QCOMPARE(notices->texts(),
                 QStringList(3, QString::fromUtf8("Die Webadresse enthält Steuerzeichen (etwa "
                                                  "einen Zeilenumbruch); es wurde nichts gesendet.")));
        QCOMPARE(form->Edit4->text(), QStringLiteral("4"));
        QCOMPARE(server->connections(), 0);
    }

    void aDribblingServerEndsAtTheDeadlineAsTheReadTimeout() {
        test::ScriptedServer dribbling([](test::ServerConnection& c) {
            if (c.ReadRequest().empty()) return;
            for (const char byte : std::string("HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\nRank_1:1:"))
                if (!c.Send(std::string(1, byte)) || c.WaitForPeerClose(40)) return;
            c.WaitForPeerClose(5000);
        });
        qputenv(
            "ORVEX_RANK_QUERY_URL",
            QByteArray::fromStdString("http://127.0.0.1:" + std::to_string(dribbling.Port()) + "/search"));
        form->webTimeouts = {.connectMs = 1000, .readMs = 1000, .totalMs = 400};
        open();
        form->Edit3->setText(QStringLiteral("abc.def"));
        QElapsedTimer elapsed;
        elapsed.start();
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QVERIFY(elapsed.elapsed() < 1500);
        QCOMPARE(notices->texts(), QStringList{QString::fromUtf8("Zeitüberschreitung beim Lesen.")});
    }

    // Each stopped query must end its socket at once: a user who clicks and presses Escape again
    // and again against a server that never answers is left with no threads or sockets piling up.
    void stoppedQueriesLeaveNeitherThreadsNorSockets() {
        test::SilentServer silent(false);
        qputenv("ORVEX_RANK_QUERY_URL", QByteArray::fromStdString("http://" + silent.host() + "/search"));
        open();
        form->Edit3->setText(QStringLiteral("abc.def"));
        const int threads = test::liveThreads();
        const int descriptors = test::openDescriptors();
        for (int cycle = 0; cycle < 1100; ++cycle) {
            QTest::mouseClick(form->lxButton8, Qt::LeftButton);
            QVERIFY(form->Operations->busy());
            QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
            QVERIFY(!form->Operations->busy());
        }
        const auto pump = [] { QTest::qWait(10); };
        const bool settled = test::waitUntil(
            [&] { return test::liveThreads() <= threads + 2 && test::openDescriptors() <= descriptors + 2; },
            5000, pump);
        std::printf("PageRank, 1100 stopped queries: threads %d -> %d, descriptors %d -> %d\n", threads,
                    test::liveThreads(), descriptors, test::openDescriptors());
        QVERIFY(settled);
        QVERIFY(notices->shown.empty());
    }

    void anHttpErrorReachesTheErrorReportAndKeepsTheRank() {
        server->addReply("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!");
        open();
        form->Edit3->setText(QStringLiteral("abc.def"));
        form->Edit4->setText(QStringLiteral("4"));
        QTest::mouseClick(form->lxButton8, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.size(), std::size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices->shown[0].text, QStringLiteral("HTTP/1.1 404 Not Found."));
        QCOMPARE(form->Edit4->text(), QStringLiteral("4"));
        QVERIFY(form->isVisible());
    }
};

QTEST_MAIN(PageRankWindowTest)
#include "PageRankWindowTest.moc"
