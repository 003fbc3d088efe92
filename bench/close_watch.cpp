// bench_close_watch: the history's watch of closing connections under a stream of short loopback
// connections. Opens RATE connections per second for SECONDS seconds (each: connect, 16 bytes
// each way, close both ends), paced in 10 ms steps, while a TcpCloseWatch takes what the kernel
// reports every 500 ms as the history's poll does. Counts the closings of its own sockets (the
// client end has the listener's port as remote port, the server end as local port) against the
// number it made, and prints the processor time of the whole process and of the pacing thread
// (the difference is the watch's listener and the kernel work it causes on its behalf).
//
//   bench_close_watch [RATE] [SECONDS] [4|6]      defaults: 2000 5 4
#include "platform/TcpCloseWatch.h"

#include "CpuTime.h"
#include "LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

using namespace orvex;

int main(int argc, char** argv) {
    const int rate = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    const bool v6 = argc > 3 && std::strcmp(argv[3], "6") == 0;

    TcpCloseWatch watch;
    if (!watch.start()) {
        std::fprintf(stderr, "no closing broadcasts here\n");
        return 1;
    }
    LoopbackListener loopback = listenOnLoopback(v6);
    if (loopback.fd < 0) return 1;
    auto& [listener, family, address, length, port] = loopback;
    const std::uint32_t rowPort = tcpRowPort(port);

    std::size_t clientEnds = 0, serverEnds = 0, lost = 0;
    std::vector<ClosedTcpSocket> closed;
    auto take = [&] {
        lost += watch.take(closed);
        for (const ClosedTcpSocket& c : closed) {
            if (c.Row.RemotePort == rowPort) ++clientEnds;
            if (c.Row.LocalPort == rowPort) ++serverEnds;
        }
    };

    const double processStart = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double threadStart = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    auto nextTake = start + std::chrono::milliseconds(500);
    const int total = rate * seconds;
    const int perStep = rate / 100;
    char data[16] = {};
    int made = 0;
    for (int step = 0; made < total; ++step) {
        for (int i = 0; i < perStep && made < total; ++i, ++made) {
            const int client = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (client < 0 || ::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0) {
                std::perror("connect");
                return 1;
            }
            const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            ::send(client, data, sizeof data, 0);
            ::recv(server, data, sizeof data, 0);
            ::send(server, data, sizeof data, 0);
            ::recv(client, data, sizeof data, 0);
            ::close(client);
            ::close(server);
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (step + 1)));
        if (std::chrono::steady_clock::now() >= nextTake) {
            take();
            nextTake += std::chrono::milliseconds(500);
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the last closings
    take();
    const double processMs = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    const double pacingMs = cpuMs(CLOCK_THREAD_CPUTIME_ID) - threadStart;
    std::printf("made %d connections in %.2f s (%.0f/s), IPv%d\n", made, elapsed, made / elapsed, v6 ? 6 : 4);
    std::printf("closings seen: %zu client ends, %zu server ends; missed %d; lost reported %zu\n", clientEnds,
                serverEnds, 2 * made - static_cast<int>(clientEnds + serverEnds), lost);
    std::printf("cpu: process %.0f ms, pacing thread %.0f ms, watch %.0f ms (%.1f %% of one core)\n",
                processMs, pacingMs, processMs - pacingMs, (processMs - pacingMs) / (elapsed * 10));
    return clientEnds == static_cast<std::size_t>(made) && serverEnds == static_cast<std::size_t>(made) ? 0
                                                                                                        : 1;
}
