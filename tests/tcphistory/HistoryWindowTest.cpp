#include "controls/TlxButton.h"
#include "tcphistory/HistoryGridModel.h"
#include "tcphistory/SaveDialog.h"
#include "tcphistory/TForm3.h"
#include "tcphistory/XlsExport.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/Screenshot.h"
#include "tests/support/WaitForOperations.h"
#include "tests/tcphistory/FakeTcpTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvex;

namespace {

// Answers the save dialog at once: with a file name, or as if cancelled.
class AnsweringSaveDialog : public SaveDialogRunner {
public:
    AnsweringSaveDialog() : previous_(setSaveDialogRunner(this)) {}
    ~AnsweringSaveDialog() override { setSaveDialogRunner(previous_); }
    bool run(QWidget*, TSaveDialog& dialog) override {
        ++runs;
        filter = dialog.Filter;
        defaultExt = dialog.DefaultExt;
        if (answer.isEmpty()) return false;
        dialog.FileName = answer;
        if (filterIndex != 0) dialog.FilterIndex = filterIndex;
        return true;
    }
    QString answer;
    int filterIndex = 0;
    QString filter, defaultExt;
    int runs = 0;

private:
    SaveDialogRunner* previous_;
};

QStringList gridRow(QTableView* grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        cells << grid->model()->index(row, c).data().toString();
    return cells;
}

QStringList gridTitles(QTableView* grid) {
    QStringList cells;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        cells << grid->model()->headerData(c, Qt::Horizontal).toString();
    return cells;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Python's csv module reads the file and prints each row as repr() of its list of fields; the
// json module each line's object the same way (keys sorted).
QString pythonReads(const QString& script, const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    python.waitForFinished();
    return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError());
}
const QString kCsvRows = QStringLiteral(
    "import csv, sys\nfor r in csv.reader(open(sys.argv[1], newline='', encoding='utf-8')): print(r)");
const QString kJsonRows = QStringLiteral(
    "import json, sys\nfor l in open(sys.argv[1], encoding='utf-8'): print(sorted(json.loads(l).items()))");

// What Python prints for a list of texts.
QString pythonList(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << QLatin1Char('\'') + f + QLatin1Char('\'');
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

TcpRow withFacts(TcpRow row) {
    row.Uid = 0; // root: a user every machine knows
    row.HasInfo = true;
    row.BytesSent = 567;
    row.BytesReceived = 890;
    row.RttUs = 52;
    return row;
}

constexpr TcpIpv6Address kLongIpv6 = {0x20, 0x01, 0x0d, 0xb8, 0x85, 0xa3, 0x12, 0x34,
                                      0x56, 0x78, 0x8a, 0x2e, 0x03, 0x70, 0x73, 0x34};

} // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<test::FakeTcpTable> table;
    std::unique_ptr<test::RecordingNotifier> notices;
    std::unique_ptr<TForm3> form;

private slots:
    void init() {
        table = std::make_shared<test::FakeTcpTable>();
        notices = std::make_unique<test::RecordingNotifier>();
        form = std::make_unique<TForm3>(nullptr, table);
    }

    void cleanup() {
        form.reset();
        notices.reset();
    }

