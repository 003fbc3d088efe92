// An I/O handler that plays scripted connections from memory and records what the client sent.
// Each Open takes the next scripted connection; each Receive returns at most one scripted piece,
// so a test decides exactly where the reads are cut.
#pragma once

#include "net/NxHTTPExceptions.h"
#include "net/TNxIOHandler.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvex::test {

struct ScriptedConnection {
    enum class End { Close, Stall, Error };
    std::vector<std::string> Pieces;
    End Ending = End::Close;
    int ErrorCode = 0;
};

// Shared between the test and the handler the client owns.
struct MemoryNet {
    std::deque<ScriptedConnection> Pending;
    std::vector<std::string> Sent; // one entry per connection
    std::vector<std::pair<std::string, int>> Opened;
    int RefuseWith = 0;                      // a socket error for the next Open
    std::vector<std::size_t> ReceiveLengths; // the length each Receive asked for
    std::size_t BytesReceived = 0;           // by every Receive together
    std::size_t BytesReceivable() const {
        std::size_t n = 0;
        for (const auto& c : Pending)
            for (const auto& p : c.Pieces)
                n += p.size();
        return n;
    }
};

class StalledForever : public std::exception {
public:
    const char* what() const noexcept override { return "a blocking receive would wait forever"; }
};

class MemoryIOHandler : public TNxIOHandler {
public:
    explicit MemoryIOHandler(std::shared_ptr<MemoryNet> net) : net_(std::move(net)) {}

    void Open(const std::string& host, int port, int) override {
        net_->Opened.emplace_back(host, port);
        if (net_->RefuseWith) {
            const int code = std::exchange(net_->RefuseWith, 0);
            ThrowSocketError(code);
        }
        current_ = net_->Pending.empty() ? ScriptedConnection{} : std::move(net_->Pending.front());
        if (!net_->Pending.empty()) net_->Pending.pop_front();
        std::reverse(current_.Pieces.begin(), current_.Pieces.end());
        net_->Sent.emplace_back();
        open_ = true;
    }
    void Close() override { open_ = false; }
    bool Connected() const override { return open_; }
    bool Readable(int) override {
        if (!open_) throw connClosedGracefully();
        return !current_.Pieces.empty() || current_.Ending != ScriptedConnection::End::Stall;
    }
    long Receive(char* buffer, std::size_t length, int& errorCode) override {
        net_->ReceiveLengths.push_back(length);
        if (current_.Pieces.empty()) {
            switch (current_.Ending) {
            case ScriptedConnection::End::Close:
                return 0;
            case ScriptedConnection::End::Stall:
                throw StalledForever();
            case ScriptedConnection::End::Error:
                errorCode = current_.ErrorCode;
                return -1;
            }
        }
        std::string& piece = current_.Pieces.back();
        const std::size_t n = std::min(length, piece.size());
        std::memcpy(buffer, piece.data(), n);
        piece.erase(0, n);
        net_->BytesReceived += n;
        if (piece.empty()) current_.Pieces.pop_back();
        return static_cast<long>(n);
    }
    long Send(const char* buffer, std::size_t length, int&) override {
        net_->Sent.back().append(buffer, length);
        return static_cast<long>(length);
    }
    void RaiseSocketError(int code) override {
        throw ENxSocketError("Socket-Fehler # " + std::to_string(code) + "\r\n", code);
    }

private:
    std::shared_ptr<MemoryNet> net_;
    ScriptedConnection current_;
    bool open_ = false;
};

} // namespace orvex::test
