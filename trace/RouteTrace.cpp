#include "trace/RouteTrace.h"

#include <poll.h>

#include <algorithm>
#include <cmath>

namespace orvex {

double HopStats::stdevMs() const {
    return received < 2 ? 0.0 : std::sqrt(squares / (received - 1));
}

void HopStats::answered(double ms) {
    lastMs = ms;
    bestMs = received == 0 ? ms : std::min(bestMs, ms);
    worstMs = received == 0 ? ms : std::max(worstMs, ms);
    ++received;
    const double delta = ms - meanMs;
    meanMs += delta / received;
    squares += delta * (ms - meanMs);
}

bool likelyRateLimited(const RouteSnapshot& route, std::size_t hopIndex) {
    if (!route.reached || route.hops.empty() || hopIndex + 1 >= route.hops.size()) return false;
    const HopStats& hop = route.hops[hopIndex];
    return hop.lost > 0 && hop.received > 0 && route.hops.back().lost == 0;
}

RouteTrace::RouteTrace(std::string host, std::unique_ptr<ProbeSocket> socket, RouteOptions options)
    : host_(std::move(host)), socket_(std::move(socket)), options_(options), lastHop_(options.maxHops) {
    hops_.resize(static_cast<std::size_t>(options_.maxHops));
    for (int i = 0; i < options_.maxHops; ++i)
        hops_[static_cast<std::size_t>(i)].hop = i + 1;
}

void RouteTrace::sendRound(Clock::time_point now) {
    const int round = roundsStarted_++;
    int& unsettled = unsettled_[round];
    for (int hop = 1; hop <= lastHop_; ++hop) {
        const std::uint16_t tag = nextTag_++;
        if (nextTag_ == 0) nextTag_ = 1;
        if (pending_.contains(tag)) settle(tag, nullptr); // wrapped onto a probe still out: lost
        ++unsettled;
        const Clock::time_point sentAt = hop == 1 ? now : Clock::now();
        pending_[tag] = Probe{hop, round, sentAt};
        order_.emplace_back(tag, sentAt);
        ++probesSent_;
        if (!socket_->send(hop, tag)) settle(tag, nullptr);
    }
}

void RouteTrace::endPathAt(int hop) {
    if (hop >= lastHop_) return;
    lastHop_ = hop;
    hops_.resize(static_cast<std::size_t>(hop));
    // Probes beyond the end went to the target or past it; they settle without counting.
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.hop > hop) {
            --unsettled_[it->second.round];
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

void RouteTrace::settle(std::uint16_t tag, const ProbeAnswer* answer) {
    const auto it = pending_.find(tag);
    if (it == pending_.end()) return; // late, foreign, or beyond the end of the path
    const Probe probe = it->second;
    pending_.erase(it);
    --unsettled_[probe.round];
    if (answer != nullptr) {
        if (answer->kind == ProbeAnswerKind::Reached) {
            reached_ = true;
            endPathAt(probe.hop);
        } else if (answer->kind == ProbeAnswerKind::Unreachable && !reached_) {
            endPathAt(probe.hop);
        }
    }
    if (probe.hop > lastHop_) return;
    Settled outcome{probe.hop, answer != nullptr, ProbeAnswerKind::HopExpired, {}, 0};
    if (answer != nullptr) {
        outcome.kind = answer->kind;
        outcome.from = answer->from;
        outcome.ms = std::chrono::duration<double, std::milli>(answer->at - probe.sentAt).count();
    }
    settled_[probe.round].push_back(std::move(outcome));
}

void RouteTrace::apply(int round) {
    const auto it = settled_.find(round);
    if (it == settled_.end()) return;
    for (const Settled& outcome : it->second) {
        if (outcome.hop > lastHop_) continue; // beyond the end found later in the round
        HopStats& hop = hops_[static_cast<std::size_t>(outcome.hop - 1)];
        if (!outcome.answered) {
            ++hop.lost;
            continue;
        }
        hop.address = outcome.from;
        hop.unreachable = outcome.kind == ProbeAnswerKind::Unreachable;
        hop.answered(outcome.ms);
    }
    settled_.erase(it);
}

void RouteTrace::run(const std::function<bool()>& stopRequested,
                     const std::function<void(const RouteSnapshot&)>& onRound) {
    const auto interval = std::chrono::milliseconds(std::max(options_.intervalMs, 1));
    const auto timeout = std::chrono::milliseconds(std::max(options_.timeoutMs, 1));
    Clock::time_point nextRound = Clock::now();
    std::vector<ProbeAnswer> answers;
    for (;;) {
        if (stopRequested && stopRequested()) return;
        Clock::time_point now = Clock::now();
        const bool moreRounds = options_.rounds == 0 || roundsStarted_ < options_.rounds;
        if (moreRounds && now >= nextRound) {
            sendRound(now);
            // A late start (a slow machine) shifts the schedule instead of bunching rounds.
            nextRound = std::max(nextRound + interval, now);
        }
        answers.clear();
        socket_->drain(answers);
        for (const ProbeAnswer& answer : answers)
            settle(answer.tag, &answer);
        now = Clock::now();
        while (!order_.empty()) {
            const auto [tag, sentAt] = order_.front();
            if (pending_.contains(tag) && now - sentAt < timeout) break;
            order_.pop_front();
            settle(tag, nullptr);
        }
        while (!unsettled_.empty() && unsettled_.begin()->second == 0) {
            apply(unsettled_.begin()->first);
            unsettled_.erase(unsettled_.begin());
            ++roundsSettled_;
            if (onRound) onRound(snapshot());
        }
        if (!moreRounds && pending_.empty()) return;
        Clock::time_point wake = now + std::chrono::milliseconds(50);
        if (moreRounds) wake = std::min(wake, nextRound);
        if (!order_.empty()) wake = std::min(wake, order_.front().second + timeout);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        pollfd p{socket_->fd(), POLLIN | POLLERR, 0};
        ::poll(&p, 1, static_cast<int>(std::max<long long>(wait, 0)));
    }
}

RouteSnapshot RouteTrace::snapshot() const {
    RouteSnapshot s;
    s.host = host_;
    s.target = socket_->target();
    s.method = socket_->method();
    s.rounds = roundsSettled_;
    s.reached = reached_;
    std::size_t shown = hops_.size();
    if (!reached_) {
        std::size_t lastAnswered = 0;
        for (std::size_t i = 0; i < hops_.size(); ++i)
            if (hops_[i].received > 0) lastAnswered = i + 1;
        shown = std::min(hops_.size(), lastAnswered + 1);
        if (!hops_.empty() && lastAnswered > 0 && hops_[lastAnswered - 1].unreachable) shown = lastAnswered;
    }
    s.hops.assign(hops_.begin(), hops_.begin() + static_cast<std::ptrdiff_t>(shown));
    return s;
}

} // namespace orvex
