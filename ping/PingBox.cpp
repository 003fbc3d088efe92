#include "ping/PingBox.h"

#include "platform/Convert.h"

namespace orvex {

const char* const kPingInputNotice = "Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1 \n"
                                     "oder einen Hostnamen:  z.B. www.debian.org";
const char* const kPingFailureCaption = "Fehler";
const char* const kPingFailureText = "Ping fehlgeschlagen!\n"
                                     "Mögliche Ursachen:\n"
                                     "a) Ungültiger Host\n"
                                     "b) Keine Internetverbindung?";

std::string PingReplyLine(const TReplyStatus& status) {
    std::string line = std::to_string(status.ByteCount) +
                       " bytes - icmp_seq=" + std::to_string(status.Sequence) +
                       " - ttl=" + std::to_string(status.Ttl) + " - time";
    line += status.RoundTripMs > 0 ? "=" + std::to_string(status.RoundTripMs) : std::string("<1");
    return line + " ms";
}

int RunPingBox(TNxIcmpClient& icmp, const std::string& host, const std::string& countText,
               const TOnReplyEvent& onReply, const PingBoxView& view) {
    if (host.empty()) {
        view.showInputNotice();
        return 0;
    }
    view.clearReplies();
    icmp.OnReply = onReply;
    icmp.ReceiveTimeout = kPingReceiveTimeoutMs;
    icmp.Host = host;
    const int count = StrToInt(countText);
    int done = 0;
    try {
        for (; done < count; ++done)
            icmp.ExchangeEcho();
    } catch (...) {
        view.showFailure();
    }
    return done;
}

} // namespace orvex
