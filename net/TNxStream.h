// Where a reply body goes. Bodies are written front to back as their bytes arrive; nothing is
// reserved ahead for a length that a server merely announces.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class TNxStream {
public:
    virtual ~TNxStream() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

    // Room for up to `most` bytes (never empty for most > 0) that a receive fills in place;
    // Commit(n) then adds the first n of them. The room is valid until the next call on the
    // stream. A stream that keeps its bytes hands out its own storage, so a received block is
    // copied once; the default is a scratch buffer that Commit passes to Write.
    virtual std::span<char> Reserve(std::size_t most);
    virtual void Commit(std::size_t n);

private:
    std::unique_ptr<char[]> scratch_;
    std::size_t scratchSize_ = 0;
};

// Collects the body in memory, in blocks that are never moved while the body grows, so a large
// body costs its size once and no copies on the way; TakeData joins them into one text.
class TNxMemoryStream : public TNxStream {
public:
    void Write(const char* data, std::size_t size) override;
    std::span<char> Reserve(std::size_t most) override;
    void Commit(std::size_t n) override;
    std::size_t Size() const { return size_; }
    // The whole content; the stream is empty afterwards. Each block is released as soon as it has
    // been copied, so the peak stays near the content's size.
    std::string TakeData();

    static constexpr std::size_t kHugeBlock = 2 * 1024 * 1024;

private:
    static constexpr std::size_t kFirstBlock = 16 * 1024;
    static constexpr std::size_t kLargestBlock = kHugeBlock;
    struct FreeBytes {
        void operator()(char* p) const { std::free(p); }
    };
    using BlockBytes = std::unique_ptr<char, FreeBytes>;
    static BlockBytes allocateBlock(std::size_t capacity);
    struct Block {
        BlockBytes Bytes;
        std::size_t Capacity = 0;
        std::size_t Used = 0;
    };
    // Appends an empty block of the next size.
    void addBlock();
    std::vector<Block> blocks_;
    std::size_t size_ = 0;
};

// Writes into a caller's std::ostream at its current position.
class TNxStdStream : public TNxStream {
public:
    explicit TNxStdStream(std::ostream& out) : out_(out) {}
    void Write(const char* data, std::size_t size) override {
        out_.write(data, static_cast<std::streamsize>(size));
    }

private:
    std::ostream& out_;
};

} // namespace orvex