    void layoutTitlesAndGeometries() {
        QCOMPARE(form->windowTitle(), QStringLiteral(" TCPHistory "));
        QCOMPARE(form->size(), QSize(702, 484));
        QCOMPARE(form->stStart->geometry(), QRect(0, 0, 702, 484));
        QVERIFY(form->stStart->title().startsWith(QStringLiteral("TCP connection seit : ")));
        QCOMPARE(form->cbShowListeners->text(), QStringLiteral("Show Listening Ports"));
        QCOMPARE(form->cbShowListeners->geometry(), QRect(8, 23, 143, 20));
        QVERIFY(!form->cbShowListeners->isChecked());
        QCOMPARE(form->sgConnHist->geometry(), QRect(7, 47, 688, 386));
        const int widths[] = {84, 67, 161, 76, 114, 74, 105};
        for (int c = 0; c < 7; ++c)
            QCOMPARE(form->sgConnHist->columnWidth(c), widths[c]);
        QCOMPARE(form->sgConnHist->verticalHeader()->defaultSectionSize(), 16);
        QCOMPARE(form->sgConnHist->horizontalHeader()->height(), 16);
        QVERIFY(form->sgConnHist->verticalHeader()->isHidden());
        QCOMPARE(form->sgConnHist->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form->sgConnHist->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(form->sgConnHist->font().fixedPitch());
        QCOMPARE(gridTitles(form->sgConnHist),
                 (QStringList{"Date", "Time", "Local-IP", "Local Port", "Remote IP", "Rem.Port", "Status"}));
        QCOMPARE(form->sgConnHist->model()->rowCount(), 1); // the empty last row

        struct Button {
            TlxButton* button;
            const char* caption;
            QRect geometry;
            TColor lightAndGradient, body;
        };
        const Button buttons[] = {
            {form->lxButton2, "History speichern", {356, 444, 120, 20}, clWhite, clWindow},
            {form->sbClear, "History löschen", {484, 444, 120, 20}, 15790320, clWhite},
            {form->lxButton1, "Schließen", {612, 444, 75, 20}, clWhite, clWhite}};
        for (const auto& b : buttons) {
            QCOMPARE(b.button->text(), QString::fromUtf8(b.caption));
            QCOMPARE(b.button->geometry(), b.geometry);
            QCOMPARE(b.button->font().family(), QStringLiteral("Verdana"));
            QCOMPARE(b.button->font().pointSize(), 8);
            QCOMPARE(b.button->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(b.button->ColorBorderTopOuter(), b.lightAndGradient);
            QCOMPARE(b.button->ColorGradient(), b.lightAndGradient);
            QCOMPARE(b.button->Color(), b.body);
            QCOMPARE(b.button->BorderStyle(), lxbbsBoth);
            QCOMPARE(b.button->EdgeStyle(), lxbegNorthWest);
            QCOMPARE(b.button->EdgeCut(), 8);
            QCOMPARE(b.button->ColorBorderTopInner(), cl3DLight);
            QCOMPARE(b.button->ColorBottomInner(), clBtnShadow);
            QCOMPARE(b.button->ColorBorderBottomOuter(), clBlack);
            QCOMPARE(b.button->ColorGradientMouseEnter(), TColor(14155735));
            QCOMPARE(b.button->ColorMouseEnter(), TColor(15456986));
            QVERIFY(!b.button->UseGradient() && !b.button->UseMouseOverColor());
        }
        QCOMPARE(form->Button1->text(), QStringLiteral("leeren"));
        QCOMPARE(form->Button1->geometry(), QRect(232, 440, 75, 25));
        QCOMPARE(form->Timer->interval(), 500);
        QVERIFY(!form->Timer->isActive());
        // The seven columns as .xls first, then every fact as CSV or JSON Lines.
        QCOMPARE(qtNameFilters(form->SaveDialog1.Filter),
                 (QStringList{"Excel (*.xls)", "CSV, alle Angaben (*.csv)",
                              "JSON Lines, alle Angaben (*.jsonl)"}));
        for (QWidget* w :
             std::initializer_list<QWidget*>{form->stStart, form->cbShowListeners, form->sgConnHist,
                                             form->lxButton2, form->sbClear, form->lxButton1, form->Button1})
            QCOMPARE(form->findChild<QWidget*>(w->objectName()), w);

        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(!form->Button1->isVisible());
        // The fixed title row is drawn in the grid's font.
        QCOMPARE(QFontInfo(form->sgConnHist->horizontalHeader()->font()).family(),
                 QFontInfo(form->sgConnHist->font()).family());
        QVERIFY(QFontInfo(form->sgConnHist->font()).fixedPitch());
        // The grid grows with the window; the buttons keep to the bottom right corner.
        form->resize(802, 584);
        QCOMPARE(form->sgConnHist->geometry(), QRect(7, 47, 788, 486));
        QCOMPARE(form->lxButton1->geometry(), QRect(712, 544, 75, 20));
        QCOMPARE(form->lxButton2->geometry(), QRect(456, 544, 120, 20));
    }

    void checkBoxSwitchesRecording() {
        table->rows = {test::listening(135), test::established(50000, 2, 80)};
        form->cbShowListeners->click();
        QVERIFY(form->Timer->isActive());
        QCOMPARE(form->sgConnHist->model()->rowCount(), 2);
        QCOMPARE(gridRow(form->sgConnHist, 0).mid(2), (QStringList{"LISTENING PORTS", "  ON", "", "", ""}));
        QTRY_COMPARE_WITH_TIMEOUT(form->sgConnHist->model()->rowCount(), 4, 3000);
        QCOMPARE(gridRow(form->sgConnHist, 1).mid(2),
                 (QStringList{"  0.  0.  0.  0", "LOCSVC", "...", "...", "listening"}));
        QCOMPARE(gridRow(form->sgConnHist, 2).mid(2),
                 (QStringList{" 10.  0.  0.  1", "50000", " 10.  0.  0.  2", "HTTP", "established"}));
        QVERIFY(form->Timer->isActive());

        form->cbShowListeners->click();
        QVERIFY(!form->Timer->isActive());
        QCOMPARE(form->sgConnHist->model()->rowCount(), 4);
    }

    void clearWhileRecordingStopsAndUnticks() {
        form->cbShowListeners->click();
        form->sbClear->click();
        QVERIFY(!form->Timer->isActive());
        QVERIFY(!form->cbShowListeners->isChecked());
        QCOMPARE(form->sgConnHist->model()->rowCount(), 1);
        QCOMPARE(gridRow(form->sgConnHist, 0), QStringList(7, QString()));
        QCOMPARE(gridTitles(form->sgConnHist), (QStringList{"date", "time", "local-IP", "local port /service",
                                                            "remote IP", "rem. port/service", "status"}));
        form->cbShowListeners->click();
        form->Button1->click(); // the hidden "leeren" does the same
        QVERIFY(!form->cbShowListeners->isChecked());
        QCOMPARE(form->sgConnHist->model()->rowCount(), 1);
    }

    void escapeClosesEvenFromTheGrid() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->sgConnHist->setFocus();
        QTest::keyClick(form->sgConnHist, Qt::Key_A);
        QVERIFY(form->isVisible());
        QTest::keyClick(form->sgConnHist, Qt::Key_Escape);
        QVERIFY(!form->isVisible());

        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->lxButton1->click();
        QVERIFY(!form->isVisible());
    }

    void recordingGoesOnWhileHidden() {
        form->show();
        form->cbShowListeners->click();
        form->close();
        QVERIFY(!form->isVisible());
        table->rows = {test::established(40000, 9, 443)};
        QTRY_COMPARE_WITH_TIMEOUT(form->sgConnHist->model()->rowCount(), 3, 3000);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->cbShowListeners->isChecked());
        QCOMPARE(gridRow(form->sgConnHist, 1).at(3), QStringLiteral("40000"));
    }

