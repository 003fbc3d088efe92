// The client's cookie store. A store belongs to one HTTP client and lives as long as it; the
// index is guarded by a reader/writer lock, so selecting may run beside other readers while
// adding and expiring take it alone.
//
// Bounded as browsers bound theirs, so that a server cannot make each request slower and larger
// without end: a cookie of more than kMaxCookieBytes is dropped, a domain keeps kMaxCookiesPerDomain
// and the store kMaxCookies (an expired one goes first, then the one set longest ago), and a
// "Cookie" line stops short of kMaxCookieLine bytes. A request asks only the domains its host can
// match (the host and its suffixes on label boundaries), never every cookie.
#pragma once

#include "net/InternetDate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::uint64_t Stamp = 0; // when the store filed it: higher is newer

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
    // Replaces a cookie of the same name, or appends. Returns the replaced cookie's stamp, or 0.
    std::uint64_t Put(std::unique_ptr<TNxNetscapeCookie> cookie);
    // Deletes the cookies for which `expired` holds; returns their stamps.
    std::vector<std::uint64_t> RemoveIf(const std::function<bool(const TNxNetscapeCookie&)>& expired);
    std::size_t Count() const { return Cookies.size(); }

    std::vector<std::unique_ptr<TNxNetscapeCookie>> Cookies;
};

// Every cookie, indexed by domain (looked up without regard to case), and by age for eviction.
class TNxCookies {
public:
    struct DomainEntry {
        std::string Domain;
        std::uint64_t Order = 0; // domains in the order they were first filed
        TNxCookieList List;
    };

    // The caller holds Lock.
    TNxCookieList* FindDomain(std::string_view domain);
    const DomainEntry* FindEntry(std::string_view domain) const;
    // Files a cookie under its domain, replacing one of the same name, and evicts down to the
    // bounds. The caller holds Lock for writing.
    void File(std::unique_ptr<TNxNetscapeCookie> cookie, UnixSeconds now);
    // Deletes the expired cookies of a domain. The caller holds Lock for writing.
    void Expire(std::string_view domain, UnixSeconds now);

    std::size_t Count() const;
    std::size_t DomainCount() const;

    mutable std::shared_mutex Lock;

private:
    void Forget(const std::string& key, DomainEntry& entry, const std::vector<std::uint64_t>& stamps);
    void EvictOldest();

    std::unordered_map<std::string, DomainEntry> domains_; // by the domain in lower case
    std::map<std::uint64_t, std::string> byAge_;           // stamp -> domain key, oldest first
    std::uint64_t nextStamp_ = 1;
    std::uint64_t nextOrder_ = 1;
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

    static constexpr std::size_t kMaxCookieBytes = 4096;
    static constexpr std::size_t kMaxCookiesPerDomain = 50;
    static constexpr std::size_t kMaxCookies = 1000;
    static constexpr std::size_t kMaxCookieLine = 8190;

    TNxCookies CookieCollection;
    std::function<UnixSeconds()> Now = unixNow;

private:
    bool Accept(std::unique_ptr<TNxNetscapeCookie> cookie, const std::string& host);
};

// A dotted IPv4 address: four parts, each a whole number from 0 to 255.
bool isDottedIPv4(std::string_view text);

} // namespace orvex
