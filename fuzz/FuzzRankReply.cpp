// The rank cut out of a reply body, against a reading of its own: the text after the second ":"
// (or the first, or all of it), trimmed of blanks and control characters, as a signed decimal
// 32-bit number, 0 for anything else.
#include "web/TGoogleRank.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::int32_t rank = TGoogleRank::RankFromReply(body);

    std::string rest = body;
    for (int cut = 0; cut < 2; ++cut)
        if (const auto colon = rest.find(':'); colon != std::string::npos) rest.erase(0, colon + 1);
    std::size_t first = 0, last = rest.size();
    while (first < last && static_cast<unsigned char>(rest[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(rest[last - 1]) <= ' ')
        --last;
    std::string number = rest.substr(first, last - first);
    if (!number.empty() && number[0] == '+' && (number.size() < 2 || number[1] != '-')) number.erase(0, 1);
    std::int32_t expected = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), expected);
    if (error != std::errc() || end != number.data() + number.size()) expected = 0;
    if (rank != expected) __builtin_trap();
    return 0;
}
