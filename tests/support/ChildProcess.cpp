#include "tests/support/ChildProcess.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvex::test {

namespace {

bool writeFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

bool loopbackUp() {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
    ::close(s);
    return ok;
}

std::string prepare(const ChildSetup& setup) {
    if (setup.ownNetwork) {
        if (::unshare(CLONE_NEWNET) != 0) return "unshare failed";
        if (!loopbackUp()) return "loopback not up";
        if (!setup.pingGroupRange.empty() &&
            !writeFile("/proc/sys/net/ipv4/ping_group_range", setup.pingGroupRange))
            return "ping_group_range not writable";
        if (setup.ignoreEchoRequests && !writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            return "icmp_echo_ignore_all not writable";
        if (!setup.setupScript.empty()) {
            const int rc = std::system(("set -e\n" + setup.setupScript).c_str());
            if (rc != 0) return "setup script failed (" + std::to_string(rc) + ")";
        }
    }
    if (setup.asNobody) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return "cannot become nobody";
    }
    return {};
}

} // namespace

bool canIsolate() {
    return ::geteuid() == 0;
}

std::optional<std::string> runInChild(const ChildSetup& setup, const std::function<std::string()>& body,
                                      std::string* why) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string answer;
        char status = 'R';
        if (std::string failure = prepare(setup); !failure.empty()) {
            status = 'S';
            answer = failure;
        } else {
            try {
                answer = body();
            } catch (const std::exception& e) {
                answer = std::string("exception: ") + e.what();
            }
        }
        const std::string message = status + answer;
        std::size_t done = 0;
        while (done < message.size()) {
            const ssize_t n = ::write(pipeFds[1], message.data() + done, message.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string message;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0)
        message.append(chunk, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (message.empty() || message[0] != 'R') {
        if (why) *why = message.empty() ? "child died" : message.substr(1);
        return std::nullopt;
    }
    return message.substr(1);
}

} // namespace orvex::test
