// Windows-1252 byte text <-> UTF-8. The network core works on byte strings; the windows and the
// messages work on UTF-8. Every byte maps to one character; characters without a Windows-1252 byte
// become '?'.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

std::string cp1252ToUtf8(std::string_view bytes);
std::string utf8ToCp1252(std::string_view utf8);

// Unicode code point of one Windows-1252 byte (the five undefined bytes map to themselves, as
// the system's conversion does).
char32_t cp1252ToCodePoint(unsigned char byte);

} // namespace orvex
