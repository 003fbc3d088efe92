#include "net/NxHTTPExceptions.h"

#include "platform/Cp1252.h"

#include <limits>

namespace orvex {

namespace {

bool parseInt64(const std::string& text, long long& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    unsigned long long v = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + 1
                 : static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<unsigned long long>(c - '0');
        if (v > (limit - digit) / 10) return false;
        v = v * 10 + digit;
    }
    out = negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
    return true;
}

[[noreturn]] void conversionError(const std::string& text) {
    throw EConvertError("'" + cp1252ToUtf8(text) + "' ist kein gültiger Integerwert");
}

} // namespace

long long strToInt64(const std::string& text) {
    long long v;
    if (!parseInt64(text, v)) conversionError(text);
    return v;
}

int strToInt(const std::string& text) {
    long long v;
    if (!parseInt64(text, v) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        conversionError(text);
    return static_cast<int>(v);
}

long long strToInt64Def(const std::string& text, long long fallback) {
    long long v;
    return parseInt64(text, v) ? v : fallback;
}

ENxInvalidChunkSize::ENxInvalidChunkSize(const std::string& sizeLine)
    : ENxException("Ungültige Chunk-Größe: " + cp1252ToUtf8(sizeLine)) {}

ENxHTTPProtocolException::ENxHTTPProtocolException(int errorCode, const std::string& statusLine,
                                                   std::string errorText)
    : ENxProtocolReplyError(errorCode, cp1252ToUtf8(statusLine)), StatusLine(statusLine),
      ErrorText(std::move(errorText)) {}

} // namespace orvex
