#include "trace/RouteWindow.h"

#include "controls/ErrorReport.h"
#include "controls/Fonts.h"
#include "controls/FramedGroupBox.h"
#include "controls/KeyPress.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/TColor.h"
#include "controls/UiThread.h"
#include "platform/Threads.h"
#include "trace/RouteReport.h"
#include "trace/RttChart.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <mutex>

namespace orvex {

const QString RouteWindow::kEmptyHostNotice = QStringLiteral(
    "Bitte erst eine IP-Adresse oder einen Hostnamen eintragen: z.B. 192.168.0.1 oder www.debian.org");

// Shared by the window and its lookup thread: the thread posts a name only while the window lives.
struct RouteWindow::Names {
    std::mutex mutex;
    RouteWindow* window = nullptr;
    ReverseLookup lookup;
};

namespace {

enum Column { cHop, cAddress, cName, cLoss, cSent, cLast, cAvg, cBest, cWorst, cStdev, cNote, cColumns };

const char* const kColumnTitles[cColumns] = {"Hop",          "Adresse",  "Name",   "Verlust",
                                             "Ges.",         "Letzte",   "Mittel", "Beste",
                                             "Schlechteste", "Streuung", "Hinweis"};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QSpinBox* makeSpin(QWidget* parent, const char* name, int least, int most, int value, int step,
                   const QString& accessible) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(least, most);
    spin->setSingleStep(step);
    spin->setValue(value);
    spin->setAccessibleName(accessible);
    return spin;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

RouteWindow::RouteWindow(QWidget* parent, ReverseLookup reverseLookup)
    : QWidget(parent, Qt::Window), names_(std::make_shared<Names>()),
      nameWorker_(std::make_unique<SerialWorker>()) {
    names_->window = this;
    names_->lookup = std::move(reverseLookup);
    setObjectName(QStringLiteral("RouteWindow"));
    setWindowTitle(QStringLiteral("Route und Ports"));
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));
    // The program's windows: white behind the framed boxes, as the main window.
    setAutoFillBackground(true);
    setFixedFace(this, Qt::white);
    resize(820, 620);

    auto* outer = new QVBoxLayout(this);

    auto* routeBox = new FramedGroupBox(QStringLiteral("Route"), this);
    routeBox->setObjectName(QStringLiteral("RouteBox"));
    auto* routeLayout = new QVBoxLayout(routeBox);
    auto* routeRow = new QHBoxLayout;
    edRouteHost = new QLineEdit(routeBox);
    edRouteHost->setObjectName(QStringLiteral("edRouteHost"));
    edRouteHost->setAccessibleName(QStringLiteral("Host"));
    spinInterval =
        makeSpin(routeBox, "spinInterval", 10, 60000, 1000, 100, QStringLiteral("Intervall in ms"));
    btnRoute = makeButton(routeBox, "btnRoute", QStringLiteral("&Start"));
    routeRow->addWidget(makeLabel(routeBox, QStringLiteral("&Host:"), edRouteHost));
    routeRow->addWidget(edRouteHost, 1);
    routeRow->addWidget(makeLabel(routeBox, QStringLiteral("&Intervall (ms):"), spinInterval));
    routeRow->addWidget(spinInterval);
    routeRow->addWidget(btnRoute);
    routeLayout->addLayout(routeRow);
    lblRoute = new QLabel(routeBox);
    lblRoute->setObjectName(QStringLiteral("lblRoute"));
    lblRoute->setTextInteractionFlags(Qt::TextSelectableByMouse);
    routeLayout->addWidget(lblRoute);
    tblHops = new QTableWidget(0, cColumns, routeBox);
    tblHops->setObjectName(QStringLiteral("tblHops"));
    tblHops->setAccessibleName(QStringLiteral("Hops"));
    QStringList titles;
    for (const char* t : kColumnTitles)
        titles << QString::fromUtf8(t);
    tblHops->setHorizontalHeaderLabels(titles);
    tblHops->verticalHeader()->hide();
    tblHops->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    tblHops->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblHops->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblHops->setSelectionMode(QAbstractItemView::SingleSelection);
    // Fixed widths from the font: sizing to the contents would measure every cell at every round.
    const QFontMetrics metrics(tblHops->font());
    const char* const widest[cColumns] = {
        "Hop",    "2001:db8:ffff::ffff", "router.example.org", "100.0 %", "10000", "1000.0", "1000.0",
        "1000.0", "Schlechteste",        "Streuung",           ""};
    for (int column = 0; column + 1 < cColumns; ++column)
        tblHops->setColumnWidth(column, metrics.horizontalAdvance(QString::fromUtf8(widest[column])) + 14);
    tblHops->horizontalHeader()->setStretchLastSection(true);
    tblHops->setMinimumHeight(tblHops->verticalHeader()->defaultSectionSize() * 9);
    routeLayout->addWidget(tblHops, 1);
    chartRtt = new RttChart(routeBox);
    routeLayout->addWidget(chartRtt);
    outer->addWidget(routeBox, 3);

