// The connection history: a text table of the connections (and, on request, the listeners) seen
// since recording was last started, with the recording state that goes with it. Plain C++; the
// window shows the table and follows the state through HistoryObserver. UI thread only.
#pragma once

#include "tcphistory/ConnectionReader.h"
#include "tcphistory/TcpConnections.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex {

// Date and time texts in the user's regional short date and long time formats.
class HistoryClock {
public:
    virtual ~HistoryClock() = default;
    virtual std::string dateText() = 0;
    virtual std::string timeText() = 0;
    // The texts of another moment (a connection seen closing between two polls); now's by default.
    virtual std::string dateTextAt(WallTime) { return dateText(); }
    virtual std::string timeTextAt(WallTime) { return timeText(); }
};

// Told after each change, so a view can follow. Row indexes are table rows (row 0 is the title row).
class HistoryObserver {
public:
    virtual ~HistoryObserver() = default;
    // The table was cut back to the title row and one empty row.
    virtual void historyReset() {}
    virtual void titlesChanged() {}
    // The empty last row `first` and the rows after it were written; the table now has `rowCount` rows.
    virtual void rowsAppended(std::size_t first, std::size_t rowCount) {
        (void)first;
        (void)rowCount;
    }
    // The facts of rows changed (counters, owners); `closed` lists the rows whose connection was
    // seen closing in this poll. Told before a clear at the limit, like rowsAppended.
    virtual void factsChanged(const std::vector<std::size_t>& closed) { (void)closed; }
    virtual void timerSwitched(bool on) { (void)on; }
    virtual void listeningSwitched(bool on) { (void)on; }
    virtual void startTimeChanged(const std::string& text) { (void)text; }
};

class ConnectionHistory {
public:
    static constexpr std::size_t kColumns = 7;
    // The columns of a row; a marker row puts its text and "  ON" in the local address columns.
    enum Column : std::size_t { kDate, kTime, kLocalIP, kLocalPort, kRemoteIP, kRemotePort, kStatus };
    // A tick that leaves more rows than this (title and empty last row counted) clears the history.
    static constexpr std::size_t kMaxRows = 1000;
    using Row = std::array<std::string, kColumns>;
    using Titles = std::array<std::string_view, kColumns>;

    static constexpr Titles kCreationTitles = {"Date",      "Time",     "Local-IP", "Local Port",
                                               "Remote IP", "Rem.Port", "Status"};
    static constexpr Titles kClearedTitles = {
        "date", "time", "local-IP", "local port /service", "remote IP", "rem. port/service", "status"};
    static constexpr std::string_view kStartTimePrefix = "TCP connection seit : ";
    static constexpr std::string_view kMarkerText = "LISTENING PORTS";
    static constexpr std::string_view kMarkerOn = "  ON";

    // What the history knows of a row beyond its seven texts, parallel to rows().
    struct RowDetails {
        bool Entry = false; // a connection or listener row, not a title, marker or empty row
        WallTime Seen{};    // when it was written
        ConnectionFacts Facts;
        TcpRow Row;
        unsigned LastPoll = 0; // the poll that last saw the connection open
    };

    // clock must outlive the history.
    explicit ConnectionHistory(HistoryClock& clock);

    void setObserver(HistoryObserver* observer) { observer_ = observer; }

    // Cell texts are UTF-8.
    const std::vector<Row>& rows() const { return rows_; }
    const std::vector<RowDetails>& details() const { return details_; }
    bool timerOn() const { return timerOn_; }
    // Closings the system reported lost (its buffer was full) since the last clear: connections
    // that may be missing from the history.
    std::size_t lostClosings() const { return lostClosings_; }
    bool listening() const { return listening_; }
    const std::string& startTime() const { return startTime_; }

    // The state of a freshly created window: cleared, capitalised titles, recording off.
    void create();
    // The listening switch changed: on starts recording with a marker row, off stops it.
    void setListening(bool on);
    // Recording off, the table back to the lower-case titles and one empty row, switch off.
    void clear();
    // One poll in two halves, so the table can be read on another thread: beginTick stops the
    // timer and returns the poll's number; what a ConnectionReader read then goes to endTick,
    // which appends every new connection (the open ones in table order, then those seen closing),
    // updates the facts of rows already there, marks rows whose connection is gone as closed,
    // clears when the table has grown past kMaxRows and runs the timer again. A clear or a switch
    // of the listening box in between outdates the poll: endTick then drops it and leaves the
    // timer as the switch left it.
    unsigned beginTick();
    void endTick(unsigned poll, const ConnectionPoll& read);

    bool IsNewConnection(const TTcpConnStatus& record) const;

private:
    void setTimer(bool on);
    void setTitles(const Titles& titles);
    void setStartTime();
    // Writes the empty last row and adds a fresh one beneath; returns the row written.
    Row& appendRow(WallTime seen);
    void appendEntry(const PolledConnection& connection, unsigned poll, bool closed);
    // The history row (between the title row and the empty last row) with the record's key.
    std::optional<std::size_t> findRow(const TTcpConnStatus& record) const;
    bool updateFacts(std::size_t row, const PolledConnection& connection, unsigned poll);
    void appendMarker();
    void indexRow(std::size_t row);

    HistoryClock& clock_;
    HistoryObserver* observer_ = nullptr;
    std::vector<Row> rows_;
    std::vector<RowDetails> details_;
    std::vector<std::size_t> closedNow_;
    // Hash of columns 3 to 6 -> index of a history row between the title row and the empty last
    // row, so the new-connection test does not scan the table. Hits are confirmed on the row's texts.
    std::unordered_multimap<std::size_t, std::size_t> index_;
    void merge(unsigned poll, const ConnectionPoll& read);

    WallTime recordingSince_{}; // closings seen before recording was switched on are not recorded
    unsigned poll_ = 0;         // number of the latest poll; a clear or a switch moves it on
    bool timerOn_ = false;
    std::size_t lostClosings_ = 0;
    bool listening_ = false;
    std::string startTime_;
};

} // namespace orvex
