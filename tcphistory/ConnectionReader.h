// The engine behind the history window and `orvex --connections`: one read of the machine's TCP
// table as records (the history's five texts) with the facts of each socket: the owning program
// and user, bytes sent and received, round trip; and, once watchClosings() is on, the connections
// that closed since the last read, also those that lived between two reads. Plain C++; one reader
// per thread at a time (the history's poll worker owns one).
#pragma once

#include "platform/SocketOwners.h"
#include "platform/TcpCloseWatch.h"
#include "platform/TcpTable.h"
#include "tcphistory/TcpConnections.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

using WallTime = std::chrono::system_clock::time_point;

struct ConnectionFacts {
    std::string Program; // process name; empty when no readable process holds the socket
    int Pid = 0;         // 0 when unknown
    int OtherProcesses = 0;
    std::uint32_t Uid = kUnknownUid;
    std::string User; // empty when the uid is unknown
    bool HasTraffic = false;
    std::uint64_t BytesSent = 0;
    std::uint64_t BytesReceived = 0;
    std::uint32_t RttUs = 0;        // smoothed round trip
    std::optional<WallTime> Closed; // when the connection was seen closing

    friend bool operator==(const ConnectionFacts&, const ConnectionFacts&) = default;
};

struct PolledConnection {
    TTcpConnStatus Record;
    TcpRow Row;
    ConnectionFacts Facts;
};

struct ConnectionPoll {
    bool Ok = false;                    // the table was read
    std::vector<PolledConnection> Open; // listening and established, in the table's order
    // Connections seen closing since the last read, in the order they closed: established ones
    // (with their final counters; Facts.Closed set) and listeners. Their Row.State is the one they
    // had (TcpEstablished, TcpListen).
    std::vector<PolledConnection> Closed;
    std::size_t LostClosings = 0; // closings the watch could not keep
};

class ConnectionReader {
public:
    // table must outlive the reader. With facts off it reads only what the records need (no
    // owners, users or counters), as the history did before it showed them.
    explicit ConnectionReader(TcpTable& table, bool facts = true);

    // Starts watching for closing connections; false when the system does not report them.
    bool watchClosings();
    // Or lets the first read (or an earlier startWantedWatch) start it, once: a system without
    // the broadcasts is not asked again, and nothing listens before anything is recorded.
    void watchClosingsFromFirstRead(bool on) { watchOnRead_ = on; }
    void startWantedWatch();
    // Forgets the closings seen before `start` and the losses counted so far: what happened while
    // nothing was recorded.
    void dropClosingsBefore(WallTime start);
    bool watchingClosings() const { return closings_.running(); }

    void read(ConnectionPoll& poll);

    // Whether the last read walked /proc for owners (for tests and the benchmark).
    bool walkedProc() const { return walked_; }

private:
    void addClosed(ConnectionPoll& poll);
    void fillFacts(const TcpRow& row, ConnectionFacts& facts);

    TcpTable& table_;
    bool facts_;
    SocketOwners owners_;
    TcpCloseWatch closings_;
    std::vector<TcpRow> rows_;     // this read's rows
    std::vector<TcpRow> previous_; // the last read's, sorted: where a closing socket finds its owner
    std::vector<ClosedTcpSocket> closed_;
    std::vector<ClosedTcpSocket> kept_; // closings after the start of a recording, not yet read
    std::vector<std::uint64_t> inodes_;
    bool walked_ = false;
    bool watchOnRead_ = false;
};

// Texts of the facts, as the window, the files and the command line show them.
// "firefox (PID 1234)" or "firefox (PID 1234) +2"; empty when unknown.
std::string programText(const ConnectionFacts& facts);
// The round trip in milliseconds with three decimals ("0.052"); empty without counters.
std::string rttMsText(const ConnectionFacts& facts);
// ISO 8601 in local time with milliseconds and offset: "2026-12-07T18:31:50.123+01:00".
std::string isoTime(WallTime time);
// A row's address without padding ("127.0.0.1", "::1").
std::string plainAddress(const TcpRow& row, bool remote);
std::uint16_t rowHostPort(std::uint32_t rowPort);

} // namespace orvex