    void aSlowTableReadKeepsTheWindowAliveAndAClearOutdatesIt() {
        // A table whose read waits until the test opens the gate.
        struct SlowTable : test::FakeTcpTable {
            std::shared_ptr<test::Gate> gate = std::make_shared<test::Gate>();
            bool read(std::vector<TcpRow>& out, TcpStateMask states) override {
                auto held = gate;
                held->wait();
                return FakeTcpTable::read(out, states);
            }
        };
        auto slow = std::make_shared<SlowTable>();
        slow->rows = {test::listening(135)};
        form = std::make_unique<TForm3>(nullptr, slow);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->cbShowListeners->click();
        for (bool clear : {false, true}) {
            slow->gate = std::make_shared<test::Gate>();
            test::LivenessProbe probe(form->sgConnHist);
            form->TimerTimer();
            QVERIFY(form->polling());
            QTRY_VERIFY(probe.ticks >= 5 && probe.paints >= 1);
            if (clear) form->sbClear->click(); // the read under way no longer counts
            slow->gate->open();
            QTRY_VERIFY(!form->polling());
            QCOMPARE(form->sgConnHist->model()->rowCount(), clear ? 1 : 3);
            QCOMPARE(form->Timer->isActive(), !clear);
        }
    }

    void savesTheWholeTable() {
        QTemporaryDir dir;
        AnsweringSaveDialog dialog;
        form->cbShowListeners->click();
        table->rows = {test::listening(20)};
        form->TimerTimer();
        QTRY_VERIFY(!form->polling());
        const QString path = dir.filePath(QStringLiteral("history.xls"));
        dialog.answer = path;
        form->lxButton2->click();
        QCOMPARE(dialog.runs, 1);
        QCOMPARE(dialog.defaultExt, QStringLiteral(".xls"));
        const std::string expected = xlsBytes(form->history().rows());
        QCOMPARE(fileBytes(path), QByteArray(expected.data(), qsizetype(expected.size())));
        QVERIFY(notices->shown.empty());

        // Cancelled: nothing written.
        QFile::remove(path);
        dialog.answer.clear();
        form->lxButton2->click();
        QVERIFY(!QFile::exists(path));
        QVERIFY(notices->shown.empty());
    }

