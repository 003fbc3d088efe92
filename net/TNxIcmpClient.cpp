#include "net/TNxIcmpClient.h"

#include "platform/Ticks.h"

#include <algorithm>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

namespace {

constexpr int kIcmpProtocol = 1;
constexpr int kWouldBlock = 10035;

std::uint16_t readLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void writeLe16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void writeLe32(std::uint8_t* p, std::uint32_t value) {
    writeLe16(p, value & 0xFFFF);
    writeLe16(p + 2, value >> 16);
}

} // namespace

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += readLe16(&bytes[i]);
    if (bytes.size() % 2 != 0) sum += bytes.back();
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint32_t TicksBetween(std::uint32_t earlier, std::uint32_t later) {
    return later - earlier; // unsigned arithmetic wraps exactly like the counter
}

TNxRawBase::TNxRawBase() : Buffer(static_cast<std::size_t>(BufferSize)) {}

TNxIcmpClient::TNxIcmpClient() : ProcessId(static_cast<std::uint32_t>(::getpid())) {
    ReceiveTimeout = 5000;
    Protocol = kIcmpProtocol;
}

void WriteEchoRequest(std::span<std::uint8_t, echo::kRequestLength> request, std::uint8_t type,
                      std::uint16_t identifier, std::uint16_t sequence, std::uint32_t ticks,
                      const std::string& payload) {
    std::uint8_t* r = request.data();
    std::fill_n(r, echo::kRequestLength, 0);
    r[echo::kTypeOffset] = type;
    writeLe16(r + echo::kIdentifierOffset, identifier);
    writeLe16(r + echo::kSequenceOffset, sequence);
    writeLe32(r + echo::kOriginateTimeOffset, ticks);
    const std::size_t given = std::min(payload.size(), static_cast<std::size_t>(echo::kPayloadLength));
    std::copy_n(payload.data(), given, r + echo::kPayloadOffset);
    std::fill(r + echo::kPayloadOffset + given, r + echo::kRequestLength, echo::kPadding);
}

void TNxIcmpClient::BuildEchoRequest(const std::string& payload) {
    RequestLength = echo::kRequestLength;
    const std::span<std::uint8_t, echo::kRequestLength> request(RequestBuffer.data(), echo::kRequestLength);
    builtAt_ = tickCount();
    WriteEchoRequest(request, echo::kEchoRequest, static_cast<std::uint16_t>(ProcessId & 0xFFFF),
                     NextSequence, builtAt_, payload);
    writeLe16(request.data() + echo::kChecksumOffset, InternetChecksum(request));
}

TNxSocketHandle& TNxIcmpClient::OpenRawSocket() {
    if (!RawSocket.IsOpen) {
        bool opened = false;
        if (!rawRefused_ || Protocol != kIcmpProtocol) {
            try {
                RawSocket.OpenSocket(kSockRaw, Protocol);
                opened = true;
                datagram_ = false;
                if (Protocol == kIcmpProtocol) PassOnlyAnswerTypes();
            } catch (const ENxInvalidSocket&) {
                if (Protocol != kIcmpProtocol) throw;
                // Capabilities do not come back during a run: go straight to the datagram socket
                // from now on.
                rawRefused_ = true;
            }
        }
        if (!opened) {
            RawSocket.OpenSocket(kSockDgram, Protocol); // ENxInvalidSocket when refused as well
            datagram_ = true;
            PrepareDatagramSocket();
        }
    }
    return RawSocket;
}

