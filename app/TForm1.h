// The main window: seven boxes, the menu, the status bar with connection state and clock.
// A humble view: each handler reads its controls, calls its module and writes the answer back.
// UI thread only; handlers that wait on the network or the system run their module's work through
// Operations on a worker thread.
#pragma once

#include "controls/EditCombo.h"
#include "web/PublicAddressClient.h"
#include "web/WebFetch.h"

#include <QMainWindow>
#include <QPointer>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QTimer;
class QMenuBar;
class QAction;

namespace orvex {

class ConnectionState;
class MachineIdentity;
class NetworkAdapters;
struct ComboUpdate;
class TNxIcmpClient;
struct TReplyStatus;
class ProxySetting;
class TNxHTTP;
class TcpTable;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TFormSize;
class OperationRunner;
class BusyButtons;
class TlxButton;
class TSpinEdit;
class TStatusBar;

// The platform services the main window asks. Tests pass fakes; the program passes the Linux ones.
struct Form1Services {
    std::shared_ptr<ConnectionState> connection;
    std::shared_ptr<NetworkAdapters> adapters; // own addresses, hardware addresses, gateways
    std::shared_ptr<ProxySetting> proxy;       // the configured proxy, shown after a public-address query
    std::shared_ptr<TcpTable> tcpTable;        // polled by the history window; the system's when null
    std::shared_ptr<MachineIdentity> identity; // user and computer names of the stored placement
};

Form1Services systemForm1Services();

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(Form1Services services, QWidget* parent = nullptr);
    ~TForm1() override;

    // The secondary windows, created after this one; the menu shows them modally.
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;

    // Controls, under the names the window declares.
    QWidget* client = nullptr;      // the 392 x 448 client area
    QGroupBox* GroupBox1 = nullptr; // IP to Hostname
    QGroupBox* GroupBox2 = nullptr; // Hostname to IP
    QGroupBox* GroupBox3 = nullptr; // Mac-Adresse
    QGroupBox* GroupBox4 = nullptr; // Ping
    QGroupBox* GroupBox5 = nullptr; // IP Adresse hinter Router/Proxy
    QGroupBox* GroupBox6 = nullptr; // Lokale IP-Adresse
    QGroupBox* GroupBox7 = nullptr; // Gateway
    QLineEdit* editIP = nullptr;
    QLineEdit* editHost = nullptr;
    EditCombo* iphinter = nullptr;
    QLineEdit* edHost = nullptr;
    TSpinEdit* SpinEdit1 = nullptr;
    QListWidget* lstReplies = nullptr;
    QLineEdit* Edit10 = nullptr;
    EditCombo* Edit1 = nullptr;
    EditCombo* cobGateway = nullptr;
    TlxButton* lxButton1 = nullptr;  // OK, IP to Hostname
    TlxButton* lxButton2 = nullptr;  // OK, Hostname to IP
    TlxButton* lxButton3 = nullptr;  // OK, Lokale IP-Adresse
    TlxButton* lxButton4 = nullptr;  // OK, Mac-Adresse
    TlxButton* lxButton5 = nullptr;  // OK, Gateway
    TlxButton* lxButton6 = nullptr;  // OK, IP Adresse hinter Router/Proxy
    TlxButton* PingButton = nullptr; // Start
    TStatusBar* StatusBar1 = nullptr;
    // The public-address box's client, kept from one query to the next (web/PublicAddressClient.h).
    PublicAddressClients NxHTTP1;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* Beenden1 = nullptr;
    QAction* TCPHistory1 = nullptr;
    QAction* GooglePageranking1 = nullptr;
    QAction* Markennamen1 = nullptr;
    QAction* Info1 = nullptr;
    TFormSize* FormSize1 = nullptr; // keeps the window's position between runs

    // The ping box's echo client, for the window's lifetime; its sequence numbers run on across
    // runs. Shared with the run that uses it, which may outlive the window when the program ends.
    std::shared_ptr<TNxIcmpClient> ICMP;

    // Runs the boxes' lookups, ping runs, adapter queries and the public-address query off the UI
    // thread, one at a time; the PageRank window uses it too.
    OperationRunner* Operations = nullptr;

    // How long the public-address query may wait for its connection, for each read and in all.
    WebTimeouts webTimeouts;

    // Handlers, named after the control and its event (lxButton6Click: lxButton6 clicked).
    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();
    void lxButton1Click();
    void lxButton2Click();
    void editIPKeyPress(char16_t& key);
    void editHostKeyPress(char16_t& key);
    void lxButton3Click();
    void Edit1Change();
    void lxButton4Click();
    void lxButton5Click();
    void Button11Click();
    void cobGatewayKeyPress(char16_t& key);
    void ComboBox1KeyPress(char16_t& key);
    void cobGatewayChange();
    void FillGatewayList(bool openList);
    void lxButton6Click();
    void Edit10KeyPress(char16_t& key);
    void Button10Click();
    void PingButtonClick();
    void edHostKeyPress(char16_t& key);
    void ICMPReply(TNxIcmpClient& ASender, const TReplyStatus& AReplyStatus);
    void Beenden1Click();
    void TCPHistory1Click();
    void GooglePageranking1Click();
    void Markennamen1Click();
    void Info1Click();

    // Makes the next clock tick format the time again (benchmarks measure the formatting tick).
    void resetClockForBenchmark() { shownSecond_ = -1; }

    // Connection-state panel texts.
    static const QString kOnline;
    static const QString kOffline;
    // Shown when a menu entry is chosen while an operation runs.
    static const QString kBusyMenuNotice;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildBoxes();
    void buildMenu();
    void buildStatusBar();
    void bindHandlers();
    void aimClock(); // the clock's next tick, just after the next whole second
    void tickClock();
    bool onScreen() const;
    void showModal(QWidget* window);
    void applyComboUpdate(QComboBox* combo, const ComboUpdate& update);
    void startComboUpdate(QComboBox* combo, std::function<ComboUpdate(NetworkAdapters&)> query);
    std::shared_ptr<NetworkAdapters> adapters();

    Form1Services services_;
    BusyButtons* busyButtons_ = nullptr; // the boxes' buttons while an operation runs
    qint64 shownSecond_ = -1;
    bool clockGlyphsAsked_ = false;
    bool clockAsleep_ = false;       // off the screen, the clock waits for the window to come back
    QPointer<QWindow> clockWatched_; // the window whose exposure wakes the clock
};

} // namespace orvex