    void keysSaveAndClearFromAnywhereInTheWindow() {
        QTemporaryDir dir;
        AnsweringSaveDialog dialog;
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->cbShowListeners->click();
        table->rows = {test::listening(20)};
        form->TimerTimer();
        QTRY_VERIFY(!form->polling());
        form->sgConnHist->setFocus();
        QTest::keyClick(form->sgConnHist, Qt::Key_S); // plain letters are no shortcuts
        QTest::keyClick(form->sgConnHist, Qt::Key_L);
        QCOMPARE(dialog.runs, 0);
        QCOMPARE(form->sgConnHist->model()->rowCount(), 3);

        struct Save {
            QWidget* focus;
            QKeyCombination keys;
        };
        for (const Save& save : {Save{form->sgConnHist, Qt::ALT | Qt::Key_S},
                                 Save{form->cbShowListeners, Qt::CTRL | Qt::Key_S}}) {
            save.focus->setFocus();
            dialog.answer = dir.filePath(QString::number(dialog.runs) + QStringLiteral(".xls"));
            QTest::keyClick(save.focus, save.keys.key(), save.keys.keyboardModifiers());
            QVERIFY(QFile::exists(dialog.answer));
        }
        QCOMPARE(dialog.runs, 2);
        QVERIFY(form->cbShowListeners->isChecked());

        QTest::keyClick(form->cbShowListeners, Qt::Key_L, Qt::AltModifier);
        QVERIFY(!form->cbShowListeners->isChecked());
        QCOMPARE(form->sgConnHist->model()->rowCount(), 1);
        QVERIFY(form->isVisible());
        QVERIFY(notices->shown.empty());
    }

