// bench_hold_connections: opens COUNT established TCP connections over loopback (127.0.0.1, or
// ::1 with family 6) and keeps them until its standard input ends, so that other programs can
// read a large connection table. Prints "ready N" once they stand. The client ends live in a
// child process, so each process needs about one descriptor per connection.
//
//   bench_hold_connections COUNT [4|6]
#include "LoopbackListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_hold_connections COUNT [4|6]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const bool v6 = argc > 2 && std::strcmp(argv[2], "6") == 0;

    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t wanted = static_cast<rlim_t>(count) + 64;
    if (limit.rlim_cur < wanted) {
        if (limit.rlim_max < wanted) limit.rlim_max = wanted;
        limit.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::perror("setrlimit");
            return 1;
        }
    }

    LoopbackListener loopback = listenOnLoopback(v6);
    if (loopback.fd < 0) return 1;
    auto& [listener, family, address, length, port] = loopback;
    int hold[2];
    if (::pipe2(hold, O_CLOEXEC) != 0) {
        std::perror("pipe");
        return 1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(hold[1]);
        std::vector<int> clients;
        clients.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const int client = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (client < 0 || ::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0) {
                std::perror("connect");
                ::_exit(1);
            }
            clients.push_back(client);
        }
        char byte;
        while (::read(hold[0], &byte, 1) > 0) {
        }
        ::_exit(0); // the parent closed its end: drop the connections
    }
    ::close(hold[0]);
    std::vector<int> ends;
    ends.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (server < 0) {
            std::perror("accept");
            return 1;
        }
        ends.push_back(server);
    }
    std::printf("ready %d\n", count);
    std::fflush(stdout);
    char byte;
    while (::read(0, &byte, 1) > 0) {
    }
    ::close(hold[1]);
    ::waitpid(child, nullptr, 0);
    return 0;
}
