// Request and response header fields of the HTTP client, and the authentication objects.
#pragma once

#include "net/InternetDate.h"
#include "net/TNxHeaderList.h"
#include "net/TNxStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

std::string base64Encode(std::string_view bytes);

class TNxAuthentication {
public:
    virtual ~TNxAuthentication() = default;
    // The value of the "Authorization" line.
    virtual std::string Authentication() const = 0;
    virtual void Reset() {
        Username.clear();
        Password.clear();
    }
    std::string Username;
    std::string Password;
};

class TNxBasicAuthentication : public TNxAuthentication {
public:
    std::string Authentication() const override { return "Basic " + base64Encode(Username + ":" + Password); }
};

struct TNxProxyConnectionInfo {
    std::string ProxyServer;
    int ProxyPort = 0;
    std::string ProxyUsername;
    std::string ProxyPassword;
    bool BasicAuthentication = false;
    std::unique_ptr<TNxAuthentication> Authentication;
};

enum class TNxHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };
enum class TNxHTTPConnectionType { ctNormal, ctSSL, ctProxy, ctSSLProxy };

class TNxEntityHeaderInfo {
public:
    std::string Connection;
    std::string ContentVersion;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    std::int64_t ContentLength = -1;
    std::string CacheControl;
    UnixSeconds Date = 0;
    UnixSeconds Expires = 0;
    UnixSeconds LastModified = 0;
    std::string Pragma;
    TNxHeaderList CustomHeaders{TNxHeaderList::kHttpFoldLength};
    TNxHeaderList RawHeaders{TNxHeaderList::kHttpFoldLength};

    bool HasContentLength() const { return ContentLength >= 0; }
};

class TNxRequestHeaderInfo : public TNxEntityHeaderInfo {
public:
    TNxRequestHeaderInfo() { ContentType = "text/html"; }

    std::string ProxyConnection;
    std::string Host;
    std::string Accept = "text/html, */*";
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string From;
    std::string Referer;
    std::string UserAgent = "Mozilla/3.0 (compatible; Nx Library)";
    std::int64_t ContentRangeStart = 0;
    std::int64_t ContentRangeEnd = 0;
    std::unique_ptr<TNxAuthentication> Authentication;
    bool BasicAuthentication = false;
    std::string Username;
    std::string Password;

    // Rebuilds RawHeaders from the fields, in the order the request writes them.
    void SetHeaders();
};

class TNxHTTPRequest : public TNxRequestHeaderInfo {
public:
    static constexpr std::uint64_t kNoBodyLimit = UINT64_MAX;

    TNxHTTPMethod Method = TNxHTTPMethod::hmGet;
    std::string URL; // the request target
    TNxStream* Source = nullptr;
    TNxHTTPConnectionType UseProxy = TNxHTTPConnectionType::ctNormal;
    // The longest reply body the caller takes. A longer one ends the request with ENxBodyTooLarge
    // as soon as the limit is passed, whatever the body's kind, and the connection is closed.
    std::uint64_t MaxBodySize = kNoBodyLimit;
};

class TNxResponseHeaderInfo : public TNxEntityHeaderInfo {
public:
    std::string Location;
    std::string Server;
    std::string ProxyConnection;
    std::int64_t ContentRangeStart = 0;
    std::int64_t ContentRangeEnd = 0;
    std::vector<std::string> WWWAuthenticate;
    std::vector<std::string> ProxyAuthenticate;

    // Takes the fields from RawHeaders. A "Content-Range" with a start or end that is not a
    // whole number raises EConvertError.
    void ProcessHeaders(UnixSeconds now);
    void ClearFields();
};

class TNxHTTPResponse : public TNxResponseHeaderInfo {
public:
    // The second blank-separated token of the status line, or -1.
    int ResponseCode() const;
    // "1.0" or "1.1", from characters 6 to 8 of the status line. Part of the reply's fields for
    // callers; the client itself does not read it, keep-alive follows its own ProtocolVersion.
    std::string ResponseVersion() const;

    std::string ResponseText; // the status line as received
    bool KeepAlive = false;
    TNxStream* ContentStream = nullptr;
};

} // namespace orvex
