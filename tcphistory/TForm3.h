// The TCP connection history window: shows the history, switches recording on and off, clears it
// and saves it as an .xls, CSV or JSON Lines file; "Mitschnitt in Datei" appends every row to a
// CSV file as it is written. Created once at start-up, shown modally from the main window's
// menu; closing only hides it, and recording goes on while it is hidden. Alt+S or Ctrl+S saves,
// Alt+L clears, Escape closes. The facts of the current row (program, user, bytes, round trip,
// end) show in the details line above the grid and as every cell's tooltip and accessible
// description. A humble view over ConnectionHistory. UI thread only; the polls read and format the
// table on one long-lived worker (SerialWorker), and the UI thread only merges the finished poll.
#pragma once

#include "platform/Threads.h"
#include "tcphistory/ConnectionHistory.h"
#include "tcphistory/HistoryFiles.h"
#include "tcphistory/SaveDialog.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace orvex {

class HistoryGridModel;
class TlxButton;

class TForm3 : public QDialog, private HistoryObserver {
    Q_OBJECT
public:
    // table: the TCP table to poll (the system's when null); clock: date and time texts (the
    // user's locale when null).
    explicit TForm3(QWidget* parent = nullptr, std::shared_ptr<TcpTable> table = nullptr,
                    std::shared_ptr<HistoryClock> clock = nullptr);
    ~TForm3() override;

    ConnectionHistory& history() { return *history_; }

    // Controls, under the names the window declares.
    QGroupBox* stStart = nullptr;
    QCheckBox* cbShowListeners = nullptr;
    QTableView* sgConnHist = nullptr;
    TlxButton* lxButton2 = nullptr; // History speichern
    TlxButton* sbClear = nullptr;   // History löschen
    TlxButton* lxButton1 = nullptr; // Schließen
    QPushButton* Button1 = nullptr; // leeren, never shown
    QTimer* Timer = nullptr;
    TSaveDialog SaveDialog1;
    // Added controls.
    QLabel* lblDetails = nullptr;   // the facts of the current row
    QCheckBox* cbJournal = nullptr; // Mitschnitt in Datei
    TSaveDialog JournalDialog;

    // Handlers.
    void FormCreate();
    void cbShowListenersClick();
    void sbClearClick();
    void Button1Click();
    void lxButton2Click();
    void lxButton1Click();
    void FormKeyPress(char16_t& key);
    void TimerTimer();
    void cbJournalClick();
    // Whether a poll's table read is still under way (tests wait for it to end).
    bool polling() const { return polling_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void pollRead(unsigned poll, const ConnectionPoll& read);
    void showDetails();
    void stopJournal(const QString& message);
    void bindHandlers();
    void placeControls();

    // HistoryObserver
    void historyReset() override;
    void titlesChanged() override;
    void rowsAppended(std::size_t first, std::size_t rowCount) override;
    void factsChanged(const std::vector<std::size_t>& closed) override;
    void timerSwitched(bool on) override;
    void listeningSwitched(bool on) override;
    void startTimeChanged(const std::string& text) override;

    std::shared_ptr<TcpTable> table_;
    std::shared_ptr<HistoryClock> clock_;
    std::unique_ptr<ConnectionHistory> history_;
    HistoryGridModel* grid_ = nullptr;
    std::shared_ptr<ConnectionReader> reader_; // used by the worker's tasks only
    SerialWorker worker_;
    // The worker's way back: the window while it lives, under its mutex, so a poll that ends after
    // the window is gone posts nothing.
    struct Inbox;
    std::shared_ptr<Inbox> inbox_;
    bool polling_ = false;
    HistoryJournal journal_;
};

} // namespace orvex
