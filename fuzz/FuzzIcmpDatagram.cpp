// A received datagram read into the reply record. The seeds answer request 3489 with identifier
// 0x4242 from 127.0.0.1.
#include "net/TNxIcmpClient.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr EchoMatch kRequest{0x4242, 3489, std::array<std::uint8_t, 4>{127, 0, 0, 1}};
    const std::span<const std::uint8_t> datagram(data, size);
    TReplyStatus status{};
    // Nothing raises: no datagram, whatever it holds, ends a run.
    const bool accepted = ExamineDatagram(datagram, kRequest, status);
    if (accepted) {
        const std::size_t header = (data[0] & 0x0F) * 4u;
        const std::uint8_t type = data[header];
        const TReplyOutcome expected = type == 0    ? TReplyOutcome::roEchoReply
                                       : type == 3  ? TReplyOutcome::roUnreachable
                                       : type == 11 ? TReplyOutcome::roTtlExpired
                                                    : TReplyOutcome::roFailed;
        if (expected == TReplyOutcome::roFailed || status.Outcome != expected || status.IcmpType != type ||
            status.ByteCount != static_cast<std::int32_t>(size) || status.Sequence != kRequest.sequence ||
            status.Ttl != data[8] || status.SourceAddress.empty())
            __builtin_trap();
        // An echo reply is taken from the target only.
        if (type == 0 && status.SourceAddress != "127.0.0.1") __builtin_trap();
        // Another identifier or sequence number is never taken.
        TReplyStatus other{};
        if (ExamineDatagram(datagram, {0x4243, 3489, kRequest.target}, other) ||
            ExamineDatagram(datagram, {0x4242, 3490, kRequest.target}, other))
            __builtin_trap();
    } else if (status.ByteCount != 0 || !status.SourceAddress.empty() || status.Sequence != 0) {
        __builtin_trap(); // a skipped datagram changes nothing but the outcome
    }
    return 0;
}
