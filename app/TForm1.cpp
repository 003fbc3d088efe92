#include "app/TForm1.h"

#include "app/FirstPaint.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "app/TStatusBar.h"
#include "controls/BusyButtons.h"
#include "controls/CrispFrame.h"
#include "controls/EditCombo.h"
#include "controls/ErrorReport.h"
#include "controls/FixedWindow.h"
#include "controls/Fonts.h"
#include "controls/FramedGroupBox.h"
#include "controls/KeyPress.h"
#include "controls/LocaleFormats.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/TFormSize.h"
#include "controls/TSpinEdit.h"
#include "controls/TlxButton.h"
#include "controls/UiThread.h"
#include "net/TNxIcmpClient.h"
#include "ping/PingBox.h"
#include "platform/ConnectionState.h"
#include "platform/MachineIdentity.h"
#include "platform/NetworkAdapters.h"
#include "platform/ProxySetting.h"
#include "platform/TcpTable.h"
#include "tcphistory/TForm3.h"
#include "trace/RouteWindow.h"
#include "web/PublicAddressClient.h"
#include "web/TForm4.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QWindow>
#include <limits>
#include <utility>

namespace orvex {

const QString TForm1::kOnline = QStringLiteral(" Online");
const QString TForm1::kOffline = QStringLiteral(" Offline");
const QString TForm1::kBusyMenuNotice =
    QString::fromUtf8("Es läuft noch eine Abfrage. Bitte warten oder sie mit \"Stopp\" oder Esc beenden.");

namespace {

constexpr int kClientWidth = 392;
constexpr int kClientHeight = 448;
constexpr int kStatusBarHeight = 19;
// The clock's ticks fall this long after each whole second (the timer's resolution), so that a
// tick finds the new second there.
constexpr int kClockTickAfterSecondMs = 1;

QGroupBox* makeBox(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                   const QFont& font) {
    auto* box = new FramedGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    box->setFont(font);
    return box;
}

template <class Control, class... Arguments>
Control* place(QWidget* parent, const char* name, QRect geometry, Arguments&&... arguments) {
    auto* control = new Control(parent, std::forward<Arguments>(arguments)...);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    takeParentFont(control); // the box's font, whatever font the desktop has
    return control;
}

// List entries of one fixed height, whatever the style would give each row.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

EditCombo* makeCombo(QWidget* parent, const char* name) {
    auto* combo = place<EditCombo>(parent, name, QRect(9, 21, 168, 22), [](QComboBox& box) {
        box.setItemDelegate(new FixedHeightDelegate(14, &box));
        box.view()->setFont(box.font()); // the list drops down in a window of its own
    });
    combo->setInsertPolicy(QComboBox::NoInsert);
    takeParentFont(combo->lineEdit()); // a desktop's font for line edits would win otherwise
    return combo;
}

TlxButton* makeOkButton(QWidget* parent, const char* name) {
    auto* button = new TlxButton(QStringLiteral("OK"), QRect(112, 45, 65, 20), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(pixelFont(QStringLiteral("Arial"), 11));
    return button;
}

// Names and descriptions for assistive technology, where the caption alone does not say enough
// (a field is otherwise named after its box, so the ping host and the count were both "Ping").
void describeControls(TForm1& form) {
    struct Described {
        QWidget* control;
        QString name;
        QString description;
    };
    const Described described[] = {
        {form.editIP, QStringLiteral("IP to Hostname"),
         QStringLiteral("IPv4- oder IPv6-Adresse, deren Hostname gesucht wird")},
        {form.editHost, QStringLiteral("Hostname to IP"),
         QStringLiteral("Hostname oder Webadresse, deren IP-Adresse gesucht wird")},
        {form.iphinter, QStringLiteral("Mac-Adresse"),
         QStringLiteral("Hardware-Adressen der Netzwerkkarten")},
        {form.edHost, QStringLiteral("Ping-Ziel"),
         QStringLiteral("Host oder IP-Adresse, die angepingt wird")},
        {form.SpinEdit1, QStringLiteral("Anzahl"), QStringLiteral("Anzahl der Echo-Anfragen, 1 bis 1000")},
        {form.lstReplies, QStringLiteral("Ping-Antworten"), QStringLiteral("Eine Zeile je Antwort")},
        {form.Edit10, QStringLiteral("IP Adresse hinter Router/Proxy"),
         QStringLiteral("Die Adresse, unter der dieser Rechner im Internet erscheint")},
        {form.Edit1, QStringLiteral("Lokale IP-Adresse"),
         QStringLiteral("IPv4- und IPv6-Adressen dieses Rechners")},
        {form.cobGateway, QStringLiteral("Gateway"),
         QStringLiteral("Standard-Gateways, eines je Netzwerkkarte")},
        {form.StatusBar1, QStringLiteral("Statusleiste"), QString()},
        {form.StatusBar1->panel(0), QStringLiteral("Verbindung"),
         QStringLiteral("Ob eine Netzwerkverbindung besteht")},
        {form.StatusBar1->panel(1), QStringLiteral("Uhrzeit"), QString()},
        {form.StatusBar1->panel(2), QStringLiteral("Proxy"),
         QStringLiteral("Der HTTP-Proxy der Sitzung, nach der Abfrage der Adresse hinter Router/Proxy")},
    };
    for (const Described& d : described) {
        d.control->setAccessibleName(d.name);
        d.control->setAccessibleDescription(d.description);
    }
    // The OK buttons share their caption; the description says which box each one runs.
    for (TlxButton* ok : {form.lxButton1, form.lxButton2, form.lxButton3, form.lxButton4, form.lxButton5,
                          form.lxButton6, form.PingButton}) {
        if (const auto* box = qobject_cast<const QGroupBox*>(ok->parentWidget()))
            ok->setAccessibleDescription(box->title());
    }
}

} // namespace

Form1Services systemForm1Services() {
    Form1Services services;
    services.connection = makeSystemConnectionState();
    services.adapters = makeSystemNetworkAdapters();
    services.proxy = makeSystemProxySetting();
    services.tcpTable = makeSystemTcpTable();
    services.identity = makeSystemMachineIdentity();
    return services;
}

TForm1::TForm1(Form1Services services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));

