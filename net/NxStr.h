// Byte-string helpers shared by the HTTP client and the cookie store. ASCII case rules only:
// the texts are Windows-1252 bytes, and header names and keywords are ASCII.
#pragma once

#include <string>
#include <string_view>

namespace orvex::nxstr {

char upper(char c);
std::string upperCase(std::string_view s);
bool sameText(std::string_view a, std::string_view b);   // equal without regard to case
int compareText(std::string_view a, std::string_view b); // <0, 0, >0 without regard to case
bool startsWithText(std::string_view s, std::string_view prefix);
bool endsWithText(std::string_view s, std::string_view suffix);

// Trimming removes blanks and control characters (everything up to ' '), as the toolkit's Trim.
std::string_view trim(std::string_view s);
std::string_view trimLeft(std::string_view s);
std::string_view trimRight(std::string_view s);

// Text before / after the first occurrence of sep; without sep: the whole text / nothing.
std::string_view before(std::string_view s, char sep);
std::string_view after(std::string_view s, char sep);

} // namespace orvex::nxstr
