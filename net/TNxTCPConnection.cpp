#include "net/TNxTCPConnection.h"

#include "net/NxHTTPExceptions.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvex {

namespace {
constexpr int kConnectionAborted = 10053;
constexpr int kConnectionReset = 10054;
constexpr int kSocketShutDown = 10058;
} // namespace

TNxTCPConnection::~TNxTCPConnection() = default;

void TNxTCPConnection::ResetInputBuffer() {
    input_.clear();
    inputPos_ = 0;
    searchFrom_ = 0;
}

void TNxTCPConnection::InstallIOHandler(std::unique_ptr<TNxIOHandler> handler) {
    std::lock_guard lock(abortLock_);
    IOHandler = std::move(handler);
    if (aborted_) IOHandler->Interrupt();
}

void TNxTCPConnection::Abort() {
    std::lock_guard lock(abortLock_);
    aborted_ = true;
    if (IOHandler) IOHandler->Interrupt();
}

void TNxTCPConnection::ClearAbort() {
    std::lock_guard lock(abortLock_);
    aborted_ = false;
    if (IOHandler) IOHandler->Resume();
}

void TNxTCPConnection::StartDeadline() {
    deadline_.reset();
    if (TotalTimeout > 0)
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(TotalTimeout);
}

bool TNxTCPConnection::DeadlinePassed() const {
    return deadline_ && std::chrono::steady_clock::now() >= *deadline_;
}

int TNxTCPConnection::WaitWithinDeadline(int timeoutMs) const {
    if (!deadline_) return timeoutMs;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw ENxReadTimeout();
    return timeoutMs > 0 && timeoutMs < left ? timeoutMs : static_cast<int>(left);
}

void TNxTCPConnection::Disconnect() {
    if (IOHandler) IOHandler->Close();
    ClosedGracefully = true;
}

void TNxTCPConnection::Consume(std::size_t n) {
    inputPos_ += n;
    searchFrom_ = searchFrom_ > n ? searchFrom_ - n : 0;
    if (inputPos_ == input_.size()) {
        input_.clear();
        inputPos_ = 0;
    } else if (inputPos_ > kReceiveBlockSize && inputPos_ * 2 > input_.size()) {
        input_.erase(0, inputPos_);
        inputPos_ = 0;
    }
}

std::size_t TNxTCPConnection::ReceiveInto(char* buffer, std::size_t length, int timeoutMs) {
    if (!Connected()) {
        ClosedGracefully = true;
        return 0;
    }
    if (Aborted()) throw connClosedGracefully();
    // A blocking receive already waits without limit; only a bounded wait needs the readable test.
    timeoutMs = WaitWithinDeadline(timeoutMs);
    if (timeoutMs > 0 && !IOHandler->Readable(timeoutMs)) throw ENxReadTimeout();
    int code = 0;
    const long n = IOHandler->Receive(buffer, length, code);
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) {
        ClosedGracefully = true;
        IOHandler->Close();
        return 0;
    }
    if (code == kConnectionAborted || code == kSocketShutDown) {
        IOHandler->Close();
        if (InputBufferSize() > 0) {
            ClosedGracefully = true;
            return 0;
        }
    }
    IOHandler->ThrowSocketError(code);
}

std::size_t TNxTCPConnection::ReceiveIntoStream(TNxStream* dest, std::size_t most, int timeoutMs) {
    if (!dest) {
        char sink[kReceiveBlockSize];
        return ReceiveInto(sink, std::min(most, sizeof sink), timeoutMs);
    }
    const std::span<char> room = dest->Reserve(most);
    const std::size_t n = ReceiveInto(room.data(), room.size(), timeoutMs);
    if (n > 0) dest->Commit(n);
    return n;
}

std::size_t TNxTCPConnection::ReadFromStack(int timeoutMs) {
    char block[kReceiveBlockSize];
    const std::size_t n = ReceiveInto(block, sizeof block, timeoutMs);
    input_.append(block, n);
    return n;
}