    void unwritableFileGoesToTheErrorReport() {
        QTemporaryDir dir;
        AnsweringSaveDialog dialog;
        const QString path = dir.filePath(QStringLiteral("missing/h.xls"));
        dialog.answer = path;
        const std::size_t rows = form->history().rows().size();
        form->lxButton2->click();
        QCOMPARE(notices->shown.size(), std::size_t{1});
        QCOMPARE(notices->shown[0].kind, test::ShownBox::Kind::Error);
        QCOMPARE(notices->shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(
            notices->shown[0].text,
            QStringLiteral("Datei \"%1\" kann nicht erstellt werden. No such file or directory.").arg(path));
        QCOMPARE(form->history().rows().size(), rows);
    }

    // The facts of the current row in the details line (empty until a row is current, so the
    // window opens as before), in every cell's tooltip and accessible description; the journal
    // gets each row as it is written and once more when its connection is gone, and Python's csv
    // module reads back what the table shows.
    void detailsLineTooltipAndJournal() {
        QTemporaryDir dir;
        AnsweringSaveDialog dialog;
        const QString journal = dir.filePath(QStringLiteral("journal.csv"));
        dialog.answer = journal;
        QVERIFY(form->lblDetails->text().isEmpty());
        QVERIFY(form->lblDetails->toolTip().isEmpty());
        QVERIFY(!form->cbJournal->isChecked());
        form->cbJournal->click();
        QVERIFY(form->cbJournal->isChecked());
        QCOMPARE(QFile::permissions(journal) & 0x7777, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadUser | QFileDevice::WriteUser);

        table->rows = {withFacts(test::established(50000, 2, 80)), test::established(50001, 3, 443)};
        form->cbShowListeners->click();
        QTRY_COMPARE_WITH_TIMEOUT(form->sgConnHist->model()->rowCount(), 4, 3000);
        const QString facts = QStringLiteral("Programm: nicht lesbar · Benutzer: root · gesendet: 567 Bytes "
                                             "· empfangen: 890 Bytes · RTT: 0.052 ms");
        form->sgConnHist->setCurrentIndex(form->sgConnHist->model()->index(1, 4));
        QCOMPARE(form->lblDetails->toolTip(), facts);
        QCOMPARE(form->lblDetails->accessibleDescription(), facts);
        QVERIFY(
            form->lblDetails->text().startsWith(QStringLiteral("Programm: nicht lesbar · Benutzer: root")));
        QCOMPARE(form->sgConnHist->model()->index(1, 0).data(Qt::AccessibleDescriptionRole).toString(),
                 facts);
        QCOMPARE(form->sgConnHist->model()->index(2, 0).data(Qt::ToolTipRole), QVariant()); // no facts known
        form->sgConnHist->setCurrentIndex(form->sgConnHist->model()->index(0, 0));          // the marker row
        QVERIFY(form->lblDetails->text().isEmpty());

        table->rows.clear(); // both connections end
        form->sgConnHist->setCurrentIndex(form->sgConnHist->model()->index(1, 4));
        QTRY_VERIFY_WITH_TIMEOUT(form->lblDetails->toolTip().contains(QStringLiteral("geschlossen: ")), 3000);
        form->cbJournal->click(); // stops the journal
        QVERIFY(!form->cbJournal->isChecked());

        QStringList expected{
            QStringLiteral("['event', 'date', 'time', 'local_ip', 'local_port', 'remote_ip', "
                           "'remote_port', 'status', 'seen', 'program', 'pid', 'processes', "
                           "'user', 'uid', 'bytes_sent', 'bytes_received', 'rtt_ms', 'closed']")};
        const QStringList lines = pythonReads(kCsvRows, journal).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (int r = 0; r < 3; ++r)
            QVERIFY2(lines.value(1 + r).startsWith(
                         pythonList(QStringList{QStringLiteral("seen")} + gridRow(form->sgConnHist, r))
                             .chopped(1)),
                     qPrintable(lines.value(1 + r)));
        QVERIFY2(lines.size() == 6,
                 qPrintable(lines.join(QLatin1Char(10)))); // header, marker, two rows seen, two rows closed
        QVERIFY(lines[4].startsWith(QStringLiteral("['closed', ")));
        QVERIFY(lines[4].contains(QStringLiteral("'root', '0', '567', '890', '0.052', '20")));
    }

    // Beside .xls, CSV and JSON Lines with every fact: by the typed extension or the chosen filter.
    void exportsCsvAndJsonLines() {
        QTemporaryDir dir;
        AnsweringSaveDialog dialog;
        table->rows = {withFacts(test::established(50000, 2, 80))};
        form->cbShowListeners->click();
        QTRY_COMPARE_WITH_TIMEOUT(form->sgConnHist->model()->rowCount(), 3, 3000);
        dialog.answer = dir.filePath(QStringLiteral("h.csv"));
        form->lxButton2->click();
        const QStringList csv =
            pythonReads(kCsvRows, dialog.answer).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), 3);
        QVERIFY(csv[2].startsWith(pythonList(gridRow(form->sgConnHist, 1)).chopped(1)));

