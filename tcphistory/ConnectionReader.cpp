#include "tcphistory/ConnectionReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

namespace orvex {

namespace {

bool hasRemote(const TcpRow& row) {
    return row.Ipv6 ? std::any_of(row.RemoteAddr6.begin(), row.RemoteAddr6.end(),
                                  [](std::uint8_t b) { return b != 0; })
                    : row.RemoteAddr != 0;
}

// The socket's addresses and ports as bytes: the same for the row of a read and for its closing.
std::string endpointsKey(const TcpRow& row) {
    std::string key(row.Ipv6 ? 1 + 32 + 8 : 1 + 8 + 8, '\0');
    char* out = key.data();
    *out++ = row.Ipv6 ? '6' : '4';
    auto put = [&](const void* data, std::size_t size) {
        std::memcpy(out, data, size);
        out += size;
    };
    if (row.Ipv6) {
        put(row.LocalAddr6.data(), 16);
        put(row.RemoteAddr6.data(), 16);
    } else {
        put(&row.LocalAddr, 4);
        put(&row.RemoteAddr, 4);
    }
    put(&row.LocalPort, 4);
    put(&row.RemotePort, 4);
    return key;
}

} // namespace

ConnectionReader::ConnectionReader(TcpTable& table, bool facts) : table_(table), facts_(facts) {}

bool ConnectionReader::watchClosings() {
    return closings_.start();
}

void ConnectionReader::startWantedWatch() {
    if (!watchOnRead_) return;
    watchOnRead_ = false;
    watchClosings();
}

void ConnectionReader::read(ConnectionPoll& poll) {
    poll.Open.clear();
    poll.Closed.clear();
    poll.LostClosings = 0;
    startWantedWatch();
    // Closings first: a socket that closed before this read is in no table any more, and its owner
    // is still known from the last read.
    if (closings_.running()) addClosed(poll);

    const TcpStateMask wanted = tcpStateBit(TcpListen) | tcpStateBit(TcpEstablished) | kIpv6Rows;
    poll.Ok = table_.read(rows_, facts_ ? wanted | kSocketInfo : wanted);
    walked_ = false;
    if (facts_ && poll.Ok) {
        inodes_.clear();
        inodes_.reserve(rows_.size());
        for (const TcpRow& row : rows_)
            inodes_.push_back(row.Inode);
        walked_ = owners_.update(inodes_);
    }
    poll.Open.reserve(rows_.size());
    for (const TcpRow& row : rows_) {
        // The table may hand back more than was asked for (a fake, a source that cannot filter).
        if (row.State != TcpListen && row.State != TcpEstablished) continue;
        PolledConnection& connection = poll.Open.emplace_back();
        connection.Record = makeTcpConnStatus(row);
        connection.Row = row;
        if (facts_) fillFacts(row, connection.Facts);
    }
    if (closings_.running()) previous_.swap(rows_);
}

void ConnectionReader::dropClosingsBefore(WallTime start) {
    if (!closings_.running()) return;
    closings_.take(closed_);
    for (const ClosedTcpSocket& closed : closed_)
        if (closed.Seen >= start) kept_.push_back(closed);
}

void ConnectionReader::addClosed(ConnectionPoll& poll) {
    poll.LostClosings = closings_.take(closed_);
    if (!kept_.empty()) {
        closed_.insert(closed_.begin(), kept_.begin(), kept_.end());
        kept_.clear();
    }
    if (closed_.empty()) return;
    std::unordered_map<std::string, const TcpRow*> open;
    open.reserve(previous_.size());
    for (const TcpRow& row : previous_)
        open.emplace(endpointsKey(row), &row);
    for (const ClosedTcpSocket& closed : closed_) {
        TcpRow row = closed.Row;
        // A closed socket with a peer that acknowledged or sent something was an established
        // connection; one without a peer was a listener; one whose connect failed is neither.
        if (!hasRemote(row))
            row.State = TcpListen;
        else if (row.HasInfo && (row.BytesAcked > 0 || row.BytesReceived > 0))
            row.State = TcpEstablished;
        else
            continue;
        if (const auto seen = open.find(endpointsKey(row)); seen != open.end()) {
            row.Uid = seen->second->Uid;
            row.Inode = seen->second->Inode;
        }
        PolledConnection& connection = poll.Closed.emplace_back();
        connection.Record = makeTcpConnStatus(row);
        connection.Row = row;
        fillFacts(row, connection.Facts);
        connection.Facts.Closed = closed.Seen;
    }
}

void ConnectionReader::fillFacts(const TcpRow& row, ConnectionFacts& facts) {
    facts = ConnectionFacts{};
    if (row.Uid != kUnknownUid) {
        facts.Uid = row.Uid;
        facts.User = owners_.userName(row.Uid);
    }
    if (facts_ && row.Inode != 0) {
        if (const SocketOwner* owner = owners_.find(row.Inode)) {
            facts.Program = owner->Program;
            facts.Pid = owner->Pid;
            facts.OtherProcesses = owner->OtherProcesses;
        }
    }
    // A listener carries no traffic of its own: its counters stay unknown rather than zero.
    facts.HasTraffic = row.HasInfo && row.State != TcpListen;
    facts.BytesSent = row.BytesSent;
    facts.BytesReceived = row.BytesReceived;
    facts.RttUs = row.RttUs;
}

std::string programText(const ConnectionFacts& facts) {
    if (facts.Pid == 0) return {};
    std::string text = facts.Program + " (PID " + std::to_string(facts.Pid) + ")";
    if (facts.OtherProcesses > 0) text += " +" + std::to_string(facts.OtherProcesses);
    return text;
}

std::string rttMsText(const ConnectionFacts& facts) {
    if (!facts.HasTraffic) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", facts.RttUs / 1000, facts.RttUs % 1000);
    return text;
}

std::string isoTime(WallTime time) {
    const auto sinceEpoch = time.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char date[32], zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local); // "+0100"
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03d%.3s:%.2s", date, static_cast<int>(millis), zone, zone + 3);
    return text;
}

std::uint16_t rowHostPort(std::uint32_t rowPort) {
    return static_cast<std::uint16_t>((rowPort & 0xff) << 8 | (rowPort >> 8 & 0xff));
}

std::string plainAddress(const TcpRow& row, bool remote) {
    if (row.Ipv6) return FormatIPv6Address(remote ? row.RemoteAddr6 : row.LocalAddr6);
    const std::uint32_t address = remote ? row.RemoteAddr : row.LocalAddr;
    return std::to_string(address & 0xff) + "." + std::to_string(address >> 8 & 0xff) + "." +
           std::to_string(address >> 16 & 0xff) + "." + std::to_string(address >> 24);
}

} // namespace orvex
