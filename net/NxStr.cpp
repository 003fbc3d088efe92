#include "net/NxStr.h"

namespace orvex::nxstr {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upper(c);
    return out;
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

int compareText(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(upper(a[i]));
        const auto y = static_cast<unsigned char>(upper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool startsWithText(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameText(s.substr(0, prefix.size()), prefix);
}

bool endsWithText(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && sameText(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view trimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

std::string_view trimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

std::string_view trim(std::string_view s) {
    return trimRight(trimLeft(s));
}

std::string_view before(std::string_view s, char sep) {
    const std::size_t p = s.find(sep);
    return p == std::string_view::npos ? s : s.substr(0, p);
}

std::string_view after(std::string_view s, char sep) {
    const std::size_t p = s.find(sep);
    return p == std::string_view::npos ? std::string_view() : s.substr(p + 1);
}

} // namespace orvex::nxstr
