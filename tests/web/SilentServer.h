// A loopback server for the web windows' tests that takes connections and never answers.
#pragma once

#include <cstdint>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::test {

// A loopback server that takes connections into its queue and never answers. With full set, its
// queue is already full, so a further connect waits in vain.
class SilentServer {
public:
    explicit SilentServer(bool full) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (full) {
            filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~SilentServer() { close(); }
    // Closing resets the queued connections, so a client still waiting on one gives up.
    void close() {
        if (fd_ >= 0) ::close(fd_);
        if (filler_ >= 0) ::close(filler_);
        fd_ = filler_ = -1;
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace orvex::test