    auto* portBox = new FramedGroupBox(QStringLiteral("Port-Test"), this);
    portBox->setObjectName(QStringLiteral("PortBox"));
    auto* portLayout = new QVBoxLayout(portBox);
    auto* portRow = new QHBoxLayout;
    edPorts = new QLineEdit(portBox);
    edPorts->setObjectName(QStringLiteral("edPorts"));
    edPorts->setAccessibleName(QStringLiteral("Ports"));
    edPorts->setPlaceholderText(QStringLiteral("z.B. 22,80,443 oder 8000-8010"));
    edPorts->setText(QStringLiteral("22,80,443"));
    spinPortCount = makeSpin(portBox, "spinPortCount", 1, 1000, 3, 1, QStringLiteral("Versuche je Port"));
    spinPortTimeout =
        makeSpin(portBox, "spinPortTimeout", 10, 60000, 2000, 100, QStringLiteral("Zeitlimit in ms"));
    btnPorts = makeButton(portBox, "btnPorts", QStringLiteral("&Prüfen"));
    portRow->addWidget(makeLabel(portBox, QStringLiteral("P&orts:"), edPorts));
    portRow->addWidget(edPorts, 1);
    portRow->addWidget(makeLabel(portBox, QStringLiteral("&Versuche:"), spinPortCount));
    portRow->addWidget(spinPortCount);
    portRow->addWidget(makeLabel(portBox, QStringLiteral("&Zeitlimit (ms):"), spinPortTimeout));
    portRow->addWidget(spinPortTimeout);
    portRow->addWidget(btnPorts);
    portLayout->addLayout(portRow);
    lstPorts = new QListWidget(portBox);
    lstPorts->setObjectName(QStringLiteral("lstPorts"));
    lstPorts->setAccessibleName(QStringLiteral("Port-Ergebnisse"));
    lstPorts->setFont(pixelFont(QStringLiteral("Courier New"), 11));
    lstPorts->setMinimumHeight(fontMetrics().height() * 5);
    portLayout->addWidget(lstPorts, 1);
    outer->addWidget(portBox, 1);

    auto* bottom = new QHBoxLayout;
    btnCopy = makeButton(this, "btnCopy", QStringLiteral("&Kopieren"));
    btnClose = makeButton(this, "btnClose", QStringLiteral("S&chließen"));
    bottom->addStretch(1);
    bottom->addWidget(btnCopy);
    bottom->addWidget(btnClose);
    outer->addLayout(bottom);

    setTabOrder(edRouteHost, spinInterval);
    setTabOrder(spinInterval, btnRoute);
    setTabOrder(btnRoute, tblHops);
    setTabOrder(tblHops, edPorts);
    setTabOrder(edPorts, spinPortCount);
    setTabOrder(spinPortCount, spinPortTimeout);
    setTabOrder(spinPortTimeout, btnPorts);
    setTabOrder(btnPorts, lstPorts);
    setTabOrder(lstPorts, btnCopy);
    setTabOrder(btnCopy, btnClose);

