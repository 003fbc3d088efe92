// A connection with buffered line and block reading. One thread uses a connection at a time;
// Abort alone may come from another thread.
// Bytes received and not yet consumed stay in the input buffer from one read to the next,
// including bytes of a following reply that a server sent early.
#pragma once

#include "net/TNxComponent.h"
#include "net/TNxIOHandler.h"
#include "net/TNxStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

enum class TNxMaxLineAction { maException, maSplit };

class TNxTCPConnection : public TNxComponent {
public:
    static constexpr std::size_t kReceiveBlockSize = 32768;
    static constexpr std::size_t kSendBlockSize = 32768;
    // Largest single receive of a body read: a body goes straight into its stream, so one call
    // takes whatever the kernel holds, up to this. Lines and headers keep kReceiveBlockSize.
    static constexpr std::size_t kBodyReceiveBlockSize = 256 * 1024;
    static constexpr int kNoTimeout = 0;

    TNxTCPConnection() = default;
    TNxTCPConnection(const TNxTCPConnection&) = delete;
    TNxTCPConnection& operator=(const TNxTCPConnection&) = delete;
    ~TNxTCPConnection() override;

    // Reads up to LF; the line comes without its LF and without one CR before it.
    std::string ReadLine();

    // Reads `count` bytes into dest (nullptr discards them); raises ENxConnClosedGracefully when
    // the peer closes first, after the bytes that did arrive went to dest.
    void ReadBlock(TNxStream* dest, std::int64_t count);
    // Reads until the peer closes.
    void ReadUntilClose(TNxStream* dest);

    // Collects bytes and sends them in one go.
    void WriteBuffered(std::string_view bytes) { writeBuffer_.append(bytes); }
    void FlushWriteBuffer();

    bool Connected() const { return IOHandler && IOHandler->Connected(); }
    void Disconnect();

    // One receive into the input buffer, waiting at most timeoutMs (0: no limit). Returns the
    // bytes received; 0 when the peer closed. Raises ENxReadTimeout when the wait runs out.
    std::size_t ReadFromStack(int timeoutMs);
    // Probes for a close that has already arrived without waiting for data; raises nothing.
    void CheckForStaleConnection();

    std::size_t InputBufferSize() const { return input_.size() - inputPos_; }

    // Starts the limit of TotalTimeout ms (none when 0) for everything until the next call: every
    // connect and wait ends by then, and one that would go beyond raises ENxReadTimeout.
    void StartDeadline();
    // What is left of the deadline for a wait of timeoutMs (0: no limit of its own): that, or less
    // when the deadline comes first. Raises ENxReadTimeout when the deadline has passed.
    int WaitWithinDeadline(int timeoutMs) const;
    bool DeadlinePassed() const;

    // Any thread: ends what the using thread does on this connection at once (the socket is shut
    // down, ENxConnClosedGracefully or a socket error follows there), and every later connect,
    // until ClearAbort. Lets a window drop a query without leaving a thread or socket waiting on
    // a server that never answers.
    void Abort();
    bool Aborted() const { return aborted_.load(std::memory_order_relaxed); }
    // The owner, while no request runs: the connection may be used again.
    void ClearAbort();

    int ReadTimeout = kNoTimeout;
    int TotalTimeout = kNoTimeout;
    std::size_t MaxLineLength = 16384;
    TNxMaxLineAction MaxLineAction = TNxMaxLineAction::maException;
    bool ClosedGracefully = false;
    std::unique_ptr<TNxIOHandler> IOHandler;

protected:
    void ResetInputBuffer();
    // Makes handler the connection's I/O handler (an Abort that came first reaches it too).
    void InstallIOHandler(std::unique_ptr<TNxIOHandler> handler);

private:
    // Receives straight into buffer; 0 means the peer closed (the connection is then closed).
    std::size_t ReceiveInto(char* buffer, std::size_t length, int timeoutMs);
    // One receive of at most `most` body bytes, into dest's own room (nullptr: dropped).
    std::size_t ReceiveIntoStream(TNxStream* dest, std::size_t most, int timeoutMs);
    void Consume(std::size_t n);
    std::string TakeLine(std::size_t length, std::size_t skip);

    std::string input_;
    std::size_t inputPos_ = 0;
    std::size_t searchFrom_ = 0; // bytes after inputPos_ already searched for LF
    std::string writeBuffer_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::mutex abortLock_; // Abort against the installing of IOHandler
    std::atomic<bool> aborted_{false};
};

} // namespace orvex
