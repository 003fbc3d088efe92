// bench_ping_loop: the ping box's run without the window, for side-by-side runs with ping.
//
//   bench_ping_loop HOST COUNT
//
// Runs COUNT echo exchanges back to back through the same client and the same run as the ping
// box (RunPingBox: 1000 ms wait per answer), formatting each answer's line and the closing
// summary as the box lists them.
// Prints the number of answers; exits 1 when the run failed or an answer was missing.
#include "ping/PingBox.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    using namespace orvex;
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_ping_loop HOST COUNT\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    TNxIcmpClient icmp;
    int answered = 0;
    std::size_t listed = 0;
    bool failed = false;
    PingBoxView view;
    view.showInputNotice = [&] { failed = true; };
    view.clearReplies = [] {};
    view.showFailure = [&] { failed = true; };
    view.addSummary = [&](const std::string& line) { listed += line.size(); };
    try {
        RunPingBox(
            icmp, argv[1], argv[2],
            [&](TNxIcmpClient&, const TReplyStatus& status) {
                listed += PingReplyLine(status).size();
                if (status.Outcome == TReplyOutcome::roEchoReply) ++answered;
            },
            view);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%d of %d answered (%zu bytes of reply lines)\n", answered, count, listed);
    if (failed || answered != count) {
        std::fprintf(stderr, "%d of %d answered%s\n", answered, count, failed ? ", the run failed" : "");
        return 1;
    }
    return 0;
}
