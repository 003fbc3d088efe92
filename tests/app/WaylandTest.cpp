// The windows on a Wayland compositor (weston, headless, started by tests/app/wayland-run.sh): a
// maximise request on the fixed-size windows and a combo list without a keyboard must not cost the
// program its connection (Qt ends a client that breaks the protocol).
#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/TStatusBar.h"
#include "controls/TlxButton.h"
#include "tcphistory/TForm3.h"
#include "tests/netinfo/FakeNetworkAdapters.h"
#include "tests/support/WaitForOperations.h"
#include "web/TForm4.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWindow>

using namespace orvex;

class WaylandTest : public QObject {
    Q_OBJECT

    Windows windows;
    TForm1* form = nullptr;
    std::shared_ptr<test::FakeNetworkAdapters> adapters;

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        adapters = std::make_shared<test::FakeNetworkAdapters>();
        adapters->numbers = {0};
        adapters->adapters[0] = {.address = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
        adapters->listGateways({{.index = 2, .name = "eth0", .gateways = {"192.0.2.1"}}});
        Form1Services services;
        services.adapters = adapters;
        windows = createWindows(services);
        form = windows.Form1.get();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void cleanupTestCase() { windows = Windows{}; }

    // A text that comes between the window's creation and its first paint (a clock tick before
    // the expose) is drawn by the label: a Wayland window has no image to check the glyphs
    // against until it is painted. Painted once, the next text is drawn from the glyphs.
    void statusTextBeforeTheFirstPaint() {
        QWidget window;
        window.resize(200, 20);
        TStatusBar bar({60}, &window);
        bar.resize(window.size());
        TStatusPanel* panel = bar.panel(1);
        panel->setQuickCharacters(QStringLiteral("0123456789:"));
        window.winId(); // the native window and its backing store, not painted yet
        bar.setPanelText(1, QStringLiteral("12:34:56"));
        QVERIFY(!panel->drawsQuickly());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int second = 57;
        QTRY_VERIFY(
            (bar.setPanelText(1, QStringLiteral("12:34:%1").arg(second++ % 60)), panel->drawsQuickly()));
    }

    // Every window keeps its size whatever the compositor is asked; the connection survives (a
    // protocol error would end this process before the last check).
    void maximiseRequestsLeaveTheFixedWindowsAsTheyAre() {
        for (QWidget* window :
             std::initializer_list<QWidget*>{form, windows.Form2, windows.Form4, windows.Form5}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QSize size = window->size();
            QCOMPARE(window->minimumSize(), window->maximumSize());
            QVERIFY2(!(window->windowHandle()->flags() & Qt::WindowMaximizeButtonHint),
                     qPrintable(window->objectName()));
            // What the title bar's maximise button asks for, then what a program's own call does.
            for (bool titleBar : {true, false}) {
                if (titleBar)
                    window->windowHandle()->setWindowStates(Qt::WindowMaximized);
                else
                    window->showMaximized();
                QTest::qWait(300);
                QVERIFY2(!window->isMaximized(), qPrintable(window->objectName()));
                QTRY_COMPARE(window->size(), size);
                QCOMPARE(window->minimumSize(), window->maximumSize());
            }
            if (window != form) window->hide();
        }
        QTest::qWait(200);
        QVERIFY(form->isVisible());
    }

    // The compositor offers no keyboard here: the lists that would drop open stay closed, and the
    // boxes fill them all the same.
    void combosFillWithoutAKeyboard() {
        form->activateWindow();
        form->lxButton4->click(); // Mac-Adresse: opens its list when it has entries
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->iphinter->currentText(), QStringLiteral("00-1A-2B-3C-4D-5E"));
        form->lxButton5->click(); // Gateway: opens its list
        QVERIFY(test::operationsIdle(form));
        QCOMPARE(form->cobGateway->currentText(), QStringLiteral("192.0.2.1"));
        QTest::qWait(200);
        QVERIFY(form->isVisible());
    }
};

QTEST_MAIN(WaylandTest)
#include "WaylandTest.moc"
