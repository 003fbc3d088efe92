#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/TStatusBar.h"
#include "controls/LocaleFormats.h"
#include "controls/OperationRunner.h"
#include "controls/TSpinEdit.h"
#include "controls/TlxButton.h"
#include "ping/PingBox.h"
#include "platform/ConnectionState.h"
#include "tcphistory/TForm3.h"
#include "tests/support/FakeWinsock.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"
#include "web/TForm4.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

using namespace orvex;

namespace {

class FakeConnection : public ConnectionState {
public:
    bool connected = true;
    int asked = 0;
    bool isConnected() override {
        ++asked;
        return connected;
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeConnection> connection;
    std::unique_ptr<test::ScopedFakeWinsock> winsock;
    std::unique_ptr<test::RecordingNotifier> notices;
    Windows windows;
    TForm1* form = nullptr;

    void pressEnter(QWidget* w) {
        QTest::keyClick(w, Qt::Key_Return);
        QVERIFY(test::operationsIdle(form));
    }

private slots:
    void init() {
        connection = std::make_shared<FakeConnection>();
        winsock = std::make_unique<test::ScopedFakeWinsock>();
        notices = std::make_unique<test::RecordingNotifier>();
        windows = createWindows(Form1Services{connection});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanup() {
        windows = Windows{};
        notices.reset();
        winsock.reset();
    }

    void programStartPaintsTheMainWindowBeforeBuildingTheOthers() {
        const auto main = createMainWindowFirst(Form1Services{connection});
        QVERIFY(!main->Form2 && !main->Form3 && !main->Form4 && !main->Form5);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        QTRY_VERIFY(main->Form2 && main->Form3 && main->Form4 && main->Form5);
        for (QWidget* window :
             std::initializer_list<QWidget*>{main->Form2, main->Form3, main->Form4, main->Form5})
            QCOMPARE(window->parentWidget(), main.get());
    }

    void layoutTitlesAndGeometries() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Orvex 1.7"));
        for (QWidget* window :
             std::initializer_list<QWidget*>{form, form->Form2, form->Form3, form->Form4, form->Form5})
            QVERIFY(window->windowIcon().availableSizes().contains(QSize(48, 48)));
        QCOMPARE(form->client->size(), QSize(392, 448));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        struct Box {
            QGroupBox* box;
            const char* caption;
            QRect geometry;
            const char* family;
        };
        const Box boxes[] = {
            {form->GroupBox1, "IP to Hostname", {8, 5, 185, 73}, "Tahoma"},
            {form->GroupBox2, "Hostname to IP", {8, 85, 185, 73}, "Arial"},
            {form->GroupBox3, "Mac-Adresse", {8, 165, 185, 73}, "Tahoma"},
            {form->GroupBox4, "Ping", {8, 245, 377, 180}, "Tahoma"},
            {form->GroupBox5, "IP Adresse hinter Router/Proxy", {200, 5, 185, 73}, "Tahoma"},
            {form->GroupBox6, "Lokale IP-Adresse", {200, 85, 185, 73}, "Tahoma"},
            {form->GroupBox7, "Gateway", {200, 165, 185, 73}, "Tahoma"},
        };
        for (const auto& b : boxes) {
            QCOMPARE(b.box->title(), QString::fromUtf8(b.caption));
            QCOMPARE(b.box->geometry(), b.geometry);
            QCOMPARE(b.box->font().family(), QString::fromLatin1(b.family));
            QCOMPARE(b.box->font().pixelSize(), 12);
            QCOMPARE(b.box->contentsRect(), QRect(QPoint(1, 7), b.geometry.size() - QSize(2, 8)));
        }
        for (QWidget* input : std::initializer_list<QWidget*>{form->editIP, form->editHost, form->iphinter,
                                                              form->Edit10, form->Edit1, form->cobGateway}) {
            QCOMPARE(input->pos(), QPoint(9, 21));
            QCOMPARE(input->width(), 168);
        }
        for (TlxButton* ok : {form->lxButton1, form->lxButton2, form->lxButton3, form->lxButton4,
                              form->lxButton5, form->lxButton6}) {
            QCOMPARE(ok->geometry(), QRect(112, 45, 65, 20));
            QCOMPARE(ok->text(), QStringLiteral("OK"));
            QCOMPARE(ok->font().family(), QStringLiteral("Arial"));
            QCOMPARE(ok->font().pixelSize(), 11);
            QCOMPARE(ok->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(!(ok->focusPolicy() & Qt::TabFocus));
        }
        QCOMPARE(form->edHost->geometry(), QRect(9, 21, 168, 22));
        QCOMPARE(form->SpinEdit1->geometry(), QRect(182, 21, 50, 23));
        QCOMPARE(form->SpinEdit1->value(), 10);
        QCOMPARE(form->SpinEdit1->minimum(), 1);
        QCOMPARE(form->SpinEdit1->maximum(), 1000);
        QCOMPARE(form->lstReplies->geometry(), QRect(9, 49, 359, 101));
        QCOMPARE(form->lstReplies->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(form->PingButton->geometry(), QRect(304, 152, 65, 20));
        QCOMPARE(form->PingButton->text(), QStringLiteral("Start"));
        QCOMPARE(form->PingButton->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(form->PingButton->font().pixelSize(), 12);
        QCOMPARE(form->StatusBar1->geometry(), QRect(0, 429, 392, 19));
        QCOMPARE(form->StatusBar1->panel(0)->width() + 2, 50);
        QCOMPARE(form->StatusBar1->panel(1)->width() + 2, 70);
        for (QComboBox* combo : {form->iphinter, form->Edit1, form->cobGateway}) {
            QVERIFY(combo->isEditable());
            combo->addItem(QStringLiteral("10.0.0.1"));
            QCOMPARE(combo->view()->sizeHintForRow(0), 14);
            combo->clear();
        }
        form->lstReplies->addItem(QStringLiteral("60 bytes - icmp_seq=1 - ttl=64 - time<1 ms"));
        QCOMPARE(form->lstReplies->sizeHintForRow(0), 14);
        form->lstReplies->clear();
        // Qt's style-sheet style, which a style sheet on any ancestor brings, slows the start.
        for (const QWidget* w : form->client->findChildren<QWidget*>())
            QVERIFY2(!w->style()->inherits("QStyleSheetStyle"), qPrintable(w->objectName()));
        QVERIFY(!test::saveScreenshot(form, QStringLiteral("main-window")).isEmpty());
    }

    void focusStartsInEditIpAndTabVisitsTheInputsInOrder() {
        QTRY_COMPARE(QApplication::focusWidget(), form->editIP);
        const QList<QWidget*> expected = {form->editHost,  form->iphinter,   form->edHost,
                                          form->SpinEdit1, form->lstReplies, form->Edit10,
                                          form->Edit1,     form->cobGateway, form->editIP};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            // An editable combo box gives the focus to its line edit.
            QVERIFY2(focused == next || focused->parentWidget() == next, qPrintable(next->objectName()));
        }
    }

    void menuCaptions() {
        QStringList top;
        for (QAction* a : form->MainMenu1->actions())
            top << a->text();
        QCOMPARE(top, (QStringList{"&Beenden", "Tools", "&Info"}));
        QStringList tools;
        for (QAction* a : form->MainMenu1->actions().at(1)->menu()->actions())
            tools << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(tools, (QStringList{"&TCPHistory", "-", QString::fromUtf8("Google Pagerank™")}));
        QStringList info;
        for (QAction* a : form->MainMenu1->actions().at(2)->menu()->actions())
            info << a->text();
        QCOMPARE(info, (QStringList{"Markennamen und Warenzeichen", QString::fromUtf8("Über Orvex 1.7")}));
    }

    void statusBarShowsConnectionAndClock() {
        QCOMPARE(form->StatusBar1->panelText(0), QStringLiteral(" Online"));
        connection->connected = false;
        QTRY_COMPARE(form->StatusBar1->panelText(0), QStringLiteral(" Offline"));
        connection->connected = true;
        QTRY_COMPARE(form->StatusBar1->panelText(0), QStringLiteral(" Online"));
        QTRY_VERIFY(!form->StatusBar1->panelText(1).isEmpty());
        QCOMPARE(form->Timer1->interval(), 16);
        QCOMPARE(form->Timer2->interval(), 16);
    }

    void offlineAtCreationShowsTodaysDateUntilTheFirstTick() {
        auto offline = std::make_shared<FakeConnection>();
        offline->connected = false;
        TForm1 other(Form1Services{offline});
        QCOMPARE(other.StatusBar1->panelText(0), QStringLiteral(" Offline"));
        QCOMPARE(other.StatusBar1->panelText(1),
                 QLocale::system().toString(QDate::currentDate(), shortDateFormat()));
    }

    void clockKeepsTickingWhileAModalWindowIsOpen() {
        const int asked = connection->asked;
        QString seenDuringModal;
        QTimer::singleShot(1300, form->Form2, [&] {
            seenDuringModal = form->StatusBar1->panelText(1);
            form->Form2->reject();
        });
        const QString before = form->StatusBar1->panelText(1);
        form->Info1->trigger();
        QVERIFY(connection->asked > asked + 10);
        QVERIFY(!seenDuringModal.isEmpty());
        QVERIFY(seenDuringModal != before);
    }

    void tcpHistoryEmptiesEditIpEvenWhenClosedAtOnce() {
        form->editIP->setText(QStringLiteral("10.0.0.1"));
        QTimer::singleShot(0, form->Form3, [&] { form->Form3->reject(); });
        form->TCPHistory1->trigger();
        QCOMPARE(form->editIP->text(), QString());
    }

    void emptyInputNoticesMoveTheFocus() {
        form->editHost->setFocus();
        form->lxButton1->click();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.size(), size_t(1));
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Information"));
        QCOMPARE(notices->shown[0].text,
                 QStringLiteral("Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1"));
        QTRY_COMPARE(QApplication::focusWidget(), form->editIP);

        form->editHost->setText(QStringLiteral("https:///"));
        form->editIP->setFocus();
        form->lxButton2->click();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.back().text,
                 QStringLiteral("Bitte erst einen Hostnamen/Webadresse eingeben: z.B. www.debian.org"));
        QCOMPARE(form->editHost->text(), QString());
        QTRY_COMPARE(QApplication::focusWidget(), form->editHost);
    }

    void enterIsSwallowedAndRunsTheBoxOperation() {
        (*winsock)->names["host.example"] = {"192.0.2.44"};
        form->editHost->setText(QStringLiteral("host.example"));
        form->editHost->setFocus();
        pressEnter(form->editHost);
        QCOMPARE(form->editHost->text(), QStringLiteral("192.0.2.44"));
        QCOMPARE(form->edHost->text(), QStringLiteral("192.0.2.44"));

        // Enter in an editable combo neither inserts an entry nor changes the text.
        form->iphinter->setEditText(QStringLiteral("abc"));
        pressEnter(form->iphinter->lineEdit());
        QCOMPARE(form->iphinter->count(), 0);
        QVERIFY(notices->shown.empty());
    }

    void ctrlEnterRunsTheBoxOfTheField() {
        (*winsock)->names["host.example"] = {"192.0.2.44"};
        form->editHost->setText(QStringLiteral("host.example"));
        QTest::keyClick(form->editHost, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->editHost->text(), QStringLiteral("192.0.2.44"));
        // The count and the reply list belong to the Ping box: with no host, its notice shows.
        for (QWidget* field : std::initializer_list<QWidget*>{form->SpinEdit1, form->lstReplies}) {
            form->edHost->clear();
            notices->clear();
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
            QCOMPARE(notices->texts(), QStringList{QString::fromUtf8(kPingInputNotice)});
        }
        QCOMPARE(form->SpinEdit1->text(), QStringLiteral("10"));
    }

    void lookupsHandTheirResultsOn() {
        (*winsock)->addresses["192.0.2.1"] = "router.example";
        form->editIP->setText(QStringLiteral("192.0.2.1"));
        QElapsedTimer elapsed;
        elapsed.start();
        test::LivenessProbe probe(form->editIP);
        form->lxButton1->click();
        QVERIFY(test::operationsIdle(form));
        QVERIFY(elapsed.elapsed() >= 500);
        QVERIFY(probe.ticks >= 3 && probe.paints >= 1); // the window rests, alive
        QCOMPARE(form->editIP->text(), QStringLiteral("router.example"));
        QCOMPARE(form->edHost->text(), QStringLiteral("router.example"));

        form->editHost->setText(QStringLiteral("LocalHost"));
        form->lxButton2->click();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->editHost->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form->edHost->text(), QStringLiteral("127.0.0.1"));

        form->editHost->setText(QStringLiteral("nosuch.example"));
        form->lxButton2->click();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.back().text,
                 QString::fromUtf8("Der Hostname \" nosuch.example \"  konnte nicht aufgelöst werden."));
        QCOMPARE(form->edHost->text(), QStringLiteral("127.0.0.1"));
    }

