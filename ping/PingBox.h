// The decisions of the main window's "Ping" box, without the window: the reply line, the notice
// and failure texts, and the run itself. The window supplies its parts as callbacks.
// UI thread only: a run blocks its caller until the last request has finished.
#pragma once

#include "net/TNxIcmpClient.h"

#include <functional>
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

struct PingBoxView {
    std::function<void()> showInputNotice; // the notice, then the focus to the host field
    std::function<void()> clearReplies;
    std::function<void()> showFailure; // the failure box
};

// The "Start" handler. host is the field's text as bytes, used as typed; countText is the count
// field's text (UTF-8). An empty host shows the notice and touches nothing else. Otherwise the
// list is emptied, the client set up (onReply, 1000 ms, host) and the count read: a text that is
// no integer raises EConvertError to the caller. Then count exchanges run one after another; the
// first exception ends the run and shows the failure box.
// Returns the number of exchanges that finished.
int RunPingBox(TNxIcmpClient& icmp, const std::string& host, const std::string& countText,
               const TOnReplyEvent& onReply, const PingBoxView& view);

} // namespace orvex
