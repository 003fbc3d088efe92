// Continuous route tracing with per-hop statistics, as the path tools that show loss per hop do:
// every round sends one probe per hop limit (1 up to the target, at most maxHops), answers are
// matched to their probe by tag, and each hop keeps loss and round-trip figures. Rounds overlap
// when the interval is shorter than the timeout: a probe counts as lost only when its own timeout
// has passed. Plain C++; the trace runs on its caller's thread (a worker, never the UI thread).
#pragma once

#include "trace/ProbeSocket.h"
#include "trace/TraceTarget.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvex {

struct HopStats {
    int hop = 0;
    std::string address; // the last address that answered for this hop; empty: none ever did
    std::string name;    // reverse name of address, filled in by whoever shows the hop
    int received = 0;
    int lost = 0;             // probes whose timeout passed without an answer
    bool unreachable = false; // this hop answered "destination unreachable": the path ends here
    double lastMs = 0, bestMs = 0, worstMs = 0, meanMs = 0;
    double squares = 0; // sum of squared distances from the mean (Welford)

    int sent() const { return received + lost; } // probes settled, answered or timed out
    double lossPct() const { return sent() == 0 ? 0.0 : 100.0 * lost / sent(); }
    double stdevMs() const;
    void answered(double ms);
};

struct RouteSnapshot {
    std::string host; // as the user gave it
    TraceTarget target;
    ProbeMethod method = ProbeMethod::Datagram;
    int rounds = 0; // rounds whose probes are all settled
    bool reached = false;
    std::vector<HopStats> hops; // hop 1 first; trailing hops that never answered are left out,
                                // except one when the target was not reached (where it stops)
};

// Per-hop loss at a hop before the target while the target, reached, loses nothing: routers that
// limit their time-exceeded answers, not a fault on the path.
bool likelyRateLimited(const RouteSnapshot& route, std::size_t hopIndex);

struct RouteOptions {
    int maxHops = 30;
    int intervalMs = 1000; // from one round's start to the next
    int timeoutMs = 1000;  // a probe without an answer after this long is lost
    int rounds = 0;        // 0: until stopped
};

class RouteTrace {
public:
    RouteTrace(std::string host, std::unique_ptr<ProbeSocket> socket, RouteOptions options);

    // Runs rounds until options.rounds have settled or stopRequested() says so; it is asked at
    // least every 50 ms, and a stop returns at once. The figures take in whole rounds only: after
    // every settled round (all its probes answered or timed out) onRound gets them. A failed send
    // (no route, for instance) counts the probe as lost.
    void run(const std::function<bool()>& stopRequested,
             const std::function<void(const RouteSnapshot&)>& onRound);

    RouteSnapshot snapshot() const;
    std::uint64_t probesSent() const { return probesSent_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Probe {
        int hop;
        int round;
        Clock::time_point sentAt;
    };
    void sendRound(Clock::time_point now);
    void settle(std::uint16_t tag, const ProbeAnswer* answer);
    void endPathAt(int hop);
    void apply(int round);

    std::string host_;
    std::unique_ptr<ProbeSocket> socket_;
    RouteOptions options_;
    std::vector<HopStats> hops_;
    int lastHop_; // highest hop probed: the target's (or the unreachable one), else maxHops
    bool reached_ = false;
    std::uint16_t nextTag_ = 1;
    std::unordered_map<std::uint16_t, Probe> pending_;
    std::deque<std::pair<std::uint16_t, Clock::time_point>> order_; // tags by send time
    std::map<int, int> unsettled_;                                  // round -> probes not yet settled
    struct Settled {
        int hop;
        bool answered;
        ProbeAnswerKind kind;
        std::string from;
        double ms;
    };
    // A probe's outcome waits until its whole round has settled; then every hop gets its outcome
    // of that round at once, so all hops always show the same rounds.
    std::map<int, std::vector<Settled>> settled_; // round -> outcomes of its settled probes
    int roundsStarted_ = 0;
    int roundsSettled_ = 0;
    std::uint64_t probesSent_ = 0;
};

} // namespace orvex
