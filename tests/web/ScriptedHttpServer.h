// A loopback HTTP server for tests that answers each request head with the next scripted reply,
// byte for byte, and records what arrived and on which connection. Runs on its own thread, so a
// client may block on the test's thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvex::test {

class ScriptedHttpServer {
public:
    ScriptedHttpServer();  // listens on 127.0.0.1, a free port
    ~ScriptedHttpServer(); // stops the thread, closes every socket

    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); } // host:port for URLs

    // The reply to the next request; closeAfter closes the connection once it is sent. A request
    // with no reply left is answered by closing the connection.
    void addReply(std::string bytes, bool closeAfter = false);

    struct Request {
        std::string head; // request line and header lines, up to and with the empty line
        int connection;   // 1 for the first connection accepted, 2 for the next, ...
    };
    std::vector<Request> requests() const;
    int connections() const;

private:
    void run();

    struct Reply {
        std::string bytes;
        bool closeAfter;
    };
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Reply> replies_;
    std::size_t nextReply_ = 0;
    std::vector<Request> requests_;
    int connections_ = 0;
    std::thread thread_;
};

} // namespace orvex::test
