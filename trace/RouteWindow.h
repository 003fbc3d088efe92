// The route and port window: where the path to a host breaks (continuous rounds of probes with
// per-hop loss and round trips, a live chart) and whether its TCP ports answer. Opened from the
// main window's Tools menu with the ping field's host; kept while the program runs.
//
// The trace and the port check run on worker threads through the window's own OperationRunner,
// so a running trace never holds off the main window; rounds reach the window as they settle.
// Reverse names are asked on a lookup thread of their own and cached for the window's lifetime.
// Closing the window stops what runs at once; what was shown stays until the next start.
// UI thread only.
#pragma once

#include "trace/PortCheck.h"
#include "trace/RouteTrace.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace orvex {

class OperationRunner;
class RttChart;
class SerialWorker;

class RouteWindow : public QWidget {
    Q_OBJECT
public:
    // The address's reverse name, empty for none; runs on the lookup thread.
    using ReverseLookup = std::function<std::string(const std::string& address)>;

    explicit RouteWindow(QWidget* parent = nullptr, ReverseLookup reverseLookup = reverseName);
    ~RouteWindow() override;

    QLineEdit* edRouteHost = nullptr;
    QSpinBox* spinInterval = nullptr; // ms between rounds
    QPushButton* btnRoute = nullptr;  // "Start" / "Stopp"
    QLabel* lblRoute = nullptr;       // headline or what went wrong
    QTableWidget* tblHops = nullptr;
    RttChart* chartRtt = nullptr;
    QLineEdit* edPorts = nullptr;
    QSpinBox* spinPortCount = nullptr;
    QSpinBox* spinPortTimeout = nullptr; // ms
    QPushButton* btnPorts = nullptr;     // "Prüfen" / "Stopp"
    QListWidget* lstPorts = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnClose = nullptr;
    OperationRunner* Operations = nullptr;

    // Fills the host field (when host is not empty) and shows the window in front.
    void openFor(const QString& host);

    void btnRouteClick();
    void btnPortsClick();
    void btnCopyClick();

    // What "Kopieren" puts on the clipboard: the route report and the port lines.
    QString resultText() const;
    const RouteSnapshot& lastRoute() const { return route_; }

    static const QString kEmptyHostNotice;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Names;
    void showRound(const RouteSnapshot& route);
    void takeRound();
    void showFigures();
    void showRouteTable();
    void showChart();
    void askName(const std::string& address);
    void nameArrived(const std::string& address, const std::string& name);
    void showPorts(const std::vector<PortResult>& results, int timeoutMs);
    void operationEnded();

    RouteSnapshot route_;
    QTimer refresh_; // the table, headline and chart show the latest round when it fires
    bool haveRoute_ = false;
    std::map<int, std::deque<std::optional<double>>> series_; // per hop, oldest first
    std::map<int, std::pair<int, int>> counted_;              // per hop: received, lost already charted
    std::string portHost_;
    TraceTarget portTarget_;
    std::vector<PortResult> ports_;
    int portTimeoutMs_ = 0;

    std::shared_ptr<Names> names_;
    std::map<std::string, std::string> nameCache_; // address -> name ("" none)
    std::set<std::string> asked_;
    std::unique_ptr<SerialWorker> nameWorker_;
};

} // namespace orvex