        dialog.answer = dir.filePath(QStringLiteral("h"));
        dialog.filterIndex = 3; // JSON Lines chosen, no extension typed
        form->lxButton2->click();
        const QStringList json =
            pythonReads(kJsonRows, dialog.answer).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(json.size(), 2);
        QVERIFY2(json[1].contains(
                     QStringLiteral("('bytes_received', 890), ('bytes_sent', 567), ('closed', None)")),
                 qPrintable(json[1]));
        QVERIFY(json[1].contains(QStringLiteral("('remote_port', 'HTTP'), ('rtt_ms', 0.052)")));
        QVERIFY(json[0].contains(QStringLiteral("('local_ip', 'LISTENING PORTS')")));
    }

    // A journal onto a full disk stops with a message naming the file and the system's reason;
    // recording goes on.
    void journalOntoAFullDiskStops() {
        if (::geteuid() != 0) QSKIP("needs root to mount a small tmpfs");
        QTemporaryDir dir;
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.path().toUtf8().constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("no tmpfs to be had");
        {
            QFile filler(dir.filePath(QStringLiteral("filler")));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        AnsweringSaveDialog dialog;
        dialog.answer = dir.filePath(QStringLiteral("journal.csv"));
        form->cbJournal->click();
        table->rows = {test::established(50000, 2, 80)};
        form->cbShowListeners->click();
        QTRY_COMPARE_WITH_TIMEOUT(notices->shown.size(), std::size_t{1}, 3000);
        QCOMPARE(notices->shown[0].text,
                 QStringLiteral("Der Mitschnitt in \"%1\" wurde beendet: No space left on device.")
                     .arg(dialog.answer));
        QVERIFY(!form->cbJournal->isChecked());
        table->rows.push_back(test::established(50001, 2, 80));
        QTRY_COMPARE_WITH_TIMEOUT(form->sgConnHist->model()->rowCount(), 4, 3000);
        ::umount2(dir.path().toUtf8().constData(), MNT_DETACH);
    }

    // The window as the program makes it (the system's table, so closings watched): a loopback
    // connection that opens and closes between two polls gets its row, closed, with its counters.
    void connectionBetweenTwoPollsShowsInTheWindow() {
        // The system's table handed in, as the main window does.
        form = std::make_unique<TForm3>(nullptr, std::shared_ptr<TcpTable>(makeSystemTcpTable()));
        form->cbShowListeners->click();
        form->TimerTimer(); // a poll queued behind the start of the watch
        QTRY_VERIFY_WITH_TIMEOUT(!form->polling(), 3000);
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof where;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&where), length) == 0 &&
                ::listen(listener, 1) == 0);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&where), &length);
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(::connect(client, reinterpret_cast<sockaddr*>(&where), length) == 0);
        const int server = ::accept(listener, nullptr, nullptr);
        QCOMPARE(::send(client, "0123456789", 10, 0), 10);
        char bytes[10];
        QCOMPARE(::recv(server, bytes, sizeof bytes, MSG_WAITALL), 10);
        ::close(client);
        ::close(server);
        ::close(listener);
        const QString port = QString::fromStdString(FormatPort(ntohs(where.sin_port)));
        const auto closedRow = [&] {
            const QAbstractItemModel* grid = form->sgConnHist->model();
            for (int r = 0; r < grid->rowCount(); ++r)
                if (grid->index(r, 5).data().toString() == port && grid->index(r, 6).data() == "established")
                    return grid->index(r, 0).data(Qt::ToolTipRole).toString();
            return QString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!closedRow().isEmpty(), 3000);
        QVERIFY2(closedRow().contains(QStringLiteral("gesendet: 10 Bytes")) &&
                     closedRow().contains(QStringLiteral("geschlossen: ")),
                 qPrintable(closedRow()));
    }

    void screenshotWithRows() {
        table->rows = {test::listening(135),
                       test::listening(80, tcpRowAddress(127, 0, 0, 1)),
                       withFacts(test::established(50000, 2, 443)),
                       test::established(50001, 3, 8080),
                       test::established(20, 4, 51234),
                       test::ipv6Row(TcpEstablished, kLongIpv6, 50002, test::kIpv6Loopback, 80)};
        form->cbShowListeners->click();
        form->TimerTimer();
        QTRY_VERIFY(!form->polling());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->sgConnHist->setCurrentIndex(form->sgConnHist->model()->index(3, 0)); // the row with facts
        QVERIFY(!form->lblDetails->text().isEmpty());
        QVERIFY(!test::saveScreenshot(form.get(), QStringLiteral("TForm3")).isEmpty());

        // The long IPv6 address is cut off in its cell and shows whole as a tooltip; a cell whose
        // text fits shows none.
        const QAbstractItemModel* grid = form->sgConnHist->model();
        const auto tipAt = [&](int row, int column) {
            const QRect cell = form->sgConnHist->visualRect(grid->index(row, column));
            QWidget* viewport = form->sgConnHist->viewport();
            QHelpEvent help(QEvent::ToolTip, cell.center(), viewport->mapToGlobal(cell.center()));
            QApplication::sendEvent(viewport, &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        int ipv6 = -1;
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->index(r, 2).data().toString().startsWith(QStringLiteral("2001:"))) ipv6 = r;
        QVERIFY(ipv6 >= 0);
        QCOMPARE(tipAt(ipv6, 3), QString());
        QCOMPARE(tipAt(ipv6 - 1, 2), QString());
        QCOMPARE(tipAt(ipv6, 2), QStringLiteral("2001:db8:85a3:1234:5678:8a2e:370:7334"));
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
