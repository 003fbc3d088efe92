#include "net/TNxHTTPHeaders.h"

#include "net/NxHTTPExceptions.h"
#include "net/NxStr.h"

namespace orvex {

using namespace nxstr;

std::string base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

void TNxRequestHeaderInfo::SetHeaders() {
    TNxHeaderList& h = RawHeaders;
    h.Clear();
    const auto put = [&h](std::string_view name, const std::string& value) {
        if (!value.empty()) h.SetValue(name, value);
    };
    put("Connection", Connection);
    put("Content-Version", ContentVersion);
    put("Content-Encoding", ContentEncoding);
    put("Content-Language", ContentLanguage);
    put("Content-Type", ContentType);
    if (ContentLength >= 0) h.SetValue("Content-Length", std::to_string(ContentLength));
    put("Cache-control", CacheControl);
    if (Date > 0) h.SetValue("Date", formatInternetDate(Date));
    if (Expires > 0) h.SetValue("Expires", formatInternetDate(Expires));
    put("Pragma", Pragma);
    for (const std::string& line : CustomHeaders.Lines)
        h.Add(line);
    put("Proxy-Connection", ProxyConnection);
    put("Host", Host);
    put("Accept", Accept);
    put("Accept-Charset", AcceptCharSet);
    put("Accept-Encoding", AcceptEncoding);
    put("Accept-Language", AcceptLanguage);
    put("From", From);
    put("Referer", Referer);
    put("User-Agent", UserAgent);
    if (LastModified > 0) h.SetValue("If-Modified-Since", formatInternetDate(LastModified));
    if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
        std::string range = "bytes=" + std::to_string(ContentRangeStart) + "-";
        if (ContentRangeEnd != 0) range += std::to_string(ContentRangeEnd);
        h.SetValue("Range", range);
    }
    if (Authentication)
        h.SetValue("Authorization", Authentication->Authentication());
    else if (BasicAuthentication)
        h.SetValue("Authorization", "Basic " + base64Encode(Username + ":" + Password));
}

void TNxResponseHeaderInfo::ClearFields() {
    Connection.clear();
    ContentVersion.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    ContentType.clear();
    ContentLength = -1;
    CacheControl.clear();
    Date = Expires = LastModified = 0;
    Pragma.clear();
    Location.clear();
    Server.clear();
    ProxyConnection.clear();
    ContentRangeStart = ContentRangeEnd = 0;
    WWWAuthenticate.clear();
    ProxyAuthenticate.clear();
}

void TNxResponseHeaderInfo::ProcessHeaders(UnixSeconds now) {
    const TNxHeaderList& h = RawHeaders;
    const auto date = [](const std::string& text) -> UnixSeconds {
        const auto t = parseInternetDate(text);
        return t ? *t : 0;
    };
    Connection = h.Values("Connection");
    ContentVersion = h.Values("Content-Version");
    ContentEncoding = h.Values("Content-Encoding");
    ContentLanguage = h.Values("Content-Language");
    ContentType = h.Values("Content-Type");
    ContentLength = strToInt64Def(std::string(trim(h.Values("Content-Length"))), -1);
    if (ContentLength < 0) ContentLength = -1;
    CacheControl = h.Values("Cache-control");
    Date = date(h.Values("Date"));
    LastModified = date(h.Values("Last-Modified"));
    Pragma = h.Values("Pragma");
    const std::string expires = h.Values("Expires");
    const long long seconds = strToInt64Def(expires, -1);
    Expires = seconds >= 0 && !expires.empty() ? now + seconds : date(expires);
    Location = h.Values("Location");
    Server = h.Values("Server");
    ProxyConnection = h.Values("Proxy-Connection");
    const std::string range = h.Values("Content-Range");
    ContentRangeStart = ContentRangeEnd = 0;
    if (!range.empty()) {
        // "bytes 0-499/1234": the unit word first, then start "-" end, then "/" and the length.
        std::string_view positions = range;
        const std::size_t blank = positions.find(' ');
        if (blank != std::string_view::npos) positions = trimLeft(positions.substr(blank + 1));
        const std::string_view span = before(positions, '/');
        ContentRangeStart = strToInt64(std::string(trim(before(span, '-'))));
        ContentRangeEnd = strToInt64(std::string(trim(after(span, '-'))));
    }
    WWWAuthenticate = h.AllValues("WWW-Authenticate");
    ProxyAuthenticate = h.AllValues("Proxy-Authenticate");
}

int TNxHTTPResponse::ResponseCode() const {
    // Tokens are split at single blanks, so "HTTP/1.1  200" has an empty second token.
    const std::size_t first = ResponseText.find(' ');
    if (first == std::string::npos) return -1;
    const std::size_t second = ResponseText.find(' ', first + 1);
    const std::string token =
        ResponseText.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    const long long code = strToInt64Def(token, -1);
    return code < -2147483648LL || code > 2147483647LL ? -1 : static_cast<int>(code);
}

std::string TNxHTTPResponse::ResponseVersion() const {
    const std::string_view v =
        std::string_view(ResponseText).substr(std::min<std::size_t>(5, ResponseText.size()), 3);
    return sameText(v, "1.0") ? "1.0" : "1.1";
}

} // namespace orvex
