#include "tcphistory/ConnectionHistory.h"

#include <functional>

namespace orvex {

namespace {

constexpr std::string_view kListening = "listening";

std::size_t combine(std::size_t seed, std::string_view text) {
    return seed ^ (std::hash<std::string_view>{}(text) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2));
}

// The columns that tell one connection from another: local port, remote address and port, status.
std::size_t keyHash(std::string_view localPort, std::string_view remoteIP, std::string_view remotePort,
                    std::string_view status) {
    return combine(combine(combine(combine(0, localPort), remoteIP), remotePort), status);
}

bool rowMatches(const ConnectionHistory::Row& row, const TTcpConnStatus& record) {
    using H = ConnectionHistory;
    return row[H::kLocalPort] == record.LocalPort && row[H::kRemoteIP] == record.RemoteIP &&
           row[H::kRemotePort] == record.RemotePort && row[H::kStatus] == record.Status;
}

} // namespace

ConnectionHistory::ConnectionHistory(TcpTable& table, HistoryClock& clock) : table_(table), clock_(clock) {
    rows_.resize(2);
}

void ConnectionHistory::create() {
    clear();
    setTitles(kCreationTitles);
    setTimer(false);
}

void ConnectionHistory::setListening(bool on) {
    ++poll_;
    if (listening_ != on) {
        listening_ = on;
        if (observer_) observer_->listeningSwitched(on);
    }
    setTimer(on);
    if (on) appendMarker();
}

void ConnectionHistory::clear() {
    ++poll_;
    setTimer(false);
    rows_.assign(2, Row{});
    index_.clear();
    if (observer_) observer_->historyReset();
    setStartTime();
    setTitles(kClearedTitles);
    if (listening_) {
        listening_ = false;
        if (observer_) observer_->listeningSwitched(false);
    }
}

void ConnectionHistory::tick() {
    setTimer(false);
    // The timer runs again after the tick whatever happened in it.
    struct Restart {
        ConnectionHistory& history;
        ~Restart() { history.setTimer(true); }
    } restart{*this};

    std::vector<TTcpConnStatus> list;
    ReadTcpConnections(table_, &list);
    merge(list);
}

unsigned ConnectionHistory::beginTick() {
    setTimer(false);
    return ++poll_;
}

void ConnectionHistory::endTick(unsigned poll, const std::vector<TTcpConnStatus>& list) {
    if (poll != poll_) return;
    struct Restart {
        ConnectionHistory& history;
        ~Restart() { history.setTimer(true); }
    } restart{*this};
    merge(list);
}

void ConnectionHistory::merge(const std::vector<TTcpConnStatus>& list) {
    const std::size_t first = rows_.size() - 1;
    for (const TTcpConnStatus& record : list) {
        // Past the limit the history is cleared below whatever else is new: a large table costs
        // the UI thread no more than the limit's worth of rows.
        if (rows_.size() > kMaxRows) break;
        if (IsNewConnection(record)) appendEntry(record);
    }
    if (rows_.size() - 1 > first && observer_) observer_->rowsAppended(first, rows_.size());
    if (rows_.size() > kMaxRows) clear();
}

bool ConnectionHistory::IsNewConnection(const TTcpConnStatus& record) const {
    if (!listening_ && record.Status == kListening) return false;
    // The title row and the empty last row are not in the index; look at them directly.
    if (rowMatches(rows_.front(), record) || rowMatches(rows_.back(), record)) return false;
    const auto [first, last] =
        index_.equal_range(keyHash(record.LocalPort, record.RemoteIP, record.RemotePort, record.Status));
    for (auto hit = first; hit != last; ++hit)
        if (rowMatches(rows_[hit->second], record)) return false;
    return true;
}

void ConnectionHistory::setTimer(bool on) {
    if (timerOn_ == on) return;
    timerOn_ = on;
    if (observer_) observer_->timerSwitched(on);
}

void ConnectionHistory::setTitles(const Titles& titles) {
    for (std::size_t column = 0; column < kColumns; ++column)
        rows_.front()[column] = std::string(titles[column]);
    if (observer_) observer_->titlesChanged();
}

void ConnectionHistory::setStartTime() {
    std::string date = clock_.dateText();
    std::string time = clock_.timeText();
    startTime_ = std::string(kStartTimePrefix) + date + " " + time;
    if (observer_) observer_->startTimeChanged(startTime_);
}

ConnectionHistory::Row& ConnectionHistory::appendRow() {
    rows_.emplace_back();
    return rows_[rows_.size() - 2];
}

void ConnectionHistory::appendEntry(const TTcpConnStatus& record) {
    Row& row = appendRow();
    row[kDate] = clock_.dateText();
    row[kTime] = clock_.timeText();
    row[kLocalIP] = record.LocalIP;
    row[kLocalPort] = record.LocalPort;
    row[kRemoteIP] = record.RemoteIP;
    row[kRemotePort] = record.RemotePort;
    row[kStatus] = record.Status;
    indexRow(rows_.size() - 2);
}

void ConnectionHistory::indexRow(std::size_t row) {
    const Row& r = rows_[row];
    index_.emplace(keyHash(r[kLocalPort], r[kRemoteIP], r[kRemotePort], r[kStatus]), row);
}

void ConnectionHistory::appendMarker() {
    const std::size_t first = rows_.size() - 1;
    Row& row = appendRow();
    row[kDate] = clock_.dateText();
    row[kTime] = clock_.timeText();
    row[kLocalIP] = kMarkerText;
    row[kLocalPort] = kMarkerOn;
    indexRow(rows_.size() - 2);
    if (observer_) observer_->rowsAppended(first, rows_.size());
    setStartTime();
}

} // namespace orvex
