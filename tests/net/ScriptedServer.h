// A TCP server on a loopback port that a test scripts: for each accepted connection it runs the
// test's handler on its own thread, one connection after the other, and records what arrived.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvex::test {

class ServerConnection {
public:
    explicit ServerConnection(int fd) : fd_(fd) {}
    ~ServerConnection() { Close(); }

    // The next request head, up to and including its empty line; empty when the peer closed.
    std::string ReadRequest() {
        while (true) {
            const std::size_t end = pending_.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::string head = pending_.substr(0, end + 4);
                pending_.erase(0, end + 4);
                return head;
            }
            char buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return {};
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    // True when the peer closed within the wait (it sends nothing else in these tests).
    bool WaitForPeerClose(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return false;
        char c;
        return ::recv(fd_, &c, 1, MSG_PEEK) == 0;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int Fd() const { return fd_; }

private:
    int fd_;
    std::string pending_;
};

class ScriptedServer {
public:
    using Handler = std::function<void(ServerConnection&)>;

    explicit ScriptedServer(Handler handler) : handler_(std::move(handler)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 16) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot listen on loopback");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedServer() {
        stopping_ = true;
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
    }

    int Port() const { return port_; }
    int Connections() const { return connections_; }

private:
    void Run() {
        while (!stopping_) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            ++connections_;
            ServerConnection c(fd);
            handler_(c);
        }
    }

    Handler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Requests a handler saw, shared with the test thread.
class RequestLog {
public:
    void Add(std::string r) {
        std::lock_guard lock(m_);
        requests_.push_back(std::move(r));
    }
    std::vector<std::string> All() const {
        std::lock_guard lock(m_);
        return requests_;
    }

private:
    mutable std::mutex m_;
    std::vector<std::string> requests_;
};

} // namespace orvex::test
