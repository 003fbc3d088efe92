#include "app/Application.h"
#include "app/TForm1.h"
#include "controls/OperationRunner.h"
#include "controls/TSpinEdit.h"
#include "controls/TlxButton.h"
#include "net/TNxIcmpClient.h"
#include "platform/ConnectionState.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakeWinsock.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

using namespace orvex;

namespace {

class FakeConnection : public ConnectionState {
public:
    bool isConnected() override { return true; }
};

// Whether this process can exchange echoes with 127.0.0.1 (raw socket, or a ping group).
bool canPingLoopback() {
    TNxIcmpClient probe;
    probe.Host = "127.0.0.1";
    probe.ReceiveTimeout = 1000;
    try {
        probe.ExchangeEcho();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QStringList items(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

const QString kFailure = QString::fromUtf8("Ping fehlgeschlagen!\nMögliche Ursachen:\na) Ungültiger Host\n"
                                           "b) Keine Internetverbindung?");

} // namespace

class PingWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ScopedFakeWinsock> winsock;
    std::unique_ptr<test::RecordingNotifier> notices;
    std::unique_ptr<test::ScriptedEcho> echo; // made before the window when a test scripts the network
    Windows windows;
    TForm1* form = nullptr;
    std::shared_ptr<test::Gate> gate = std::make_shared<test::Gate>();

    void open(bool scripted) {
        windows = Windows{};
        echo.reset();
        if (scripted) {
            echo = std::make_unique<test::ScriptedEcho>();
            echo->answerEchoes = true;
        }
        windows = createWindows(Form1Services{std::make_shared<FakeConnection>()});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void start() {
        QTest::mouseClick(form->PingButton, Qt::LeftButton);
        QVERIFY(test::operationsIdle(form));
    }

private slots:
    void init() {
        winsock = std::make_unique<test::ScopedFakeWinsock>();
        notices = std::make_unique<test::RecordingNotifier>();
    }

    void cleanup() {
        windows = Windows{};
        gate->open();
        QVERIFY(OperationRunner::waitForWorkers(5000));
        echo.reset();
        notices.reset();
        winsock.reset();
    }

    void threeRepliesFromLoopback() {
        if (!canPingLoopback()) QSKIP("no raw socket and no ping group for this user");
        open(false);
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->SpinEdit1->setText(QStringLiteral("3"));
        start();
        const QStringList lines = items(form->lstReplies);
        QCOMPARE(lines.size(), 4);
        static const QRegularExpression summary(
            QString::fromUtf8("^--- 3/3 beantwortet, 0 % Verlust, Ø (\\d+) ms \\((\\d+)-(\\d+)\\)$"));
        QVERIFY2(summary.match(lines[3]).hasMatch(), qPrintable(lines[3]));
        // The answer's time-to-live (64 on Linux loopback), in either socket mode: the request as
        // the raw socket hears it, sent with 128, is never the answer.
        static const QRegularExpression line(
            QStringLiteral("^72 bytes - icmp_seq=(\\d+) - ttl=64 - time(=[1-9]\\d*|<1) ms$"));
        for (int i = 0; i < 3; ++i) {
            const auto match = line.match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(match.captured(1).toInt(), 3489 + i);
        }
        QVERIFY(notices->shown.empty());
        QCOMPARE(form->PingButton->text(), QStringLiteral("Start"));
        QVERIFY(form->PingButton->isEnabled());
        test::saveScreenshot(form, QStringLiteral("ping-box"));

        // The next run goes on with the numbering.
        form->SpinEdit1->setText(QStringLiteral("1"));
        start();
        QCOMPARE(form->lstReplies->count(), 1);
        QVERIFY2(form->lstReplies->item(0)->text().contains(QStringLiteral("icmp_seq=3492 ")),
                 qPrintable(form->lstReplies->item(0)->text()));
    }

    void emptyHostShowsTheNotice() {
        open(true);
        form->lstReplies->addItem(QStringLiteral("from before"));
        form->SpinEdit1->setFocus();
        start();
        QCOMPARE(notices->shown.size(), size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Information);
        QCOMPARE(notices->shown[0].text,
                 QString::fromUtf8("Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1 \n"
                                   "oder einen Hostnamen:  z.B. www.debian.org"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->edHost));
        QCOMPARE(items(form->lstReplies), QStringList{QStringLiteral("from before")});
        QVERIFY(echo->sent.empty());
    }

    void failureOnTheThirdRequest() {
        open(true);
        echo->failSend = [](int index) { return index == 2 ? 10051 : 0; };
        form->edHost->setText(QStringLiteral("localhost"));
        start();
        QCOMPARE(form->lstReplies->count(), 2);
        QCOMPARE(notices->shown.size(), size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Fehler"));
        QCOMPARE(notices->shown[0].text, kFailure);
        QCOMPARE(echo->sent.size(), size_t(3));
    }

    void unknownHostFails() {
        open(true);
        form->edHost->setText(QStringLiteral("nosuch.example"));
        form->lstReplies->addItem(QStringLiteral("from before"));
        start();
        QCOMPARE(form->lstReplies->count(), 0);
        QCOMPARE(notices->texts(), QStringList{kFailure});
        QCOMPARE(echo->stack->nameQueries, std::vector<std::string>{"nosuch.example"});
    }

    void countThatIsNoNumberReachesTheErrorReport() {
        open(true);
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->lstReplies->addItem(QStringLiteral("from before"));
        form->SpinEdit1->setText(QStringLiteral("1x"));
        start();
        QCOMPARE(notices->shown.size(), size_t(1));
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices->shown[0].text, QString::fromUtf8("'1x' ist kein gültiger Integerwert."));
        QCOMPARE(form->lstReplies->count(), 0);
        QVERIFY(echo->sent.empty());
    }

    void enterInTheHostFieldStartsTheRun() {
        open(true);
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->edHost->setFocus();
        QTest::keyClick(form->edHost, Qt::Key_Return);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->lstReplies->count(), 11); // ten lines and the summary
        QCOMPARE(form->edHost->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form->lstReplies->item(9)->text().left(25), QStringLiteral("72 bytes - icmp_seq=3498 "));
    }

    void ctrlEnterInTheCountRunsWithTheCountInRange() {
        open(true);
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        // Read while the field keeps the focus, the count gets the range that clicking "Start" gives it.
        for (const QString& typed : {QStringLiteral("0"), QString()}) {
            form->SpinEdit1->setFocus();
            form->SpinEdit1->setText(typed);
            QTest::keyClick(form->SpinEdit1, Qt::Key_Return, Qt::ControlModifier);
            QVERIFY(test::operationsIdle(form));
            QCOMPARE(form->SpinEdit1->text(), QStringLiteral("1"));
            QCOMPARE(form->lstReplies->count(), 1);
            QVERIFY(notices->shown.empty());
        }
    }

    // "Start" reads "Stopp" while the run lasts; a click on it ends the run after the request in
    // flight, as Escape does, and the button reads "Start" again.
    void linesArriveOneByOneAndStoppEndsTheRunAfterTheRequestInFlight() {
        open(true);
        gate = std::make_shared<test::Gate>();
        echo->failSend = [held = gate](int index) {
            if (index == 1) held->wait();
            return 0;
        };
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->SpinEdit1->setText(QStringLiteral("5"));
        test::LivenessProbe probe(form->lstReplies);
        QTest::mouseClick(form->PingButton, Qt::LeftButton);
        QTRY_COMPARE(form->lstReplies->count(), 1); // while request 2 is held
        QTRY_VERIFY(probe.ticks >= 5 && probe.paints >= 1);
        QCOMPARE(form->PingButton->text(), QStringLiteral("Stopp"));
        QVERIFY(!form->lxButton1->isEnabled());
        QTest::mouseClick(form->lxButton1, Qt::LeftButton); // another box's: held off, not queued
        QTest::mouseClick(form->PingButton, Qt::LeftButton);
        QVERIFY(form->Operations->busy()); // the request in flight still ends
        gate->open();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->PingButton->text(), QStringLiteral("Start"));
        QVERIFY(form->lxButton1->isEnabled());
        QCOMPARE(form->lstReplies->count(), 3); // two lines and the summary of the two
        QVERIFY(form->lstReplies->item(1)->text().startsWith(QStringLiteral("72 bytes - icmp_seq=3490 ")));
        QVERIFY(form->lstReplies->item(2)->text().startsWith(QStringLiteral("--- 2/2 beantwortet")));
        QTest::qWait(50);
        QCOMPARE(echo->sent.size(), size_t(2));
        QVERIFY(notices->shown.empty());
    }

    void theListKeepsTheNewestLineInView() {
        open(true);
        form->edHost->setText(QStringLiteral("127.0.0.1"));
        form->SpinEdit1->setText(QStringLiteral("30"));
        start();
        QCOMPARE(form->lstReplies->count(), 31); // and the summary
        QListWidget* list = form->lstReplies;
        const auto lastLineShown = [list] {
            const QRect last = list->visualItemRect(list->item(30)); // the summary, wider than the list
            return last.top() >= 0 && last.bottom() <= list->viewport()->rect().bottom();
        };
        QTRY_VERIFY(lastLineShown());
    }

    void spinEditTakesOnlyNumberKeys() {
        open(true);
        TSpinEdit* spin = form->SpinEdit1;
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        spin->selectAll();
        QTest::keyClicks(spin, QStringLiteral("1a2.b"));
        QCOMPARE(spin->text(), QStringLiteral("12"));
        QTest::keyClick(spin, Qt::Key_Return);
        QCOMPARE(spin->text(), QStringLiteral("12"));
        QTest::keyClick(spin, Qt::Key_Backspace);
        // Delete arrives with the text U+007F on X11; it edits, it is no typed character.
        QTest::keyClick(spin, Qt::Key_Home);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QApplication::sendEvent(spin, &del);
        QCOMPARE(spin->text(), QString());
        QTest::keyClicks(spin, QStringLiteral("1"));
        QTest::keyClicks(spin, QStringLiteral("-+"));
        QCOMPARE(spin->text(), QStringLiteral("1-+"));
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->text(), QStringLiteral("2")); // a text that is no number counts as the minimum
        QTest::mouseClick(spin->upButton(), Qt::LeftButton);
        QCOMPARE(spin->value(), 3);
        QTest::mouseClick(spin->downButton(), Qt::LeftButton);
        QTest::mouseClick(spin->downButton(), Qt::LeftButton);
        QTest::mouseClick(spin->downButton(), Qt::LeftButton);
        QCOMPARE(spin->value(), 1);

        // Leaving the field: clamped, empty made 1, no number left alone.
        struct Case {
            const char* typed;
            const char* left;
        } cases[] = {{"5000", "1000"}, {"0", "1"}, {"-7", "1"}, {"", "1"}, {"999", "999"}, {"+", "+"}};
        for (const auto& c : cases) {
            spin->setFocus();
            QTRY_VERIFY(spin->hasFocus());
            spin->setText(QString::fromLatin1(c.typed));
            form->edHost->setFocus();
            QTRY_VERIFY(form->edHost->hasFocus());
            QCOMPARE(spin->text(), QString::fromLatin1(c.left));
        }

        // Pasting is not filtered, and the pasted text survives leaving the field.
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        spin->clear();
        QApplication::clipboard()->setText(QStringLiteral("zehn"));
        spin->paste();
        QCOMPARE(spin->text(), QStringLiteral("zehn"));
        form->PingButton->setFocus();
        QTRY_VERIFY(!spin->hasFocus());
        QCOMPARE(spin->text(), QStringLiteral("zehn"));
        test::saveScreenshot(form, QStringLiteral("ping-box-spin-edit"));
    }
};

QTEST_MAIN(PingWindowTest)
#include "PingWindowTest.moc"
