// The client's cookie store. A store belongs to one HTTP client and lives as long as it; the
// index is guarded by a reader/writer lock, so selecting may run beside other readers while
// adding and expiring take it alone.
#pragma once

#include "net/InternetDate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// One cookie as a "Set-cookie" value describes it.
class TNxNetscapeCookie {
public:
    virtual ~TNxNetscapeCookie() = default;

    // Reads a "Set-cookie" value; `now` dates an expiry given as max-age.
    virtual void ParseValue(std::string_view setCookieValue, UnixSeconds now);
    virtual std::unique_ptr<TNxNetscapeCookie> Clone() const = 0;

    // True when the expiry text holds a date that lies before `now`.
    bool IsExpired(UnixSeconds now) const;
    // name "=" value, as a "Cookie" line carries it.
    std::string CookieText() const { return CookieName + "=" + Value; }

    std::string CookieName;
    std::string Value;
    std::string Path;
    std::string Domain;
    std::string Expires;
    bool Secure = false;
    std::int64_t MaxAge = -1;
    std::string Version;
    std::string Comment;

protected:
    struct Attribute {
        std::string Name; // in capitals
        std::string Value;
        bool HasValue = false;
    };
    virtual void LoadAttribute(const Attribute& attribute);
};

// From a "Set-cookie" header.
class TNxCookieRFC2109 : public TNxNetscapeCookie {
public:
    std::unique_ptr<TNxNetscapeCookie> Clone() const override {
        return std::make_unique<TNxCookieRFC2109>(*this);
    }
};

// From a "Set-cookie2" header: adds a comment URL, the discard flag and a port list.
class TNxCookieRFC2965 : public TNxCookieRFC2109 {
public:
    void ParseValue(std::string_view setCookieValue, UnixSeconds now) override;
    std::unique_ptr<TNxNetscapeCookie> Clone() const override {
        return std::make_unique<TNxCookieRFC2965>(*this);
    }

    std::string CommentURL;
    bool Discard = false;
    std::vector<int> PortList{80};

protected:
    void LoadAttribute(const Attribute& attribute) override;

private:
    bool sawPort_ = false;
};

// The cookies of one domain, keyed by name without regard to case, in insertion order.
class TNxCookieList {
public:
    // Replaces a cookie of the same name, or appends.
    void Put(std::unique_ptr<TNxNetscapeCookie> cookie);
    // Deletes the cookies for which `expired` holds; returns how many went.
    std::size_t RemoveIf(const std::function<bool(const TNxNetscapeCookie&)>& expired);
    std::size_t Count() const { return Cookies.size(); }

    std::vector<std::unique_ptr<TNxNetscapeCookie>> Cookies;
};

// Every cookie, indexed by domain (insertion order, looked up without regard to case).
class TNxCookies {
public:
    struct DomainEntry {
        std::string Domain;
        TNxCookieList List;
    };

    TNxCookieList* FindDomain(std::string_view domain);
    TNxCookieList& DomainList(const std::string& domain); // creates the entry when missing
    std::size_t Count() const;

    std::vector<DomainEntry> Domains;
    mutable std::shared_mutex Lock;
};

class TNxCookieManager {
public:
    // Files a cookie from a "Set-cookie" (first kind) or "Set-cookie2" (second kind) value of a
    // reply from `host`; a cookie that fails the domain test is dropped. Returns whether it was kept.
    bool AddCookie(std::string_view setCookieValue, const std::string& host);
    bool AddCookie2(std::string_view setCookie2Value, const std::string& host);

    // The "Cookie" header value for a request to `host` and `path` (the path without document);
    // empty when no cookie matches. Expired cookies are deleted first.
    std::string GenerateCookieList(const std::string& host, const std::string& path);

    // Whether a cookie for `domain` may be kept from a reply of `host`.
    static bool IsValidDomain(const std::string& domain, const std::string& host);
    // Whether a stored domain applies to a request host: equal, or a suffix on a label boundary.
    static bool DomainMatches(const std::string& domain, const std::string& host);

    TNxCookies CookieCollection;
    std::function<UnixSeconds()> Now = unixNow;

private:
    bool Accept(std::unique_ptr<TNxNetscapeCookie> cookie, const std::string& host);
};

// A dotted IPv4 address: four parts, each a whole number from 0 to 255.
bool isDottedIPv4(std::string_view text);

} // namespace orvex