    // The position only, per user and machine, in the per-user store; restored once the window is
    // built (end of this constructor), saved when it is destroyed.
    FormSize1 = new TFormSize(this, FormSizeServices{services_.identity, nullptr});
    FormSize1->setObjectName(QStringLiteral("FormSize1"));
    FormSize1->setLocation(plRegistry);
    FormSize1->setSaveKey(QStringLiteral("Orvex"));
    FormSize1->setSaveUser(true);
    FormSize1->setSaveMachine(true);
    FormSize1->setSavePosition(true);
    FormSize1->setSaveSize(false);
    FormSize1->setMagnet(false);
    FormSize1->setMagnetDistance(32);
    FormSize1->setDragAlways(false);

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setAutoFillBackground(true);
    setFixedFace(client, Qt::white);
    setCentralWidget(client);

    Operations = new OperationRunner(this);
    buildBoxes();
    ICMP = std::make_shared<TNxIcmpClient>();
    ICMP->ReceiveTimeout = kPingReceiveTimeoutMs;
    ICMP->OnReply = [this](TNxIcmpClient& sender, const TReplyStatus& status) { ICMPReply(sender, status); };
    buildMenu();
    buildStatusBar();
    bindHandlers();
    describeControls(*this);

    // Both timers fire only when what they show can change: the clock at each whole second, the
    // connection state when the connection's watcher reports a change (its first tick comes then).
    // An idle window sleeps in between.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer);
    QObject::connect(Timer1, &QTimer::timeout, this, [this] {
        // Off the screen (minimised, on another desktop, hidden) the clock sleeps: nobody sees it.
        // It is set again when the window comes back, before that is painted (eventFilter).
        if (!onScreen()) {
            clockAsleep_ = true;
            return;
        }
        tickClock();
    });
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setSingleShot(true);
    connectGuarded(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    if (services_.connection)
        services_.connection->onChange([this] { postToUi(this, [this] { Timer2->start(0); }); });

    // Read while the window is off the screen, the clock tells the time all the same.
    StatusBar1->panel(1)->setUpdater([this] {
        if (clockAsleep_) runGuarded(this, [this] { Timer1Timer(); });
    });

    FormCreate();
    // The first tick comes right after the window's first paint, which it does not delay; a window
    // that is not painted (started minimised) gets it when it comes on the screen.
    aimClock();
    afterFirstPaint(this, [this] {
        Timer1->start(0);
        // The drop-down lists, not seen in the first frame.
        for (EditCombo* combo : {iphinter, Edit1, cobGateway})
            combo->finishDropDown();
    });

    adjustSize();
    fixWindowSize(this, size());
    FormSize1->Loaded();
}

TForm1::~TForm1() {
    // The watcher calls nothing of this window from now on.
    if (services_.connection) services_.connection->onChange({});
    // A running job gets nothing of this window any more; its worker ends on its own.
    Operations->shutdown();
}

void TForm1::buildBoxes() {
    const QFont tahoma12 = pixelFont(QStringLiteral("Tahoma"), 12);
    // Tab order is the creation order of the boxes.
    GroupBox1 =
        makeBox(client, "GroupBox1", QStringLiteral("IP to Hostname"), QRect(8, 5, 185, 73), tahoma12);
    editIP = place<QLineEdit>(GroupBox1, "editIP", QRect(9, 21, 168, 22));
    lxButton1 = makeOkButton(GroupBox1, "lxButton1");

    GroupBox2 = makeBox(client, "GroupBox2", QStringLiteral("Hostname to IP"), QRect(8, 85, 185, 73),
                        pixelFont(QStringLiteral("Arial"), 12));
    editHost = place<QLineEdit>(GroupBox2, "editHost", QRect(9, 21, 168, 22));
    lxButton2 = makeOkButton(GroupBox2, "lxButton2");

    GroupBox3 = makeBox(client, "GroupBox3", QStringLiteral("Mac-Adresse"), QRect(8, 165, 185, 73), tahoma12);
    iphinter = makeCombo(GroupBox3, "iphinter");
    lxButton4 = makeOkButton(GroupBox3, "lxButton4");

    GroupBox4 = makeBox(client, "GroupBox4", QStringLiteral("Ping"), QRect(8, 245, 377, 180), tahoma12);
    edHost = place<QLineEdit>(GroupBox4, "edHost", QRect(9, 21, 168, 22));
    SpinEdit1 = place<TSpinEdit>(GroupBox4, "SpinEdit1", QRect(182, 21, 50, 23));
    SpinEdit1->setRange(1, 1000);
    SpinEdit1->setValue(10);
    lstReplies = place<QListWidget>(GroupBox4, "lstReplies", QRect(9, 49, 359, 101));
    lstReplies->setFont(pixelFont(QStringLiteral("Courier New"), 11));
    lstReplies->setUniformItemSizes(true);
    lstReplies->setItemDelegate(new FixedHeightDelegate(14, lstReplies));
    keepFrameCrisp(lstReplies);
    // The newest line stays in view, also when a long line brings the horizontal scroll bar.
    connect(lstReplies->verticalScrollBar(), &QScrollBar::rangeChanged, lstReplies,
            [this](int, int maximum) { lstReplies->verticalScrollBar()->setValue(maximum); });
    PingButton = new TlxButton(QStringLiteral("Start"), QRect(304, 152, 65, 20), GroupBox4);
    PingButton->setObjectName(QStringLiteral("PingButton"));
    PingButton->setFont(tahoma12);

    GroupBox5 = makeBox(client, "GroupBox5", QStringLiteral("IP Adresse hinter Router/Proxy"),
                        QRect(200, 5, 185, 73), tahoma12);
    Edit10 = place<QLineEdit>(GroupBox5, "Edit10", QRect(9, 21, 168, 22));
    Edit10->setMaxLength(std::numeric_limits<int>::max()); // the whole reply, however long
    lxButton6 = makeOkButton(GroupBox5, "lxButton6");

    GroupBox6 =
        makeBox(client, "GroupBox6", QStringLiteral("Lokale IP-Adresse"), QRect(200, 85, 185, 73), tahoma12);
    Edit1 = makeCombo(GroupBox6, "Edit1");
    lxButton3 = makeOkButton(GroupBox6, "lxButton3");

    GroupBox7 = makeBox(client, "GroupBox7", QStringLiteral("Gateway"), QRect(200, 165, 185, 73), tahoma12);
    cobGateway = makeCombo(GroupBox7, "cobGateway");
    lxButton5 = makeOkButton(GroupBox7, "lxButton5");

    // Tab visits only the input controls, box by box.
    QWidget* order[] = {editIP, editHost, iphinter, edHost, SpinEdit1, lstReplies, Edit10, Edit1, cobGateway};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TForm1::buildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Beenden1 = MainMenu1->addAction(QStringLiteral("&Beenden"));
    Beenden1->setObjectName(QStringLiteral("Beenden1"));
    QMenu* tools = MainMenu1->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    TCPHistory1 = tools->addAction(QStringLiteral("&TCPHistory"));
    TCPHistory1->setObjectName(QStringLiteral("TCPHistory1"));
    tools->addSeparator();
    GooglePageranking1 = tools->addAction(QStringLiteral("Google Pagerank™"));
    GooglePageranking1->setObjectName(QStringLiteral("GooglePageranking1"));
    tools->addSeparator();
    QAction* routeAndPorts = tools->addAction(QStringLiteral("&Route und Ports …"));
    routeAndPorts->setObjectName(QStringLiteral("RouteAndPorts1"));
    // The route window is made on first use and kept; it runs its own operations, so it opens
    // while the main window works too.
    connect(routeAndPorts, &QAction::triggered, this, [this] {
        runGuarded(this, [this] {
            auto* window = findChild<RouteWindow*>(QString(), Qt::FindDirectChildrenOnly);
            if (window == nullptr) window = new RouteWindow(this);
            window->openFor(edHost->text());
        });
    });
    QMenu* info = MainMenu1->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("Info2"));
    Markennamen1 = info->addAction(QStringLiteral("Markennamen und Warenzeichen"));
    Markennamen1->setObjectName(QStringLiteral("Markennamen1"));
    Info1 = info->addAction(QStringLiteral("Über Orvex 1.7"));
    Info1->setObjectName(QStringLiteral("Info1"));
}