void TNxTCPConnection::CheckForStaleConnection() {
    if (!Connected()) return;
    try {
        // Only a close that has already arrived counts; a live idle connection costs no wait.
        if (!IOHandler->Readable(0)) return;
        char block[kReceiveBlockSize];
        int code = 0;
        const long n = IOHandler->Receive(block, sizeof block, code);
        if (n > 0)
            input_.append(block, static_cast<std::size_t>(n));
        else {
            ClosedGracefully = true;
            IOHandler->Close();
        }
    } catch (const ENxException&) {
    }
}

std::string TNxTCPConnection::TakeLine(std::size_t length, std::size_t skip) {
    std::string line = input_.substr(inputPos_, length);
    Consume(length + skip);
    searchFrom_ = 0;
    return line;
}

std::string TNxTCPConnection::ReadLine() {
    while (true) {
        const std::size_t buffered = InputBufferSize();
        const char* base = input_.data() + inputPos_;
        const void* lf =
            searchFrom_ < buffered ? std::memchr(base + searchFrom_, '\n', buffered - searchFrom_) : nullptr;
        if (lf) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
            if (length > MaxLineLength) {
                if (MaxLineAction == TNxMaxLineAction::maException) throw ENxReadLnMaxLineLengthExceeded();
                return TakeLine(MaxLineLength, 0);
            }
            const std::size_t cut = length > 0 && base[length - 1] == '\r' ? length - 1 : length;
            std::string line(base, cut);
            Consume(length + 1);
            searchFrom_ = 0;
            return line;
        }
        searchFrom_ = buffered;
        if (buffered > MaxLineLength) {
            if (MaxLineAction == TNxMaxLineAction::maException) throw ENxReadLnMaxLineLengthExceeded();
            return TakeLine(MaxLineLength, 0);
        }
        if (ClosedGracefully || !Connected()) throw connClosedGracefully();
        ReadFromStack(ReadTimeout);
    }
}

void TNxTCPConnection::ReadBlock(TNxStream* dest, std::int64_t count) {
    auto owed = static_cast<std::uint64_t>(std::max<std::int64_t>(count, 0));
    const std::size_t fromBuffer = static_cast<std::size_t>(std::min<std::uint64_t>(InputBufferSize(), owed));
    if (fromBuffer > 0) {
        if (dest) dest->Write(input_.data() + inputPos_, fromBuffer);
        Consume(fromBuffer);
        owed -= fromBuffer;
    }
    if (owed == 0) return;
    // Received bytes go to dest as they arrive: the announced count sizes nothing in advance, and
    // never more than is owed is taken from the socket, so a following reply stays where it is.
    while (owed > 0 && Connected()) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(owed, kBodyReceiveBlockSize));
        const std::size_t n = ReceiveIntoStream(dest, want, ReadTimeout);
        if (n == 0) break;
        owed -= n;
    }
    if (owed > 0) throw connClosedGracefully();
}

void TNxTCPConnection::ReadUntilClose(TNxStream* dest) {
    if (InputBufferSize() > 0) {
        if (dest) dest->Write(input_.data() + inputPos_, InputBufferSize());
        Consume(InputBufferSize());
    }
    while (Connected()) {
        if (ReceiveIntoStream(dest, kBodyReceiveBlockSize, ReadTimeout) == 0) break;
    }
}

void TNxTCPConnection::FlushWriteBuffer() {
    std::string pending;
    pending.swap(writeBuffer_);
    if (!IOHandler || !IOHandler->Connected()) throw connClosedGracefully();
    std::size_t sent = 0;
    while (sent < pending.size()) {
        int code = 0;
        const long n = IOHandler->Send(pending.data() + sent, pending.size() - sent, code);
        if (n < 0) {
            if (code == kConnectionAborted || code == kConnectionReset || code == kSocketShutDown)
                IOHandler->Close();
            IOHandler->ThrowSocketError(code);
        }
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace orvex
