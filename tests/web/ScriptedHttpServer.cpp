#include "tests/web/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <stdexcept>

namespace orvex::test {

namespace {

void sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += std::size_t(n);
    }
}

} // namespace

ScriptedHttpServer::ScriptedHttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (listenFd_ < 0 || wakeFd_ < 0) throw std::runtime_error("scripted server: socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 8) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("scripted server: bind");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(listenFd_);
    ::close(wakeFd_);
}

void ScriptedHttpServer::addReply(std::string bytes, bool closeAfter) {
    std::lock_guard lock(mutex_);
    replies_.push_back({std::move(bytes), closeAfter});
}

std::vector<ScriptedHttpServer::Request> ScriptedHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int ScriptedHttpServer::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

void ScriptedHttpServer::run() {
    struct Connection {
        int number;
        std::string pending;
    };
    std::map<int, Connection> open; // by fd
    for (;;) {
        std::vector<pollfd> fds = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const auto& [fd, connection] : open)
            fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                std::lock_guard lock(mutex_);
                open[fd] = {++connections_, {}};
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            const int fd = fds[i].fd;
            Connection& connection = open[fd];
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            bool closeNow = n <= 0;
            if (n > 0) connection.pending.append(buffer, std::size_t(n));
            for (std::size_t end;
                 !closeNow && (end = connection.pending.find("\r\n\r\n")) != std::string::npos;) {
                Reply reply{{}, true};
                {
                    std::lock_guard lock(mutex_);
                    requests_.push_back({connection.pending.substr(0, end + 4), connection.number});
                    if (nextReply_ < replies_.size()) reply = replies_[nextReply_++];
                }
                connection.pending.erase(0, end + 4);
                sendAll(fd, reply.bytes);
                closeNow = reply.closeAfter;
            }
            if (closeNow) {
                ::close(fd);
                open.erase(fd);
            }
        }
    }
    for (const auto& [fd, connection] : open)
        ::close(fd);
}

} // namespace orvex::test
