#include "web/TGoogleRank.h"

#include "net/NxExceptions.h"
#include "web/WebFetch.h"

#include <algorithm>

namespace orvex {

namespace {

constexpr const char* kQueryPrefix = "info:";
constexpr const char* kQueryStart = "?client=navclient-auto&ch=6";
constexpr const char* kQueryKeys = "&ie=UTF-8&oe=UTF-8&features=Rank&q=";
constexpr const char* kControlCharacterInAddress =
    "Die Webadresse enthält Steuerzeichen (etwa einen Zeilenumbruch); es wurde nichts gesendet.";

std::uint32_t littleEndianWord(const std::uint8_t* k) {
    return std::uint32_t(k[0]) | std::uint32_t(k[1]) << 8 | std::uint32_t(k[2]) << 16 |
           std::uint32_t(k[3]) << 24;
}

} // namespace

TGoogleRank::TGoogleRank(std::string endpoint, Fetch fetch)
    : endpoint_(std::move(endpoint)), fetch_(std::move(fetch)) {
    if (!fetch_) fetch_ = [](const std::string& url) { return fetchWithFreshClient(url); };
}

void TGoogleRank::Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
    // clang-format off
    a -= b; a -= c; a ^= c >> 13;
    b -= c; b -= a; b ^= a << 8;
    c -= a; c -= b; c ^= b >> 13;
    a -= b; a -= c; a ^= c >> 12;
    b -= c; b -= a; b ^= a << 16;
    c -= a; c -= b; c ^= b >> 5;
    a -= b; a -= c; a ^= c >> 3;
    b -= c; b -= a; b ^= a << 10;
    c -= a; c -= b; c ^= b >> 15;
    // clang-format on
}

std::uint32_t TGoogleRank::Checksum(std::span<const std::uint8_t> key, std::int32_t length,
                                    std::uint32_t seed) {
    // A length beyond the key would read past it; it covers the whole key instead.
    const std::size_t n = length <= 0 || std::size_t(length) > key.size() ? key.size() : std::size_t(length);
    const std::uint8_t* k = key.data();
    std::uint32_t a = kGoldenRatio, b = kGoldenRatio, c = seed;
    std::size_t r = n;
    while (r >= 12) {
        a += littleEndianWord(k);
        b += littleEndianWord(k + 4);
        c += littleEndianWord(k + 8);
        Mix(a, b, c);
        k += 12;
        r -= 12;
    }
    c += std::uint32_t(n);
    // Each remainder adds its own byte and every byte below it; c's lowest byte takes the length.
    switch (r) {
    case 11:
        c += std::uint32_t(k[10]) << 24;
        [[fallthrough]];
    case 10:
        c += std::uint32_t(k[9]) << 16;
        [[fallthrough]];
    case 9:
        c += std::uint32_t(k[8]) << 8;
        [[fallthrough]];
    case 8:
        b += std::uint32_t(k[7]) << 24;
        [[fallthrough]];
    case 7:
        b += std::uint32_t(k[6]) << 16;
        [[fallthrough]];
    case 6:
        b += std::uint32_t(k[5]) << 8;
        [[fallthrough]];
    case 5:
        b += k[4];
        [[fallthrough]];
    case 4:
        a += std::uint32_t(k[3]) << 24;
        [[fallthrough]];
    case 3:
        a += std::uint32_t(k[2]) << 16;
        [[fallthrough]];
    case 2:
        a += std::uint32_t(k[1]) << 8;
        [[fallthrough]];
    case 1:
        a += k[0];
        break;
    default:
        break;
    }
    Mix(a, b, c);
    return c;
}

std::string TGoogleRank::QueryUrl(const std::string& address) const {
    const std::string q = kQueryPrefix + address;
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(q.data()), q.size());
    const auto checksum = std::int32_t(Checksum(bytes, 0, kSeed));
    return endpoint_ + kQueryStart + std::to_string(checksum) + kQueryKeys + q;
}

std::int32_t TGoogleRank::RankFromReply(std::string reply) {
    for (int field = 0; field < 2; ++field)
        if (const auto colon = reply.find(':'); colon != std::string::npos) reply.erase(0, colon + 1);
    auto isBlankOrControl = [](char ch) { return static_cast<unsigned char>(ch) <= ' '; };
    std::size_t first = 0, last = reply.size();
    while (first < last && isBlankOrControl(reply[first]))
        ++first;
    while (last > first && isBlankOrControl(reply[last - 1]))
        --last;
    return decimalToInt32(reply.substr(first, last - first), 0);
}

std::int32_t TGoogleRank::GetPageRank(const std::string& address) {
    // A pasted line break would split the request line; blanks and letters beyond ASCII are sent as
    // typed.
    if (std::any_of(address.begin(), address.end(),
                    [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }))
        throw ENxException(kControlCharacterInAddress);
    return RankFromReply(fetch_(QueryUrl(address)));
}

std::int32_t decimalToInt32(const std::string& text, std::int32_t fallback) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fallback;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return fallback;
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(INT32_MAX) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return fallback;
    return std::int32_t(value);
}

} // namespace orvex