void TForm1::buildStatusBar() {
    StatusBar1 = new TStatusBar({50, 70}, client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    StatusBar1->setFont(font());
}

void TForm1::bindHandlers() {
    // While an operation runs, the button of its box reads "Stopp" and stops it, and the other
    // buttons are disabled. A click that reaches a button meanwhile (from an assistive tool, say)
    // starts nothing, as the held-off mouse and keys do.
    busyButtons_ = new BusyButtons(Operations, this);
    auto onClick = [this](TlxButton* button, void (TForm1::*handler)()) {
        busyButtons_->add(button, [this, handler] { runGuarded(this, [&] { (this->*handler)(); }); });
    };
    onClick(lxButton1, &TForm1::lxButton1Click);
    onClick(lxButton2, &TForm1::lxButton2Click);
    onClick(lxButton3, &TForm1::lxButton3Click);
    onClick(lxButton4, &TForm1::lxButton4Click);
    onClick(lxButton5, &TForm1::lxButton5Click);
    onClick(lxButton6, &TForm1::lxButton6Click);
    onClick(PingButton, &TForm1::PingButtonClick);

    // Enter runs the operation of the box named by button (the gateway box for the three combos).
    auto onKey = [this](QWidget* field, void (TForm1::*handler)(char16_t&), TlxButton* button) {
        bindKeyPress(field, [this, handler, button](char16_t& key) {
            busyButtons_->startFrom(button, [&] { (this->*handler)(key); });
        });
    };
    onKey(editIP, &TForm1::editIPKeyPress, lxButton1);
    onKey(editHost, &TForm1::editHostKeyPress, lxButton2);
    onKey(Edit1, &TForm1::cobGatewayKeyPress, lxButton5);
    onKey(cobGateway, &TForm1::cobGatewayKeyPress, lxButton5);
    onKey(iphinter, &TForm1::ComboBox1KeyPress, lxButton5);
    onKey(Edit10, &TForm1::Edit10KeyPress, lxButton6);
    onKey(edHost, &TForm1::edHostKeyPress, PingButton);

    // Ctrl+Enter in any field runs its box as the box's button does, so every box can be run from
    // the keyboard (plain Enter keeps the bindings above: in the MAC and local-address combos it
    // runs the gateway query).
    auto onControlEnter = [](QWidget* field, TlxButton* button) {
        bindControlEnter(field, [button] { button->click(); });
    };
    onControlEnter(editIP, lxButton1);
    onControlEnter(editHost, lxButton2);
    onControlEnter(iphinter, lxButton4);
    onControlEnter(edHost, PingButton);
    // The count is read while its field keeps the focus, so the range it gets on losing the focus
    // (as when "Start" is clicked) is applied first.
    bindControlEnter(SpinEdit1, [this] {
        SpinEdit1->applyRange();
        PingButton->click();
    });
    onControlEnter(lstReplies, PingButton);
    onControlEnter(Edit10, lxButton6);
    onControlEnter(Edit1, lxButton3);
    onControlEnter(cobGateway, lxButton5);

    // Typing changes the text; picking an entry may leave it as it was but still hands it on.
    for (auto signal : {&QComboBox::editTextChanged, &QComboBox::textActivated}) {
        connectGuarded(Edit1, signal, this, &TForm1::Edit1Change);
        connectGuarded(cobGateway, signal, this, &TForm1::cobGatewayChange);
    }

    // A menu command runs from the event loop, after the menu (or the assistive tool that chose
    // it) has been answered: one that opens a window would otherwise keep an AT-SPI press waiting
    // until the window closes. While an operation runs, the menu ends the program; its other
    // entries say why they do nothing.
    auto onMenu = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, action, handler] {
            QMetaObject::invokeMethod(
                this,
                [this, action, handler] {
                    if (action != Beenden1 && Operations->busy()) {
                        notifier().information(this, kBusyMenuNotice);
                        return;
                    }
                    runGuarded(this, [&] { (this->*handler)(); });
                },
                Qt::QueuedConnection);
        });
    };
    onMenu(Beenden1, &TForm1::Beenden1Click);
    onMenu(TCPHistory1, &TForm1::TCPHistory1Click);
    onMenu(GooglePageranking1, &TForm1::GooglePageranking1Click);
    onMenu(Markennamen1, &TForm1::Markennamen1Click);
    onMenu(Info1, &TForm1::Info1Click);
}

