// An HTTP server on a loopback port that answers each request head with the next scripted reply,
// byte for byte, and records what arrived on which connection. It serves on its own thread, so a
// client may block on the test's thread; connections are served one after the other.
#pragma once

#include "tests/net/ScriptedServer.h"

namespace orvex::test {

class ScriptedHttpServer {
public:
    std::string host() const { return "127.0.0.1:" + std::to_string(server_.Port()); } // for URLs

    // The reply to the next request; closeAfter closes the connection once it is sent. A request
    // with no reply left is answered by closing the connection.
    void addReply(std::string bytes, bool closeAfter = false) {
        std::lock_guard lock(mutex_);
        replies_.push_back({std::move(bytes), closeAfter});
    }

    struct Request {
        std::string head; // request line and header lines, up to and with the empty line
        int connection;   // 1 for the first connection accepted, 2 for the next, ...
    };
    std::vector<Request> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int connections() const { return server_.Connections(); }

private:
    struct Reply {
        std::string bytes;
        bool closeAfter;
    };

    void serve(ServerConnection& connection) {
        const int number = server_.Connections();
        for (std::string head; !(head = connection.ReadRequest()).empty();) {
            Reply reply{{}, true};
            {
                std::lock_guard lock(mutex_);
                requests_.push_back({head, number});
                if (nextReply_ < replies_.size()) reply = replies_[nextReply_++];
            }
            connection.Send(reply.bytes);
            if (reply.closeAfter) return;
        }
    }

    mutable std::mutex mutex_;
    std::vector<Reply> replies_;
    std::size_t nextReply_ = 0;
    std::vector<Request> requests_;
    ScriptedServer server_{
        [this](ServerConnection& connection) { serve(connection); }}; // last: it starts serving
};

} // namespace orvex::test
