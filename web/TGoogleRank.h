// The toolbar rank query of a web search service: a seeded lookup2 checksum of "info:" + address,
// one GET, and the rank cut out of the reply line. Plain C++; made for one query and released after
// it, on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace orvex {

class TGoogleRank {
public:
    // Runs one GET of the given URL and returns the reply body, byte for byte. Errors are thrown.
    using Fetch = std::function<std::string(const std::string& url)>;

    static constexpr std::uint32_t kGoldenRatio = 0x9E3779B9;
    static constexpr std::uint32_t kSeed = 0xC4A2B95D;

    // endpoint: the rank query's URL up to its query, such as "http://host/search". fetch: defaults
    // to a fresh HTTP client in its default configuration, released after the call.
    explicit TGoogleRank(std::string endpoint, Fetch fetch = {});

    static void Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c);

    // Jenkins' lookup2 over the first length bytes of key (unsigned), seeded with seed. A length of
    // 0, or one beyond the key, covers the whole key. The caller reads the result as signed.
    static std::uint32_t Checksum(std::span<const std::uint8_t> key, std::int32_t length, std::uint32_t seed);

    // The query URL for an address, taken byte for byte and not percent-encoded.
    std::string QueryUrl(const std::string& address) const;

    // The rank in a reply: the text after the second ":" (or the first, or all of it, when there are
    // fewer), trimmed of blanks and control characters, as a decimal 32-bit integer; 0 otherwise.
    static std::int32_t RankFromReply(std::string reply);

    // One complete query. HTTP errors pass through unchanged. An address holding a control character
    // (a pasted line break) raises ENxException and sends nothing.
    std::int32_t GetPageRank(const std::string& address);

private:
    std::string endpoint_;
    Fetch fetch_;
};

// Decimal text with an optional sign as a 32-bit integer; fallback for anything else (other
// characters, blanks, empty text, a value beyond 32 bits).
std::int32_t decimalToInt32(const std::string& text, std::int32_t fallback);

} // namespace orvex
