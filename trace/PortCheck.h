// The port check: a timed TCP connect to each port of a host, repeated like the ping box's
// requests, never more than 64 connects in flight. Plain C++; runs on its caller's thread.
#pragma once

#include "trace/TraceTarget.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

inline constexpr int kMaxPortsPerCheck = 1024;
inline constexpr int kMaxConnectsInFlight = 64;

enum class PortState {
    Open,        // the connect succeeded
    Closed,      // the host answered with a reset
    NoAnswer,    // nothing came back within the time limit (a filter dropped it)
    Unreachable, // an ICMP error (no route, host or port administratively unreachable)
};

// "offen", "geschlossen", "keine Antwort", "unerreichbar"
const char* portStateText(PortState state);
// "open", "closed", "no answer", "unreachable"
const char* portStateJson(PortState state);

struct PortAttempt {
    PortState state = PortState::NoAnswer;
    double ms = 0; // from the connect to its answer (the time limit for NoAnswer)
};

struct PortResult {
    int port = 0;
    std::vector<PortAttempt> attempts; // in the order they finished

    // Open when any attempt was, else closed when any was, else unreachable when any was.
    PortState state() const;
    // Attempts the host answered (open or closed) and their average time; 0 when none.
    int answered() const;
    double averageMs() const;
};

struct PortCheckOptions {
    int count = 3;        // connects per port
    int timeoutMs = 2000; // a connect without an answer after this long is "keine Antwort"
    int inFlight = kMaxConnectsInFlight;
};

// The ports of "22", "8000-8010", "22,80,443-445"; nullopt and a message for a text that is no such
// list, a port outside 1..65535, a range that runs backwards, or more than 1024 ports in all.
// Ports keep the order given; a port given twice is checked once.
std::optional<std::vector<int>> parsePortList(const std::string& text, std::string& error);

// Checks every port count times, up to options.inFlight connects at a time (each port's first
// connect before any port's second). onAttempt, when set, hears each finished connect (on this
// thread). stopRequested is asked at least every 50 ms; a stop closes the connects in flight and
// returns what has finished.
std::vector<PortResult> runPortCheck(const TraceTarget& target, const std::vector<int>& ports,
                                     const PortCheckOptions& options,
                                     const std::function<bool()>& stopRequested,
                                     const std::function<void(int port, const PortAttempt&)>& onAttempt = {});

// One port's line: "22/tcp offen - 3/3 beantwortet - Ø 1 ms (0-2)";
// "81/tcp keine Antwort (Zeitlimit 2000 ms) - 0/3 beantwortet". UTF-8.
std::string portLine(const PortResult& result, int timeoutMs);
// The closing line in the ping box's style: "--- 2/3 Ports offen, 7/9 beantwortet, 22 % Verlust,
// Ø 1 ms (0-3)" (loss rounded down, but never 0 % with anything lost; the times are whole ms of
// the answered connects). UTF-8.
std::string portSummaryLine(const std::vector<PortResult>& results);
// Headline, one line per port, the summary line.
std::string portReportText(const std::string& host, const TraceTarget& target,
                           const std::vector<PortResult>& results, int timeoutMs);
// [{"port", "state", "sent", "answered", "avg_ms"}, ...]; avg_ms null when nothing answered.
std::string portReportJson(const std::vector<PortResult>& results);

} // namespace orvex
