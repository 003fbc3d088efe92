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

ConnectionHistory::ConnectionHistory(HistoryClock& clock) : clock_(clock) {
    rows_.resize(2);
    details_.resize(2);
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
    if (on) {
        recordingSince_ = std::chrono::system_clock::now();
        appendMarker();
    }
}

void ConnectionHistory::clear() {
    ++poll_;
    setTimer(false);
    rows_.assign(2, Row{});
    details_.assign(2, RowDetails{});
    index_.clear();
    lostClosings_ = 0;
    if (observer_) observer_->historyReset();
    setStartTime();
    setTitles(kClearedTitles);
    if (listening_) {
        listening_ = false;
        if (observer_) observer_->listeningSwitched(false);
    }
}

unsigned ConnectionHistory::beginTick() {
    setTimer(false);
    return ++poll_;
}

void ConnectionHistory::endTick(unsigned poll, const ConnectionPoll& read) {
    if (poll != poll_) return;
    struct Restart {
        ConnectionHistory& history;
        ~Restart() { history.setTimer(true); }
    } restart{*this};
    merge(poll, read);
}

void ConnectionHistory::merge(unsigned poll, const ConnectionPoll& read) {
    const std::size_t first = rows_.size() - 1;
    closedNow_.clear();
    bool changed = read.LostClosings > 0;
    lostClosings_ += read.LostClosings;
    for (const PolledConnection& connection : read.Open) {
        // Past the limit the history is cleared below whatever else is new: a large table costs
        // the UI thread no more than the limit's worth of rows.
        if (rows_.size() > kMaxRows) break;
        if (const auto row = findRow(connection.Record))
            changed |= updateFacts(*row, connection, poll);
        else if (listening_ || connection.Record.Status != kListening)
            appendEntry(connection, poll, false);
    }
    // Connections seen closing: the final counters of a row already there, or a row of their own
    // for one that lived between two polls, under the same key rules.
    for (const PolledConnection& connection : read.Closed) {
        if (rows_.size() > kMaxRows) break;
        if (connection.Facts.Closed && *connection.Facts.Closed < recordingSince_) continue;
        if (const auto row = findRow(connection.Record)) {
            RowDetails& details = details_[*row];
            const bool wasOpen = !details.Facts.Closed;
            changed |= updateFacts(*row, connection, 0);
            if (wasOpen) {
                details.Facts.Closed = connection.Facts.Closed;
                closedNow_.push_back(*row);
            }
        } else if (listening_ || connection.Record.Status != kListening) {
            appendEntry(connection, poll, true);
            closedNow_.push_back(rows_.size() - 2);
        }
    }
    // A row whose connection this poll no longer sees has closed, if no broadcast said so first.
    if (read.Ok) {
        const WallTime now = std::chrono::system_clock::now();
        for (std::size_t row = 1; row + 1 < rows_.size(); ++row) {
            RowDetails& details = details_[row];
            if (!details.Entry || details.Facts.Closed || details.LastPoll == poll) continue;
            details.Facts.Closed = now;
            closedNow_.push_back(row);
        }
    }
    if (rows_.size() - 1 > first && observer_) observer_->rowsAppended(first, rows_.size());
    if ((changed || !closedNow_.empty()) && observer_) observer_->factsChanged(closedNow_);
    if (rows_.size() > kMaxRows) clear();
}

bool ConnectionHistory::IsNewConnection(const TTcpConnStatus& record) const {
    if (!listening_ && record.Status == kListening) return false;
    // The title row and the empty last row are not in the index; look at them directly.
    if (rowMatches(rows_.front(), record) || rowMatches(rows_.back(), record)) return false;
    return !findRow(record);
}

std::optional<std::size_t> ConnectionHistory::findRow(const TTcpConnStatus& record) const {
    const auto [first, last] =
        index_.equal_range(keyHash(record.LocalPort, record.RemoteIP, record.RemotePort, record.Status));
    std::optional<std::size_t> found;
    // The first row in table order wins, as a scan from the top would find it.
    for (auto hit = first; hit != last; ++hit)
        if (rowMatches(rows_[hit->second], record) && (!found || hit->second < *found)) found = hit->second;
    return found;
}

bool ConnectionHistory::updateFacts(std::size_t row, const PolledConnection& connection, unsigned poll) {
    RowDetails& details = details_[row];
    if (!details.Entry) return false;
    if (poll != 0) details.LastPoll = poll;
    ConnectionFacts& facts = details.Facts;
    const ConnectionFacts& seen = connection.Facts;
    bool changed = false;
    if (facts.Pid == 0 && seen.Pid != 0) {
        facts.Program = seen.Program;
        facts.Pid = seen.Pid;
        facts.OtherProcesses = seen.OtherProcesses;
        changed = true;
    }
    if (facts.Uid == kUnknownUid && seen.Uid != kUnknownUid) {
        facts.Uid = seen.Uid;
        facts.User = seen.User;
        changed = true;
    }
    if (seen.HasTraffic && (!facts.HasTraffic || facts.BytesSent != seen.BytesSent ||
                            facts.BytesReceived != seen.BytesReceived || facts.RttUs != seen.RttUs)) {
        facts.HasTraffic = true;
        facts.BytesSent = seen.BytesSent;
        facts.BytesReceived = seen.BytesReceived;
        facts.RttUs = seen.RttUs;
        changed = true;
    }
    return changed;
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

ConnectionHistory::Row& ConnectionHistory::appendRow(WallTime seen) {
    rows_.emplace_back();
    details_.emplace_back();
    details_[details_.size() - 2].Seen = seen;
    return rows_[rows_.size() - 2];
}

void ConnectionHistory::appendEntry(const PolledConnection& connection, unsigned poll, bool closed) {
    const TTcpConnStatus& record = connection.Record;
    // A connection that lived between two polls is stamped with the time its end was seen.
    const WallTime seen = closed ? *connection.Facts.Closed : std::chrono::system_clock::now();
    Row& row = appendRow(seen);
    row[kDate] = closed ? clock_.dateTextAt(seen) : clock_.dateText();
    row[kTime] = closed ? clock_.timeTextAt(seen) : clock_.timeText();
    RowDetails& details = details_[details_.size() - 2];
    details.Entry = true;
    details.Facts = connection.Facts;
    details.Row = connection.Row;
    details.LastPoll = closed ? 0 : poll;
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
    Row& row = appendRow(std::chrono::system_clock::now());
    row[kDate] = clock_.dateText();
    row[kTime] = clock_.timeText();
    row[kLocalIP] = kMarkerText;
    row[kLocalPort] = kMarkerOn;
    indexRow(rows_.size() - 2);
    if (observer_) observer_->rowsAppended(first, rows_.size());
    setStartTime();
}

} // namespace orvex