    void resolverErrorsReachTheApplicationErrorReport() {
        (*winsock)->reverseError = 11002;
        form->editIP->setText(QStringLiteral("192.0.2.3"));
        pressEnter(form->editIP);
        QCOMPARE(notices->shown.size(), size_t(1));
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        // The text ends with ")." already, so no second full stop is added.
        QCOMPARE(notices->shown[0].text,
                 QStringLiteral(
                     "Socket Error #11002\r\nNon-authoritative response (try again or check DNS setup)."));
        QCOMPARE(form->editIP->text(), QStringLiteral("192.0.2.3"));

        (*winsock)->reverseError = 11004;
        form->lxButton1->click();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(notices->shown.back().kind, test::ShownBox::Kind::Information);
    }
};

// A resolver whose reverse lookups wait until the test opens the gate.
class BlockingWinsock : public test::FakeWinsock {
public:
    std::shared_ptr<test::Gate> gate = std::make_shared<test::Gate>();
    const hostent* gethostbyaddr(const void* address, int length, int family) override {
        auto held = gate;
        held->wait();
        return FakeWinsock::gethostbyaddr(address, length, family);
    }
};

class BlockedLookupTest : public QObject {
    Q_OBJECT

    BlockingWinsock* resolver = nullptr;
    std::unique_ptr<TWinsockIntfBase> previous;
    std::unique_ptr<test::RecordingNotifier> notices;
    Windows windows;
    TForm1* form = nullptr;

private slots:
    void init() {
        auto blocking = std::make_unique<BlockingWinsock>();
        resolver = blocking.get();
        resolver->addresses["192.0.2.1"] = "router.example";
        previous = installSocketApi(std::move(blocking));
        notices = std::make_unique<test::RecordingNotifier>();
        windows = createWindows(Form1Services{std::make_shared<FakeConnection>()});
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->editIP->setText(QStringLiteral("192.0.2.1"));
        form->edHost->setText(QStringLiteral("before"));
        QTest::mouseClick(form->lxButton1, Qt::LeftButton);
        QVERIFY(form->Operations->busy());
    }

