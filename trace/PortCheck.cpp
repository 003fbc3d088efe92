#include "trace/PortCheck.h"

#include "platform/Fd.h"
#include "platform/JsonText.h"
#include "trace/RouteReport.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>

namespace orvex {

namespace {

using Clock = std::chrono::steady_clock;

PortState stateOfError(int err) {
    switch (err) {
    case 0:
        return PortState::Open;
    case ECONNREFUSED:
        return PortState::Closed;
    case ETIMEDOUT:
        return PortState::NoAnswer;
    default: // EHOSTUNREACH, ENETUNREACH, EACCES (prohibited), ...
        return PortState::Unreachable;
    }
}

bool parseNumber(const std::string& text, long& value) {
    if (text.empty() || text.size() > 6) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stol(text);
    return true;
}

std::string wholeMs(double ms) {
    return std::to_string(static_cast<long long>(std::llround(ms)));
}

} // namespace

const char* portStateText(PortState state) {
    switch (state) {
    case PortState::Open:
        return "offen";
    case PortState::Closed:
        return "geschlossen";
    case PortState::NoAnswer:
        return "keine Antwort";
    case PortState::Unreachable:
        return "unerreichbar";
    }
    return "";
}

const char* portStateJson(PortState state) {
    switch (state) {
    case PortState::Open:
        return "open";
    case PortState::Closed:
        return "closed";
    case PortState::NoAnswer:
        return "no answer";
    case PortState::Unreachable:
        return "unreachable";
    }
    return "";
}

PortState PortResult::state() const {
    for (PortState s : {PortState::Open, PortState::Closed, PortState::Unreachable})
        for (const PortAttempt& a : attempts)
            if (a.state == s) return s;
    return PortState::NoAnswer;
}

int PortResult::answered() const {
    return static_cast<int>(std::count_if(attempts.begin(), attempts.end(), [](const PortAttempt& a) {
        return a.state == PortState::Open || a.state == PortState::Closed;
    }));
}

double PortResult::averageMs() const {
    double total = 0;
    int n = 0;
    for (const PortAttempt& a : attempts) {
        if (a.state != PortState::Open && a.state != PortState::Closed) continue;
        total += a.ms;
        ++n;
    }
    return n == 0 ? 0.0 : total / n;
}

std::optional<std::vector<int>> parsePortList(const std::string& text, std::string& error) {
    std::vector<int> ports;
    std::set<int> seen;
    std::size_t start = 0;
    if (text.empty()) {
        error = "kein Port angegeben";
        return std::nullopt;
    }
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        const std::size_t dash = part.find('-');
        long first = 0, last = 0;
        bool ok = false;
        if (dash == std::string::npos) {
            ok = parseNumber(part, first);
            last = first;
        } else {
            ok = parseNumber(part.substr(0, dash), first) && parseNumber(part.substr(dash + 1), last);
        }
        if (!ok) {
            error = "'" + part + "' ist kein Port und kein Port-Bereich (z.B. 80 oder 8000-8010)";
            return std::nullopt;
        }
        for (const long p : {first, last}) {
            if (p < 1 || p > 65535) {
                error = "Port " + std::to_string(p) + " liegt nicht zwischen 1 und 65535";
                return std::nullopt;
            }
        }
        if (last < first) {
            error = "Port-Bereich " + part + " läuft rückwärts";
            return std::nullopt;
        }
        if (last - first + 1 > kMaxPortsPerCheck) {
            error = "mehr als " + std::to_string(kMaxPortsPerCheck) + " Ports";
            return std::nullopt;
        }
        for (long p = first; p <= last; ++p) {
            if (seen.insert(static_cast<int>(p)).second) ports.push_back(static_cast<int>(p));
            if (ports.size() > static_cast<std::size_t>(kMaxPortsPerCheck)) {
                error = "mehr als " + std::to_string(kMaxPortsPerCheck) + " Ports";
                return std::nullopt;
            }
        }
        start = comma + 1;
    }
    return ports;
}