void TNxIcmpClient::PassOnlyAnswerTypes() {
    // The raw socket would read every ICMP message reaching the machine, its own requests to this
    // machine included; the kernel drops the types that can never answer a request. A refusal
    // costs only those reads, so it is not an error.
    icmp_filter filter{};
    filter.data =
        ~((1u << echo::kEchoReply) | (1u << echo::kDestinationUnreachable) | (1u << echo::kTimeExceeded));
    SharedStack->StackSetOption(RawSocket.Descriptor, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
}

void TNxIcmpClient::PrepareDatagramSocket() {
    const int on = 1;
    RawSocket.SetOption(IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    RawSocket.SetOption(IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    // The kernel writes the socket's port into the identifier field. Binding to the process id's
    // bytes, swapped, keeps the identifier bytes the raw socket would send; when another socket
    // holds that identifier the kernel picks one. The identifier is a nicety, so the result is not
    // checked and the bound name not read back.
    const std::uint32_t id = ProcessId & 0xFFFF;
    const int port = static_cast<int>(((id & 0xFF) << 8) | (id >> 8));
    if (port != 0) SharedStack->StackBind(RawSocket.Descriptor, kAfInet, port, {});
}

void TNxIcmpClient::SendDatagram(const std::string& host, int port, const void* buffer, int length) {
    target_ = SharedStack->LookupAddress(host);
    // The time-to-live goes with the request itself (refused like the socket option when out of
    // range), so a fresh socket needs no option call for it.
    OpenRawSocket().SendBytesTo(target_, port, buffer, length, OutgoingTtl);
}

void TNxIcmpClient::TransmitRequest() {
    SendDatagram(Host, Port, RequestBuffer.data(), RequestLength);
}

int TNxIcmpClient::ReadDatagram(std::uint8_t* buffer, int size, int timeoutMs, bool& cut) {
    cut = false;
    if (size <= 0 || buffer == nullptr) return 0;
    if (timeoutMs < 0) timeoutMs = ReceiveTimeout;
    // An answer from a near host is often queued before the wait would begin: take it without
    // the wait's system call, and wait only when nothing is there yet.
    int received = ReceiveOne(buffer, size, MSG_DONTWAIT, cut);
    if (received != -1 || cut || SharedStack->PlatformErrorCode() != kWouldBlock) return received;
    if (!RawSocket.WaitForData(timeoutMs)) return 0;
    return ReceiveOne(buffer, size, 0, cut);
}

int TNxIcmpClient::ReceiveOne(std::uint8_t* buffer, int size, int flags, bool& cut) {
    if (datagram_) return ReadWithIpHeader(buffer, size, flags, cut);
    const int received = OpenRawSocket().ReceiveBytes(buffer, size, flags);
    if (received == -1 && SharedStack->PlatformErrorCode() == WSAEMSGSIZE) {
        cut = true; // the buffer holds the datagram's first size bytes
        return size;
    }
    return received;
}

int TNxIcmpClient::ReadWithIpHeader(std::uint8_t* buffer, int size, int flags, bool& cut) {
    constexpr int h = echo::kIpHeaderLength;
    if (size < h + 8) return 0;
    TNxDatagramInfo info;
    int received = OpenRawSocket().ReceiveDatagram(buffer + h, size - h, flags, info);
    if (received == -1 && !info.IcmpError && SharedStack->PlatformErrorCode() == WSAEMSGSIZE) {
        cut = true;
        received = size - h;
    }
    if (received < 0) return received;
    if (info.IcmpError && info.ErrorCut) cut = true; // skipped like any datagram cut by the buffer
    if (info.IcmpError) return ComposeErrorMessage(buffer, size, received, info);
    std::fill_n(buffer, h, 0);
    buffer[0] = 0x45;
    const int total = h + received;
    buffer[2] = static_cast<std::uint8_t>(total >> 8);
    buffer[3] = static_cast<std::uint8_t>(total & 0xFF);
    buffer[8] = static_cast<std::uint8_t>(info.Ttl < 0 ? 0 : info.Ttl);
    buffer[9] = kIcmpProtocol;
    const auto source = TNxStack::TextToAddress(info.SourceAddress);
    std::copy(source.begin(), source.end(), buffer + 12);
    const auto destination = TNxStack::TextToAddress(target_);
    std::copy(destination.begin(), destination.end(), buffer + 16);
    return total;
}

int TNxIcmpClient::ComposeErrorMessage(std::uint8_t* buffer, int size, int originalLength,
                                       const TNxDatagramInfo& info) {
    // The kernel reports an ICMP error for a datagram socket apart from the data, with the
    // message it concerns. Rebuild what a raw socket reads: IP header, ICMP error header, the IP
    // header of the request, then as much of the request as was returned.
    constexpr int h = echo::kIpHeaderLength;
    const int embedded = std::max(0, std::min(originalLength, size - (h + 8 + h)));
    const int total = h + 8 + h + embedded;
    std::vector<std::uint8_t> original(buffer + h, buffer + h + embedded);
    std::fill_n(buffer, total, 0);
    buffer[0] = 0x45;
    buffer[2] = static_cast<std::uint8_t>(total >> 8);
    buffer[3] = static_cast<std::uint8_t>(total & 0xFF);
    buffer[8] = static_cast<std::uint8_t>(info.Ttl < 0 ? 0 : info.Ttl);
    buffer[9] = kIcmpProtocol;
    const auto reporter = TNxStack::TextToAddress(info.SourceAddress);
    std::copy(reporter.begin(), reporter.end(), buffer + 12);
    std::uint8_t* icmp = buffer + h;
    icmp[0] = info.IcmpType;
    icmp[1] = info.IcmpCode;
    std::uint8_t* inner = icmp + 8;
    inner[0] = 0x45;
    const int innerTotal = h + originalLength;
    inner[2] = static_cast<std::uint8_t>(innerTotal >> 8);
    inner[3] = static_cast<std::uint8_t>(innerTotal & 0xFF);
    inner[8] = static_cast<std::uint8_t>(OutgoingTtl);
    inner[9] = kIcmpProtocol;
    // Where the request went, as the platform says: a message about a request to another host
    // must not read as one about ours.
    const auto destination =
        TNxStack::TextToAddress(info.ErrorDestination.empty() ? target_ : info.ErrorDestination);
    std::copy(destination.begin(), destination.end(), inner + 16);
    std::copy(original.begin(), original.end(), inner + h);
    return total;
}

bool ExamineDatagram(std::span<const std::uint8_t> datagram, const EchoMatch& request, TReplyStatus& status) {
    status.Outcome = TReplyOutcome::roFailed;
    const std::uint8_t* d = datagram.data();
    const std::size_t size = datagram.size();
    const auto holds = [size](std::size_t end) { return end <= size; };
    constexpr std::size_t kMinimalHeader = echo::kIpHeaderLength;
    if (!holds(kMinimalHeader)) return false;
    const std::size_t h = (d[0] & 0x0F) * 4u;
    if (h < kMinimalHeader || !holds(h + 8)) return false;
    const std::uint8_t type = d[h];
    const auto fromTarget = [&](const std::uint8_t* address) {
        return !request.target || std::equal(request.target->begin(), request.target->end(), address);
    };
    const std::uint8_t* fields = nullptr; // the echo header answered: identifier at +4, sequence at +6
    switch (type) {
    case echo::kEchoReply:
        status.Outcome = TReplyOutcome::roEchoReply;
        if (fromTarget(d + 12)) fields = d + h;
        break;
    case echo::kEchoRequest:
        // Never the answer, whatever its number: on loopback a raw socket reads its own request.
        status.Outcome = TReplyOutcome::roEchoReply;
        break;
    case echo::kDestinationUnreachable:
    case echo::kTimeExceeded: {
        status.Outcome =
            type == echo::kTimeExceeded ? TReplyOutcome::roTtlExpired : TReplyOutcome::roUnreachable;
        // The quoted request: its own IP header (to the target, carrying ICMP), then its echo header.
        const std::uint8_t* inner = d + h + 8;
        if (!holds(h + 8 + kMinimalHeader)) break;
        const std::size_t innerHeader = (inner[0] & 0x0F) * 4u;
        if (innerHeader < kMinimalHeader || !holds(h + 8 + innerHeader + 8)) break;
        if (inner[9] != kIcmpProtocol || !fromTarget(inner + 16) || inner[innerHeader] != echo::kEchoRequest)
            break;
        fields = inner + innerHeader;
        break;
    }
    default:
        break;
    }
    if (fields == nullptr) return false;
    const std::uint16_t found = readLe16(fields + echo::kSequenceOffset);
    if (found != request.sequence) return false;
    if (request.identifier && readLe16(fields + echo::kIdentifierOffset) != *request.identifier) return false;
    status.ByteCount = static_cast<std::int32_t>(size);
    status.SourceAddress = TNxStack::AddressToText({d[12], d[13], d[14], d[15]});
    status.IcmpType = type;
    status.Sequence = found;
    status.Ttl = d[8];
    return true;
}

EchoMatch TNxIcmpClient::Request() const {
    EchoMatch request;
    request.sequence = NextSequence;
    // A datagram socket only ever gets the answers to its own identifier (the kernel's choice).
    if (!datagram_) request.identifier = static_cast<std::uint16_t>(ProcessId & 0xFFFF);
    if (!target_.empty()) request.target = TNxStack::TextToAddress(target_);
    return request;
}

bool TNxIcmpClient::ParseIncoming(int byteCount, TReplyStatus& status) {
    if (byteCount == 0) {
        status.ByteCount = 0;
        status.SourceAddress = "0.0.0.0";
        status.IcmpType = 0;
        status.Sequence = NextSequence;
        status.Ttl = 0;
        status.Outcome = TReplyOutcome::roTimedOut;
        return true;
    }
    const std::size_t size = static_cast<std::size_t>(std::clamp(byteCount, 0, echo::kBufferSize));
    return ExamineDatagram(std::span<const std::uint8_t>(IncomingBuffer.data(), size), Request(), status);
}

void TNxIcmpClient::AwaitReply(int timeoutMs, TReplyStatus& status) {
    IncomingBuffer.fill(0);
    const std::uint32_t start = tickCount();
    std::int64_t remaining = timeoutMs;
    for (;;) {
        bool cut = false;
        const int received =
            ReadDatagram(IncomingBuffer.data(), echo::kBufferSize, static_cast<int>(remaining), cut);
        // Longer than the buffer: no answer to a 52-byte request is that long, whoever sends it.
        if (!cut) {
            SharedStack->CheckResult(received);
            if (ParseIncoming(received, status)) return;
        }
        remaining = static_cast<std::int64_t>(timeoutMs) - TicksBetween(start, tickCount());
        if (remaining <= 0) break;
    }
    // Only foreign datagrams arrived: the request timed out.
    ParseIncoming(0, status);
}

void TNxIcmpClient::ExchangeEcho(const std::string& payload, std::uint16_t sequenceOverride) {
    if (sequenceOverride != 0) NextSequence = sequenceOverride;
    BuildEchoRequest(payload);
    const std::uint32_t t0 = builtAt_; // read as the request was built, an instant ago
    TransmitRequest();
    TReplyStatus status{};
    AwaitReply(ReceiveTimeout, status);
    LastReply = status;
    const std::uint32_t elapsed = TicksBetween(t0, tickCount());
    RawSocket.DropSocket();
    LastReply.RoundTripMs = elapsed;
    if (OnReply) OnReply(*this, LastReply);
    ++NextSequence;
}

} // namespace orvex
