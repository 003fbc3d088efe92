// A connection with buffered line and block reading. One thread uses a connection at a time.
// Bytes received and not yet consumed stay in the input buffer from one read to the next,
// including bytes of a following reply that a server sent early.
#pragma once

#include "net/TNxComponent.h"
#include "net/TNxIOHandler.h"
#include "net/TNxStream.h"

#include <cstdint>
#include <functional>
#include <memory>
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

    int ReadTimeout = kNoTimeout;
    std::size_t MaxLineLength = 16384;
    TNxMaxLineAction MaxLineAction = TNxMaxLineAction::maException;
    bool ClosedGracefully = false;
    std::unique_ptr<TNxIOHandler> IOHandler;

protected:
    void ResetInputBuffer();

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
};

} // namespace orvex