std::vector<PortResult> runPortCheck(const TraceTarget& target, const std::vector<int>& ports,
                                     const PortCheckOptions& options,
                                     const std::function<bool()>& stopRequested,
                                     const std::function<void(int port, const PortAttempt&)>& onAttempt) {
    std::vector<PortResult> results(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i)
        results[i].port = ports[i];
    struct Connect {
        std::size_t index;
        Fd socket;
        Clock::time_point started;
    };
    std::vector<Connect> flying;
    const std::size_t total = ports.size() * static_cast<std::size_t>(std::max(options.count, 0));
    const std::size_t limit = static_cast<std::size_t>(std::clamp(options.inFlight, 1, kMaxConnectsInFlight));
    const auto timeout = std::chrono::milliseconds(std::max(options.timeoutMs, 1));
    std::size_t next = 0;
    auto finish = [&](std::size_t index, PortState state, double ms) {
        const PortAttempt attempt{state, ms};
        results[index].attempts.push_back(attempt);
        if (onAttempt) onAttempt(results[index].port, attempt);
    };
    auto elapsedMs = [](Clock::time_point since) {
        return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
    };
    std::vector<pollfd> polls;
    while (next < total || !flying.empty()) {
        if (stopRequested && stopRequested()) break;
        while (next < total && flying.size() < limit) {
            const std::size_t index = next++ % ports.size();
            const TraceTarget to = target.withPort(ports[index]);
            Fd s(::socket(target.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
            const Clock::time_point started = Clock::now();
            if (!s.valid()) {
                finish(index, PortState::Unreachable, 0);
                continue;
            }
            if (::connect(s.get(), to.sockaddrPtr(), to.length) == 0) {
                finish(index, PortState::Open, elapsedMs(started));
            } else if (errno == EINPROGRESS) {
                flying.push_back(Connect{index, std::move(s), started});
            } else {
                finish(index, stateOfError(errno), elapsedMs(started));
            }
        }
        if (flying.empty()) continue;
        polls.clear();
        Clock::time_point earliest = flying.front().started;
        for (const Connect& c : flying) {
            polls.push_back(pollfd{c.socket.get(), POLLOUT, 0});
            earliest = std::min(earliest, c.started);
        }
        const auto untilTimeout =
            std::chrono::ceil<std::chrono::milliseconds>(earliest + timeout - Clock::now()).count();
        const int wait = static_cast<int>(std::clamp<long long>(untilTimeout, 0, 50));
        if (::poll(polls.data(), polls.size(), wait) < 0 && errno != EINTR) break;
        const Clock::time_point now = Clock::now();
        std::vector<Connect> still;
        for (std::size_t i = 0; i < flying.size(); ++i) {
            Connect& c = flying[i];
            if (polls[i].revents != 0) {
                int err = 0;
                socklen_t length = sizeof err;
                ::getsockopt(c.socket.get(), SOL_SOCKET, SO_ERROR, &err, &length);
                finish(c.index, stateOfError(err), elapsedMs(c.started));
            } else if (now - c.started >= timeout) {
                finish(c.index, PortState::NoAnswer, static_cast<double>(options.timeoutMs));
            } else {
                still.push_back(std::move(c));
            }
        }
        flying = std::move(still);
    }
    return results;
}

std::string portLine(const PortResult& result, int timeoutMs) {
    const PortState state = result.state();
    std::string line = std::to_string(result.port) + "/tcp " + portStateText(state);
    if (state == PortState::NoAnswer) line += " (Zeitlimit " + std::to_string(timeoutMs) + " ms)";
    line += " - " + std::to_string(result.answered()) + "/" + std::to_string(result.attempts.size()) +
            " beantwortet";
    if (result.answered() > 0) {
        double least = 1e18, most = 0;
        for (const PortAttempt& a : result.attempts) {
            if (a.state != PortState::Open && a.state != PortState::Closed) continue;
            least = std::min(least, a.ms);
            most = std::max(most, a.ms);
        }
        line +=
            " - \u00D8 " + wholeMs(result.averageMs()) + " ms (" + wholeMs(least) + "-" + wholeMs(most) + ")";
    }
    return line;
}

std::string portSummaryLine(const std::vector<PortResult>& results) {
    std::size_t open = 0, sent = 0, received = 0;
    double total = 0, least = 1e18, most = 0;
    for (const PortResult& r : results) {
        if (r.state() == PortState::Open) ++open;
        sent += r.attempts.size();
        for (const PortAttempt& a : r.attempts) {
            if (a.state != PortState::Open && a.state != PortState::Closed) continue;
            ++received;
            total += a.ms;
            least = std::min(least, a.ms);
            most = std::max(most, a.ms);
        }
    }
    const std::size_t lost = sent - received;
    std::size_t loss = sent == 0 ? 0 : lost * 100 / sent;
    if (lost > 0 && loss == 0) loss = 1;
    std::string line = "--- " + std::to_string(open) + "/" + std::to_string(results.size()) +
                       " Ports offen, " + std::to_string(received) + "/" + std::to_string(sent) +
                       " beantwortet, " + std::to_string(loss) + " % Verlust";
    if (received == 0) return line;
    return line + ", \u00D8 " + wholeMs(total / static_cast<double>(received)) + " ms (" + wholeMs(least) +
           "-" + wholeMs(most) + ")";
}

std::string portReportText(const std::string& host, const TraceTarget& target,
                           const std::vector<PortResult>& results, int timeoutMs) {
    std::string out = "Port-Test " + host + " (" + target.text + "), " +
                      (target.family == AF_INET6 ? "IPv6" : "IPv4") + "\n";
    for (const PortResult& r : results)
        out += portLine(r, timeoutMs) + "\n";
    return out + portSummaryLine(results) + "\n";
}

std::string portReportJson(const std::vector<PortResult>& results) {
    std::string out = "[";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const PortResult& r = results[i];
        char avg[32];
        std::snprintf(avg, sizeof avg, "%.3f", r.averageMs());
        out += std::string(i > 0 ? ", " : "") + "{\"port\": " + std::to_string(r.port) +
               ", \"state\": " + jsonString(portStateJson(r.state())) +
               ", \"sent\": " + std::to_string(r.attempts.size()) +
               ", \"answered\": " + std::to_string(r.answered()) +
               ", \"avg_ms\": " + (r.answered() > 0 ? std::string(avg) : "null") + "}";
    }
    return out + "]\n";
}

} // namespace orvex