    // A window of its own runner: a trace runs on while the main window works.
    Operations = new OperationRunner(this);
    Operations->setBusyCursor(false);
    for (QWidget* w : std::initializer_list<QWidget*>{btnRoute, btnPorts, tblHops, btnCopy, btnClose})
        Operations->allowWhileBusy(w);
    connect(Operations, &OperationRunner::idle, this, [this] { operationEnded(); });

    connectGuarded(btnRoute, &QAbstractButton::clicked, this, &RouteWindow::btnRouteClick);
    connectGuarded(btnPorts, &QAbstractButton::clicked, this, &RouteWindow::btnPortsClick);
    connectGuarded(btnCopy, &QAbstractButton::clicked, this, &RouteWindow::btnCopyClick);
    connect(btnClose, &QAbstractButton::clicked, this, &QWidget::close);
    bindKeyPress(edRouteHost, [this](char16_t& key) {
        if (takeEnter(key)) btnRoute->click();
    });
    bindKeyPress(edPorts, [this](char16_t& key) {
        if (takeEnter(key)) btnPorts->click();
    });
    connect(tblHops, &QTableWidget::itemSelectionChanged, this, [this] { showChart(); });
    refresh_.setSingleShot(true);
    refresh_.setInterval(100);
    connect(&refresh_, &QTimer::timeout, this, [this] { showFigures(); });
}

RouteWindow::~RouteWindow() {
    Operations->shutdown();
    std::lock_guard lock(names_->mutex);
    names_->window = nullptr;
}

void RouteWindow::openFor(const QString& host) {
    if (!host.isEmpty() && !Operations->busy()) edRouteHost->setText(host);
    show();
    raise();
    activateWindow();
    edRouteHost->setFocus(Qt::OtherFocusReason);
}

void RouteWindow::btnRouteClick() {
    if (Operations->busy()) {
        Operations->stop();
        return;
    }
    const std::string host = edRouteHost->text().toStdString();
    if (host.empty()) {
        notifier().information(this, kEmptyHostNotice);
        edRouteHost->setFocus(Qt::OtherFocusReason);
        return;
    }
    RouteOptions options;
    options.intervalMs = spinInterval->value();
    route_ = {};
    haveRoute_ = false;
    series_.clear();
    counted_.clear();
    tblHops->setRowCount(0);
    chartRtt->clear();
    lblRoute->setText(QStringLiteral("Route zu %1 …").arg(edRouteHost->text()));
    const bool started = Operations->start(
        [self = QPointer<RouteWindow>(this), host,
         options](OperationContext& op) -> OperationRunner::Completion {
            std::string error;
            auto target = resolveTraceTarget(host, error);
            std::unique_ptr<ProbeSocket> socket;
            if (target) socket = ProbeSocket::open(*target, std::nullopt, error);
            if (!socket) {
                op.post([self, error] {
                    if (self) self->lblRoute->setText(fromUtf8(error));
                });
                return {};
            }
            RouteTrace trace(host, std::move(socket), options);
            trace.run([&op] { return op.stopRequested(); },
                      [&op, self](const RouteSnapshot& route) {
                          op.post([self, route] {
                              if (self) self->showRound(route);
                          });
                      });
            return {};
        },
        OperationRunner::OnStop::Finish);
    if (!started) return;
    btnRoute->setText(QStringLiteral("&Stopp"));
    btnPorts->setEnabled(false);
}

void RouteWindow::showRound(const RouteSnapshot& route) {
    route_ = route;
    haveRoute_ = true;
    takeRound();
    // Rounds may come a hundred times a second; the table, headline and chart follow at most ten
    // times a second, which the eye cannot tell apart and which keeps the UI thread free.
    if (!refresh_.isActive()) refresh_.start();
}

