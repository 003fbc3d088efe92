#include "ping/PingBox.h"

#include "net/TNxIcmp6Echo.h"
#include "platform/Convert.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace orvex {

const char* const kPingInputNotice = "Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1 \n"
                                     "oder einen Hostnamen:  z.B. www.debian.org";
const char* const kPingFailureCaption = "Fehler";
const char* const kPingFailureText = "Ping fehlgeschlagen!\n"
                                     "Mögliche Ursachen:\n"
                                     "a) Ungültiger Host\n"
                                     "b) Keine Internetverbindung?";

namespace {

void appendNumber(std::string& line, long long value) {
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

} // namespace

std::string PingReplyLine(const TReplyStatus& status) {
    // Built in place: one allocation per line (a run formats one line per request).
    std::string line;
    line.reserve(64);
    appendNumber(line, status.ByteCount);
    line += " bytes - icmp_seq=";
    appendNumber(line, status.Sequence);
    line += " - ttl=";
    appendNumber(line, status.Ttl);
    line += " - time";
    if (status.RoundTripMs > 0) {
        line += '=';
        appendNumber(line, status.RoundTripMs);
    } else {
        line += "<1";
    }
    line += " ms";
    return line;
}

std::string PingSummaryLine(std::span<const TReplyStatus> replies, bool failed) {
    if (failed || replies.size() < 2) return {};
    const std::size_t sent = replies.size();
    std::size_t received = 0;
    std::uint32_t least = 0, most = 0;
    std::uint64_t total = 0;
    for (const TReplyStatus& r : replies) {
        if (r.Outcome != TReplyOutcome::roEchoReply) continue;
        least = received == 0 ? r.RoundTripMs : std::min(least, r.RoundTripMs);
        most = std::max(most, r.RoundTripMs);
        total += r.RoundTripMs;
        ++received;
    }
    const std::size_t lost = sent - received;
    std::size_t loss = lost * 100 / sent;
    if (lost > 0 && loss == 0) loss = 1;
    std::string line = "--- " + std::to_string(received) + "/" + std::to_string(sent) + " beantwortet, " +
                       std::to_string(loss) + " % Verlust";
    if (received == 0) return line;
    const std::uint64_t average = (total + received / 2) / received;
    return line + ", \xD8 " + std::to_string(average) + " ms (" + std::to_string(least) + "-" +
           std::to_string(most) + ")";
}

int RunPingBox(TNxIcmpClient& icmp, const std::string& host, const std::string& countText,
               const TOnReplyEvent& onReply, const PingBoxView& view,
               const std::function<bool()>& stopRequested) {
    if (host.empty()) {
        view.showInputNotice();
        return 0;
    }
    view.clearReplies();
    icmp.OnReply = onReply;
    icmp.ReceiveTimeout = kPingReceiveTimeoutMs;
    icmp.Host = host;
    const int count = StrToInt(countText);
    std::vector<TReplyStatus> replies;
    replies.reserve(static_cast<std::size_t>(std::clamp(count, 0, 1000)));
    int done = 0;
    try {
        // An IPv6 host goes through the ICMPv6 exchange, with the same client fields and events.
        TNxIcmp6Echo echo6;
        for (; done < count; ++done) {
            if (stopRequested && stopRequested()) break;
            echo6.RunExchange(icmp, host);
            replies.push_back(icmp.LastReply); // the record OnReply was given
        }
    } catch (...) {
        // A run the user stopped ends quietly, also when the request in flight failed.
        if (!(stopRequested && stopRequested())) view.showFailure();
        return done;
    }
    if (const std::string summary = PingSummaryLine(replies, false); !summary.empty() && view.addSummary)
        view.addSummary(summary);
    return done;
}

} // namespace orvex
