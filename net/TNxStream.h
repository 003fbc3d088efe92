// Where a reply body goes. Bodies are written front to back as their bytes arrive; nothing is
// reserved ahead for a length that a server merely announces.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace orvex {

class TNxStream {
public:
    virtual ~TNxStream() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
};

// Collects the body in memory.
class TNxMemoryStream : public TNxStream {
public:
    void Write(const char* data, std::size_t size) override { Data.append(data, size); }
    std::string Data;
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