void RouteWindow::takeRound() {
    // Each settled round adds one point per hop: its round trip, or a loss.
    for (const HopStats& hop : route_.hops) {
        auto& [received, lost] = counted_[hop.hop];
        auto& points = series_[hop.hop];
        if (hop.received > received) points.push_back(hop.lastMs);
        if (hop.lost > lost) points.push_back(std::nullopt);
        received = hop.received;
        lost = hop.lost;
        while (points.size() > RttChart::kRounds)
            points.pop_front();
        if (!hop.address.empty()) askName(hop.address);
    }
    for (HopStats& hop : route_.hops) {
        const auto it = nameCache_.find(hop.address);
        if (it != nameCache_.end()) hop.name = it->second;
    }
}

void RouteWindow::showFigures() {
    if (!haveRoute_) return;
    lblRoute->setText(fromUtf8(routeHeadline(route_)) +
                      (route_.reached ? QString() : QStringLiteral(" – Ziel antwortet (noch) nicht")));
    showRouteTable();
    showChart();
}

void RouteWindow::showRouteTable() {
    const int rows = static_cast<int>(route_.hops.size());
    if (tblHops->rowCount() != rows) tblHops->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const HopStats& hop = route_.hops[static_cast<std::size_t>(row)];
        const bool answered = hop.received > 0;
        auto ms = [answered](double v) { return answered ? fromUtf8(routeMs(v)) : QStringLiteral("-"); };
        const QString cells[cColumns] = {QString::number(hop.hop),
                                         answered ? fromUtf8(hop.address) : QStringLiteral("???"),
                                         fromUtf8(hop.name),
                                         fromUtf8(routeLoss(hop)),
                                         QString::number(hop.sent()),
                                         ms(hop.lastMs),
                                         ms(hop.meanMs),
                                         ms(hop.bestMs),
                                         ms(hop.worstMs),
                                         ms(hop.stdevMs()),
                                         fromUtf8(routeHopNote(route_, static_cast<std::size_t>(row)))};
        for (int column = 0; column < cColumns; ++column) {
            QTableWidgetItem* item = tblHops->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                const bool number = column == cHop || (column >= cLoss && column <= cStdev);
                item->setTextAlignment(number ? Qt::AlignRight | Qt::AlignVCenter
                                              : Qt::AlignLeft | Qt::AlignVCenter);
                tblHops->setItem(row, column, item);
            }
            if (item->text() != cells[column]) item->setText(cells[column]);
        }
    }
}

void RouteWindow::showChart() {
    if (!haveRoute_ || route_.hops.empty()) {
        chartRtt->clear();
        return;
    }
    const HopStats& last = route_.hops.back();
    RttChart::Series target{
        (route_.reached ? QStringLiteral("Ziel ") : QStringLiteral("Hop %1 ").arg(last.hop)) +
            fromUtf8(route_.target.text),
        series_[last.hop]};
    RttChart::Series hop;
    const int row = tblHops->currentRow();
    if (row >= 0 && row + 1 < static_cast<int>(route_.hops.size()) &&
        tblHops->selectionModel()->hasSelection()) {
        const HopStats& picked = route_.hops[static_cast<std::size_t>(row)];
        hop = {QStringLiteral("Hop %1 %2")
                   .arg(picked.hop)
                   .arg(picked.address.empty() ? QStringLiteral("???") : fromUtf8(picked.address)),
               series_[picked.hop]};
    }
    chartRtt->setSeries(std::move(target), std::move(hop));
}

void RouteWindow::askName(const std::string& address) {
    if (!asked_.insert(address).second) return;
    try {
        nameWorker_->submit([names = names_, address] {
            const std::string name = names->lookup ? names->lookup(address) : std::string();
            std::lock_guard lock(names->mutex);
            if (RouteWindow* window = names->window)
                postToUi(window, [window, address, name] { window->nameArrived(address, name); });
        });
    } catch (const std::system_error&) {
        asked_.erase(address); // no thread now: ask again with the next round
    }
}

