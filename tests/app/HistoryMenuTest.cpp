// The history window as the main window's menu opens it.
#include "app/Application.h"
#include "app/TForm1.h"
#include "controls/TlxButton.h"
#include "platform/ConnectionState.h"
#include "tcphistory/TForm3.h"
#include "tests/support/FakeWinsock.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/tcphistory/FakeTcpTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace orvex;

namespace {

class FakeConnection : public ConnectionState {
public:
    bool isConnected() override { return true; }
};

} // namespace

// The menu entry of the main window.
class HistoryMenuTest : public QObject {
    Q_OBJECT

private slots:
    void menuEmptiesEditIPAndShowsTheWindowModally() {
        test::ScopedFakeWinsock winsock;
        test::RecordingNotifier notices;
        auto table = std::make_shared<test::FakeTcpTable>();
        Windows windows =
            createWindows(Form1Services{.connection = std::make_shared<FakeConnection>(), .tcpTable = table});
        windows.Form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows.Form1.get()));
        windows.Form1->editIP->setText(QStringLiteral("10.1.2.3"));
        bool wasModal = false;
        windows.Form1->TCPHistory1->trigger(); // the window opens from the event loop
        QTimer::singleShot(0, windows.Form3, [&] {
            wasModal = windows.Form3->isVisible() && windows.Form3->isModal();
            QTest::keyClick(windows.Form3->sgConnHist, Qt::Key_Escape);
        });
        QTRY_VERIFY(wasModal);
        QTRY_VERIFY(!windows.Form3->isVisible());
        QCOMPARE(windows.Form1->editIP->text(), QString());

        // The window polls the table the main window was given.
        windows.Form3->cbShowListeners->click();
        windows.Form3->TimerTimer();
        QTRY_VERIFY(!windows.Form3->polling());
        QVERIFY(table->reads >= 1);
        windows.Form3->sbClear->click();
    }
};

QTEST_MAIN(HistoryMenuTest)
#include "HistoryMenuTest.moc"