    void cleanup() {
        windows = Windows{};
        resolver->gate->open();
        QVERIFY(OperationRunner::waitForWorkers(5000));
        notices.reset();
        installSocketApi(std::move(previous));
    }

    void theWindowStaysAliveAndHoldsOffInput() {
        test::LivenessProbe probe(form->editIP);
        QTRY_VERIFY(probe.ticks >= 5 && probe.paints >= 1);
        form->editHost->setText(QStringLiteral("host.example"));
        QTest::mouseClick(form->lxButton2, Qt::LeftButton);
        QTest::keyClick(form->editIP, Qt::Key_X);
        QTest::keyClick(form->editHost, Qt::Key_Return);
        QCOMPARE(form->editIP->text(), QStringLiteral("192.0.2.1"));
        resolver->gate->open();
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->editIP->text(), QStringLiteral("router.example"));
        QTest::qWait(50);
        QVERIFY(resolver->forwardQueries.empty()); // the held-off click and Enter started nothing
        QCOMPARE(form->editHost->text(), QStringLiteral("host.example"));
    }

    void escapeLetsTheLookupGoAndChangesNothing() {
        QTest::keyClick(form->editIP, Qt::Key_Escape);
        QVERIFY(!form->Operations->busy());
        resolver->gate->open();
        QVERIFY(OperationRunner::waitForWorkers(5000));
        QTest::qWait(50);
        QCOMPARE(form->editIP->text(), QStringLiteral("192.0.2.1"));
        QCOMPARE(form->edHost->text(), QStringLiteral("before"));
        QVERIFY(notices->shown.empty());
    }

    void endingTheProgramDoesNotWaitForTheResolver() {
        QElapsedTimer elapsed;
        elapsed.start();
        form->Beenden1->trigger();
        QVERIFY(!form->isVisible());
        QVERIFY(!form->Operations->busy());
        windows = Windows{}; // the window goes while the lookup is still held
        qInfo("closed after %lld ms", elapsed.elapsed());
        // cleanup() opens the gate: the lookup returns into a window that is gone.
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        MainWindowTest window;
        status |= QTest::qExec(&window, argc, argv);
    }
    {
        BlockedLookupTest blocked;
        status |= QTest::qExec(&blocked, argc, argv);
    }
    return status;
}
#include "MainWindowTest.moc"