void RouteWindow::nameArrived(const std::string& address, const std::string& name) {
    nameCache_[address] = name;
    for (HopStats& hop : route_.hops)
        if (hop.address == address) hop.name = name;
    showRouteTable();
}

void RouteWindow::btnPortsClick() {
    if (Operations->busy()) {
        Operations->stop();
        return;
    }
    const std::string host = edRouteHost->text().toStdString();
    if (host.empty()) {
        notifier().information(this, kEmptyHostNotice);
        edRouteHost->setFocus(Qt::OtherFocusReason);
        return;
    }
    std::string error;
    const auto ports = parsePortList(edPorts->text().toStdString(), error);
    lstPorts->clear();
    if (!ports) {
        lstPorts->addItem(fromUtf8(error));
        edPorts->setFocus(Qt::OtherFocusReason);
        return;
    }
    PortCheckOptions options;
    options.count = spinPortCount->value();
    options.timeoutMs = spinPortTimeout->value();
    lstPorts->addItem(
        QStringLiteral("Prüfe %1 Port(s) von %2 …").arg(ports->size()).arg(edRouteHost->text()));
    const bool started = Operations->start(
        [self = QPointer<RouteWindow>(this), host, ports = *ports,
         options](OperationContext& op) -> OperationRunner::Completion {
            std::string failure;
            const auto target = resolveTraceTarget(host, failure);
            if (!target) {
                op.post([self, failure] {
                    if (!self) return;
                    self->lstPorts->clear();
                    self->lstPorts->addItem(fromUtf8(failure));
                });
                return {};
            }
            // Posted, not returned: what a stopped check has found is shown too.
            auto results = runPortCheck(*target, ports, options, [&op] { return op.stopRequested(); });
            op.post(
                [self, host, target = *target, results = std::move(results), timeout = options.timeoutMs] {
                    if (!self) return;
                    self->portHost_ = host;
                    self->portTarget_ = target;
                    self->showPorts(results, timeout);
                });
            return {};
        },
        OperationRunner::OnStop::Finish);
    if (!started) return;
    btnPorts->setText(QStringLiteral("&Stopp"));
    btnRoute->setEnabled(false);
}

void RouteWindow::showPorts(const std::vector<PortResult>& results, int timeoutMs) {
    ports_ = results;
    portTimeoutMs_ = timeoutMs;
    lstPorts->clear();
    const std::string text = portReportText(portHost_, portTarget_, ports_, timeoutMs);
    for (const QString& line : fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lstPorts->addItem(line);
}

void RouteWindow::operationEnded() {
    if (refresh_.isActive()) {
        refresh_.stop();
        showFigures();
    }
    btnRoute->setText(QStringLiteral("&Start"));
    btnPorts->setText(QStringLiteral("&Prüfen"));
    btnRoute->setEnabled(true);
    btnPorts->setEnabled(true);
}

QString RouteWindow::resultText() const {
    std::string text;
    if (haveRoute_) text += routeReportText(route_);
    if (!ports_.empty()) {
        if (!text.empty()) text += "\n";
        text += portReportText(portHost_, portTarget_, ports_, portTimeoutMs_);
    }
    return fromUtf8(text);
}

void RouteWindow::btnCopyClick() {
    QApplication::clipboard()->setText(resultText());
}

void RouteWindow::closeEvent(QCloseEvent* event) {
    // Stops at once: the job is let go and ends by itself within its next wait.
    Operations->shutdown();
    operationEnded();
    QWidget::closeEvent(event);
}

void RouteWindow::keyPressEvent(QKeyEvent* event) {
    // Escape while something runs stops it (the runner sees it first); otherwise it closes.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace orvex
