// The decisions of the main window's "Ping" box, without the window: the reply line, the notice
// and failure texts, and the run itself. The window supplies its parts as callbacks.
// A run blocks its caller until the last request has finished; the window runs it on a worker
// thread, and the view's callbacks are called on that thread.
#pragma once

#include "net/TNxIcmpClient.h"

#include <functional>
#include <span>
#include <string>

namespace orvex {

// The longest wait for each answer; set on the client at every run.
inline constexpr int kPingReceiveTimeoutMs = 1000;

// UTF-8 texts.
extern const char* const kPingInputNotice;
extern const char* const kPingFailureCaption;
extern const char* const kPingFailureText;

// "72 bytes - icmp_seq=3489 - ttl=55 - time=23 ms"; "time<1 ms" for 0 ms. Outcome and source
// do not appear.
std::string PingReplyLine(const TReplyStatus& status);

// The line that closes a run, in Windows-1252 bytes like the reply lines (Ø is the byte 0xD8):
//   "--- 9/10 beantwortet, 10 % Verlust, Ø 3 ms (1-9)"
// (short enough to fit the reply list at the usual counts: the average, then the range).
// replies are the records of the finished requests, in order. Sent counts them, received the echo
// answers among them (unreachable and time-exceeded messages come from a router, not from the
// host, and count as lost, as with ping). Loss is the whole percent of unanswered requests rounded
// down, except that a run with any request unanswered never shows 0 %. Average and range are the
// round-trip times of the echo answers (timeouts do not enter), the average rounded to the nearest
// millisecond; a run without any answer ends after "Verlust". Empty when no line is due: after the
// failure box, and when fewer than two requests finished (a run of one request, whose line says it
// all, or a run stopped before its second request).
std::string PingSummaryLine(std::span<const TReplyStatus> replies, bool failed);

struct PingBoxView {
    std::function<void()> showInputNotice; // the notice, then the focus to the host field
    std::function<void()> clearReplies;
    std::function<void()> showFailure;                  // the failure box
    std::function<void(const std::string&)> addSummary; // the closing line (Windows-1252)
};

// The "Start" handler. host is the field's text as bytes, used as typed; countText is the count
// field's text (UTF-8). An empty host shows the notice and touches nothing else. Otherwise the
// list is emptied, the client set up (onReply, 1000 ms, host) and the count read: a text that is
// no integer raises EConvertError to the caller. Then count exchanges run one after another; the
// first exception ends the run and shows the failure box. stopRequested, when set, is asked before
// each request; true ends the run there (a request in flight that then fails shows no box). A run
// that was not ended by a failure closes with the summary line (PingSummaryLine) when one is due. An
// IPv6 address, or a name with IPv6 addresses and no IPv4 address, is pinged with ICMPv6 echo
// (TNxIcmp6Echo) instead.
// Returns the number of exchanges that finished.
int RunPingBox(TNxIcmpClient& icmp, const std::string& host, const std::string& countText,
               const TOnReplyEvent& onReply, const PingBoxView& view,
               const std::function<bool()>& stopRequested = {});

} // namespace orvex
