// tun_link NETNS_A IF_A NETNS_B IF_B DELAY_MS PIDFILE
// A point-to-point link between two network namespaces that holds every packet DELAY_MS ms in each
// direction: a tun device in each namespace, and this process copying packets between them. It
// stands in for the netem delay the test machine's kernel lacks. Creates both devices, writes its
// pid to PIDFILE, and runs in the background until killed or until a device goes away.
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

int openTun(const char* netns, const char* name) {
    const int ns = ::open(netns, O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
        std::perror(netns);
        std::exit(1);
    }
    ::close(ns);
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    if (fd < 0 || ::ioctl(fd, TUNSETIFF, &request) != 0) {
        std::perror("/dev/net/tun");
        std::exit(1);
    }
    return fd;
}

using Clock = std::chrono::steady_clock;
struct Held {
    Clock::time_point due;
    int to;
    std::vector<char> bytes;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: tun_link NETNS_A IF_A NETNS_B IF_B DELAY_MS PIDFILE\n");
        return 2;
    }
    const int a = openTun(argv[1], argv[2]);
    const int b = openTun(argv[3], argv[4]);
    const auto delay = std::chrono::milliseconds(std::atoi(argv[5]));
    const pid_t child = ::fork();
    if (child < 0) return 1;
    if (child > 0) {
        FILE* pidfile = std::fopen(argv[6], "w");
        if (pidfile == nullptr) return 1;
        std::fprintf(pidfile, "%d\n", child);
        std::fclose(pidfile);
        return 0;
    }
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::deque<Held> held; // in due order: one delay for every packet
    std::vector<char> buffer(65536);
    for (;;) {
        int wait = -1;
        if (!held.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(held.front().due - Clock::now()).count();
            wait = static_cast<int>(left < 0 ? 0 : left);
        }
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(fds, 2, wait) < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) return 0;
            if (!(fds[i].revents & POLLIN)) continue;
            for (;;) {
                const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
                if (n <= 0) break;
                held.push_back({Clock::now() + delay, i == 0 ? b : a, {buffer.begin(), buffer.begin() + n}});
            }
        }
        const auto now = Clock::now();
        while (!held.empty() && held.front().due <= now) {
            const Held& h = held.front();
            if (::write(h.to, h.bytes.data(), h.bytes.size()) < 0 && errno == EBADFD) return 0;
            held.pop_front();
        }
    }
}