void TForm1::FormCreate() {
    if (services_.connection && services_.connection->isConnected()) {
        StatusBar1->setPanelText(0, kOnline);
    } else {
        StatusBar1->setPanelText(0, kOffline);
        StatusBar1->setPanelText(1, QLocale::system().toString(QDate::currentDate(), shortDateFormat()));
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (windowHandle() != clockWatched_) {
        clockWatched_ = windowHandle();
        clockWatched_->installEventFilter(this);
    }
    // Restoring from the taskbar sends a spontaneous show; the focus stays where the user left it.
    if (!event->spontaneous()) FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The program ends at once: a running operation is let go, not waited for.
    Operations->shutdown();
    QMainWindow::closeEvent(event);
}

void TForm1::FormShow() {
    editIP->setFocus(Qt::OtherFocusReason);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the window's own handler, which paints what has become visible.
    if (watched == clockWatched_ && event->type() == QEvent::Expose && clockAsleep_ && onScreen()) {
        clockAsleep_ = false;
        tickClock();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::onScreen() const {
    const QWindow* handle = windowHandle();
    return handle != nullptr && handle->isExposed();
}

void TForm1::tickClock() {
    aimClock(); // first, so that the clock runs on whatever the tick meets
    runGuarded(this, [this] { Timer1Timer(); });
}

void TForm1::Timer1Timer() {
    // Formatting is skipped while the second has not changed: the panel shows whole seconds.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second == shownSecond_) return;
    shownSecond_ = second;
    static const QString format = longTimeFormat();
    static const QLocale locale = QLocale::system();
    if (!clockGlyphsAsked_) {
        // The clock's texts are drawn from glyphs shaped once: its digits, separators and any
        // morning and afternoon marks.
        QString characters = QStringLiteral("0123456789");
        for (const QTime& time : {QTime(0, 0, 0), QTime(12, 0, 0)})
            characters += locale.toString(time, format);
        StatusBar1->panel(1)->setQuickCharacters(characters);
        clockGlyphsAsked_ = true;
    }
    StatusBar1->setPanelText(1, locale.toString(QTime::currentTime(), format));
}

void TForm1::aimClock() {
    // Aimed afresh from the wall clock at every tick: a tick that comes late (after a suspend) or
    // finds the clock set to another time only moves the next one, and a tick that comes a moment
    // early (the wall clock runs a little apart from the timer's) is followed by one at the second.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Timer1->start(int(1000 - now % 1000) + kClockTickAfterSecondMs);
}

void TForm1::Timer2Timer() {
    const bool connected = services_.connection && services_.connection->isConnected();
    StatusBar1->setPanelText(0, connected ? kOnline : kOffline);
}

void TForm1::editIPKeyPress(char16_t& key) {
    if (takeEnter(key)) lxButton1Click();
}

void TForm1::editHostKeyPress(char16_t& key) {
    if (takeEnter(key)) lxButton2Click();
}

void TForm1::cobGatewayKeyPress(char16_t& key) {
    if (takeEnter(key)) Button11Click();
}

void TForm1::ComboBox1KeyPress(char16_t& key) {
    if (takeEnter(key)) Button11Click();
}

void TForm1::Edit10KeyPress(char16_t& key) {
    if (takeEnter(key)) lxButton6Click();
}

void TForm1::edHostKeyPress(char16_t& key) {
    if (takeEnter(key)) PingButtonClick();
}

void TForm1::showModal(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) dialog->exec();
}

void TForm1::Beenden1Click() {
    close();
}

void TForm1::TCPHistory1Click() {
    editIP->clear();
    showModal(Form3);
}

void TForm1::GooglePageranking1Click() {
    showModal(Form4);
}
void TForm1::Markennamen1Click() {
    showModal(Form5);
}
void TForm1::Info1Click() {
    showModal(Form2);
}

} // namespace orvex
