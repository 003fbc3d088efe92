// One ICMPv6 message examined against the request 3489 with identifier 0x1234 to 2001:db8::2. The
// first 16 bytes of the input are the sender's address, the rest the message.
#include "net/TNxIcmp6Echo.h"

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    in6_addr target{};
    ::inet_pton(AF_INET6, "2001:db8::2", &target);
    in6_addr sender{};
    const std::size_t senderBytes = size < 16 ? size : 16;
    std::memcpy(&sender, data, senderBytes);
    const std::span<const std::uint8_t> message(data + senderBytes, size - senderBytes);
    const TNxIcmp6Echo::Match request{0x1234, 3489, target};
    TReplyStatus status{};
    if (TNxIcmp6Echo::ParseIncoming(message, request, 300, sender, status)) {
        const std::uint8_t type = message[0];
        const bool known = (type == 129 && status.Outcome == TReplyOutcome::roEchoReply) ||
                           (type == 1 && status.Outcome == TReplyOutcome::roUnreachable) ||
                           (type == 3 && status.Outcome == TReplyOutcome::roTtlExpired);
        if (!known || status.IcmpType != type || status.Sequence != 3489 || status.Ttl != 255 ||
            status.ByteCount != static_cast<std::int32_t>(40 + message.size()) ||
            status.SourceAddress.empty())
            __builtin_trap();
        // An echo reply counts only from the target; nothing counts for another request.
        if (type == 129 && std::memcmp(&sender, &target, 16) != 0) __builtin_trap();
        TReplyStatus other{};
        if (TNxIcmp6Echo::ParseIncoming(message, {0x1235, 3489, target}, 0, sender, other) ||
            TNxIcmp6Echo::ParseIncoming(message, {0x1234, 3490, target}, 0, sender, other))
            __builtin_trap();
    } else if (status.ByteCount != 0 || !status.SourceAddress.empty() || status.Sequence != 0) {
        __builtin_trap(); // a skipped message changes nothing but the outcome
    }
    return 0;
}
