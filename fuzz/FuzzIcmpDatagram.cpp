// A received datagram read into the reply record, whole and as a datagram cut by the receive
// buffer. The seeds answer request 3489 with identifier 0x4242.
#include "net/TNxIcmpClient.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint16_t kSequence = 3489;
    constexpr std::uint16_t kIdentifier = 0x4242;
    const std::span<const std::uint8_t> datagram(data, size);
    const std::size_t header = size == 0 ? 0 : (data[0] & 0x0F) * 4u;
    TReplyStatus status{};
    bool accepted = false;
    try {
        accepted = ExamineDatagram(datagram, kSequence, status);
    } catch (const ENxIcmpException&) {
        // Only a datagram too short for its header and 8 bytes, or for a minimal header, raises.
        if (size >= header + 8 && size >= 20) __builtin_trap();
        if (AnswersRequest(datagram, std::nullopt, kSequence)) __builtin_trap();
        return 0;
    }
    if (accepted) {
        const std::uint8_t type = data[header];
        const TReplyOutcome expected = type == 0    ? TReplyOutcome::roEchoReply
                                       : type == 3  ? TReplyOutcome::roUnreachable
                                       : type == 11 ? TReplyOutcome::roTtlExpired
                                                    : TReplyOutcome::roFailed;
        if (expected == TReplyOutcome::roFailed || status.Outcome != expected || status.IcmpType != type ||
            status.ByteCount != static_cast<std::int32_t>(size) || status.Sequence != kSequence ||
            status.Ttl != data[8] || status.SourceAddress.empty())
            __builtin_trap();
    } else if (status.ByteCount != 0 || !status.SourceAddress.empty() || status.Sequence != 0) {
        __builtin_trap(); // a skipped datagram changes nothing but the outcome
    }
    // Whatever answers the request when cut is taken when whole: the two readings agree.
    const bool answers = AnswersRequest(datagram, std::nullopt, kSequence);
    if (answers != accepted) __builtin_trap();
    if (AnswersRequest(datagram, kIdentifier, kSequence) && !answers) __builtin_trap();
    return 0;
}
