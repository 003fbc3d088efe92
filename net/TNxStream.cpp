#include "net/TNxStream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace orvex {

namespace {

// Blocks of the largest size sit on huge-page boundaries and ask for huge pages, so filling them
// costs a few page faults instead of one per 4 KiB.
char* allocateBlockBytes(std::size_t capacity) {
    if (capacity < TNxMemoryStream::kHugeBlock) return static_cast<char*>(std::malloc(capacity));
    void* p = std::aligned_alloc(TNxMemoryStream::kHugeBlock, capacity);
    if (p) ::madvise(p, capacity, MADV_HUGEPAGE);
    return static_cast<char*>(p);
}

} // namespace

std::span<char> TNxStream::Reserve(std::size_t most) {
    if (scratchSize_ < most) {
        scratch_ = std::make_unique_for_overwrite<char[]>(most);
        scratchSize_ = most;
    }
    return {scratch_.get(), most};
}

void TNxStream::Commit(std::size_t n) {
    Write(scratch_.get(), n);
}

TNxMemoryStream::BlockBytes TNxMemoryStream::allocateBlock(std::size_t capacity) {
    char* p = allocateBlockBytes(capacity);
    if (!p) throw std::bad_alloc();
    return BlockBytes(p);
}

void TNxMemoryStream::addBlock() {
    // Blocks double up to a limit: small bodies stay small, large ones grow in steps that track
    // what has arrived.
    const std::size_t capacity =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().Capacity * 2, kLargestBlock);
    blocks_.push_back({allocateBlock(capacity), capacity, 0});
}

std::span<char> TNxMemoryStream::Reserve(std::size_t most) {
    if (blocks_.empty() || blocks_.back().Used == blocks_.back().Capacity) addBlock();
    Block& b = blocks_.back();
    return {b.Bytes.get() + b.Used, std::min(most, b.Capacity - b.Used)};
}

void TNxMemoryStream::Commit(std::size_t n) {
    blocks_.back().Used += n;
    size_ += n;
}

void TNxMemoryStream::Write(const char* data, std::size_t size) {
    size_ += size;
    while (size > 0) {
        if (blocks_.empty() || blocks_.back().Used == blocks_.back().Capacity) addBlock();
        Block& b = blocks_.back();
        const std::size_t n = std::min(size, b.Capacity - b.Used);
        std::memcpy(b.Bytes.get() + b.Used, data, n);
        b.Used += n;
        data += n;
        size -= n;
    }
}

std::string TNxMemoryStream::TakeData() {
    std::string out;
    out.reserve(size_);
    if (size_ >= 4 * kHugeBlock) {
        // The text's own pages are untouched yet: let the part on huge-page boundaries use them.
        const auto begin = reinterpret_cast<std::uintptr_t>(out.data());
        const std::uintptr_t first = (begin + kHugeBlock - 1) & ~(kHugeBlock - 1);
        const std::uintptr_t last = (begin + size_) & ~(kHugeBlock - 1);
        if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
    for (Block& b : blocks_) {
        out.append(b.Bytes.get(), b.Used);
        b.Bytes.reset();
    }
    blocks_.clear();
    size_ = 0;
    return out;
}

} // namespace orvex
