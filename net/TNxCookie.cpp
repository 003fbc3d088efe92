#include "net/TNxCookie.h"

#include "net/NxHTTPExceptions.h"
#include "net/NxStr.h"

#include <algorithm>
#include <mutex>

namespace orvex {

using namespace nxstr;

namespace {

// "a=b; Path=/; Secure" -> trimmed parts; a final empty part after the last ';' is dropped.
std::vector<std::string> splitParts(std::string_view value) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t semi = value.find(';', start);
        const std::string_view part =
            trim(value.substr(start, semi == std::string_view::npos ? value.npos : semi - start));
        if (semi == std::string_view::npos) {
            if (!part.empty() || parts.empty()) parts.emplace_back(part);
            break;
        }
        parts.emplace_back(part);
        start = semi + 1;
    }
    return parts;
}

std::string stripOneQuoteEachEnd(std::string s) {
    if (!s.empty() && s.front() == '"') s.erase(0, 1);
    if (!s.empty() && s.back() == '"') s.pop_back();
    return s;
}

} // namespace

bool isDottedIPv4(std::string_view text) {
    std::string_view parts[4];
    std::string_view rest = text;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) {
            parts[i] = rest;
            rest = {};
            for (int k = i + 1; k < 4; ++k)
                parts[k] = {};
            return false; // a missing dot leaves an empty part
        }
        parts[i] = rest.substr(0, dot);
        rest = rest.substr(dot + 1);
    }
    parts[3] = rest;
    for (std::string_view p : parts) {
        if (p.empty() || p.size() > 3) return false;
        int v = 0;
        for (char c : p) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        if (v > 255) return false;
    }
    return true;
}

void TNxNetscapeCookie::ParseValue(std::string_view setCookieValue, UnixSeconds now) {
    const std::vector<std::string> parts = splitParts(setCookieValue);
    const std::string& first = parts.front();
    const std::size_t eq = first.find('=');
    CookieName = std::string(trim(std::string_view(first).substr(0, eq)));
    Value =
        eq == std::string::npos ? std::string() : std::string(trim(std::string_view(first).substr(eq + 1)));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        Attribute a;
        const std::size_t peq = part.find('=');
        if (peq == std::string::npos) {
            a.Name = upperCase(part);
        } else {
            a.Name = upperCase(trim(std::string_view(part).substr(0, peq)));
            a.Value = std::string(trim(std::string_view(part).substr(peq + 1)));
            a.HasValue = true;
        }
        LoadAttribute(a);
    }
    if (Expires.empty() && MaxAge >= 0) Expires = formatInternetDate(now + MaxAge);
}

void TNxNetscapeCookie::LoadAttribute(const Attribute& a) {
    if (a.Name == "PATH")
        Path = stripOneQuoteEachEnd(a.Value);
    else if (a.Name == "EXPIRES")
        Expires = a.Value;
    else if (a.Name == "DOMAIN")
        Domain = a.Value;
    else if (a.Name == "SECURE")
        Secure = true;
    else if (a.Name == "MAX-AGE")
        MaxAge = strToInt64Def(a.Value, -1);
    else if (a.Name == "VERSION")
        Version = a.Value;
    else if (a.Name == "COMMENT")
        Comment = a.Value;
}

bool TNxNetscapeCookie::IsExpired(UnixSeconds now) const {
    if (Expires.empty()) return false;
    const auto when = parseInternetDate(Expires);
    return when && *when < now;
}

void TNxCookieRFC2965::ParseValue(std::string_view setCookieValue, UnixSeconds now) {
    sawPort_ = false;
    PortList = {80};
    TNxCookieRFC2109::ParseValue(setCookieValue, now);
}

void TNxCookieRFC2965::LoadAttribute(const Attribute& a) {
    if (a.Name == "COMMENTURL") {
        CommentURL = a.Value;
    } else if (a.Name == "DISCARD") {
        Discard = true;
    } else if (a.Name == "PORT") {
        PortList.clear();
        const std::string& v = a.Value;
        if (v.size() < 2 || v.front() != '"' || v.back() != '"') return; // unquoted: no port
        const std::string list = v.substr(1, v.size() - 2);
        if (trim(list).empty()) {
            PortList = {80};
            return;
        }
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            PortList.push_back(
                strToInt(std::string(trim(std::string_view(list).substr(start, comma - start)))));
            start = comma + 1;
        }
    } else {
        TNxCookieRFC2109::LoadAttribute(a);
    }
}

std::uint64_t TNxCookieList::Put(std::unique_ptr<TNxNetscapeCookie> cookie) {
    for (auto& c : Cookies)
        if (sameText(c->CookieName, cookie->CookieName)) {
            const std::uint64_t replaced = c->Stamp;
            c = std::move(cookie);
            return replaced;
        }
    Cookies.push_back(std::move(cookie));
    return 0;
}

std::vector<std::uint64_t>
TNxCookieList::RemoveIf(const std::function<bool(const TNxNetscapeCookie&)>& expired) {
    std::vector<std::uint64_t> stamps;
    std::erase_if(Cookies, [&](const auto& c) {
        if (!expired(*c)) return false;
        stamps.push_back(c->Stamp);
        return true;
    });
    return stamps;
}

TNxCookieList* TNxCookies::FindDomain(std::string_view domain) {
    const auto found = domains_.find(upperCase(domain));
    return found == domains_.end() ? nullptr : &found->second.List;
}

const TNxCookies::DomainEntry* TNxCookies::FindEntry(std::string_view domain) const {
    const auto found = domains_.find(upperCase(domain));
    return found == domains_.end() ? nullptr : &found->second;
}

void TNxCookies::Forget(const std::string& key, DomainEntry& entry,
                        const std::vector<std::uint64_t>& stamps) {
    for (const std::uint64_t stamp : stamps)
        byAge_.erase(stamp);
    if (entry.List.Count() == 0) domains_.erase(key);
}

void TNxCookies::File(std::unique_ptr<TNxNetscapeCookie> cookie, UnixSeconds now) {
    std::string key = upperCase(cookie->Domain);
    auto [at, added] = domains_.try_emplace(key);
    DomainEntry& entry = at->second;
    if (added) {
        entry.Domain = cookie->Domain;
        entry.Order = nextOrder_++;
    }
    const std::uint64_t stamp = cookie->Stamp = nextStamp_++;
    if (const std::uint64_t replaced = entry.List.Put(std::move(cookie))) byAge_.erase(replaced);
    byAge_.emplace(stamp, key);
    if (entry.List.Count() > TNxCookieManager::kMaxCookiesPerDomain) {
        std::vector<std::uint64_t> gone =
            entry.List.RemoveIf([now](const TNxNetscapeCookie& c) { return c.IsExpired(now); });
        if (gone.empty()) {
            auto& cookies = entry.List.Cookies;
            const auto oldest =
                std::min_element(cookies.begin(), cookies.end(),
                                 [](const auto& a, const auto& b) { return a->Stamp < b->Stamp; });
            gone.push_back((*oldest)->Stamp);
            cookies.erase(oldest);
        }
        Forget(key, entry, gone);
    }
    while (byAge_.size() > TNxCookieManager::kMaxCookies)
        EvictOldest();
}

void TNxCookies::EvictOldest() {
    const std::uint64_t stamp = byAge_.begin()->first;
    const std::string key = byAge_.begin()->second;
    byAge_.erase(byAge_.begin());
    const auto found = domains_.find(key);
    if (found == domains_.end()) return;
    std::erase_if(found->second.List.Cookies, [stamp](const auto& c) { return c->Stamp == stamp; });
    if (found->second.List.Count() == 0) domains_.erase(found);
}

void TNxCookies::Expire(std::string_view domain, UnixSeconds now) {
    const std::string key = upperCase(domain);
    const auto found = domains_.find(key);
    if (found == domains_.end()) return;
    Forget(key, found->second,
           found->second.List.RemoveIf([now](const TNxNetscapeCookie& c) { return c.IsExpired(now); }));
}

std::size_t TNxCookies::Count() const {
    std::shared_lock lock(Lock);
    return byAge_.size();
}

std::size_t TNxCookies::DomainCount() const {
    std::shared_lock lock(Lock);
    return domains_.size();
}

bool TNxCookieManager::IsValidDomain(const std::string& domain, const std::string& host) {
    const auto isHostName = [](const std::string& s) {
        return (s.empty() || s[0] != '.') && !isDottedIPv4(s);
    };
    const std::size_t dot = host.find('.');
    const std::string hostDomain = dot == std::string::npos ? host : host.substr(dot);
    if (isDottedIPv4(host)) return domain == host;
    if (isHostName(host)) return (isHostName(domain) && domain == host) || domain == hostDomain;
    return sameText(domain, hostDomain);
}

bool TNxCookieManager::DomainMatches(const std::string& domain, const std::string& host) {
    if (domain.empty()) return false;
    if (sameText(domain, host)) return true;
    // An address names one machine: no suffix of it names another.
    if (isDottedIPv4(host) || isDottedIPv4(domain)) return false;
    if (!endsWithText(host, domain)) return false;
    return domain.front() == '.' || host[host.size() - domain.size() - 1] == '.';
}

bool TNxCookieManager::Accept(std::unique_ptr<TNxNetscapeCookie> cookie, const std::string& host) {
    if (cookie->Domain.empty()) cookie->Domain = host;
    if (!IsValidDomain(cookie->Domain, host)) return false;
    const UnixSeconds now = Now();
    std::unique_lock lock(CookieCollection.Lock);
    CookieCollection.File(std::move(cookie), now);
    return true;
}

bool TNxCookieManager::AddCookie(std::string_view setCookieValue, const std::string& host) {
    if (setCookieValue.size() > kMaxCookieBytes) return false;
    auto cookie = std::make_unique<TNxCookieRFC2109>();
    cookie->ParseValue(setCookieValue, Now());
    return Accept(std::move(cookie), host);
}

bool TNxCookieManager::AddCookie2(std::string_view setCookie2Value, const std::string& host) {
    if (setCookie2Value.size() > kMaxCookieBytes) return false;
    auto cookie = std::make_unique<TNxCookieRFC2965>();
    cookie->ParseValue(setCookie2Value, Now());
    return Accept(std::move(cookie), host);
}

namespace {

// The stored domains that can match host: the host itself and every suffix of it that starts a
// label, with and without the dot before it; an address only itself.
std::vector<std::string> candidateDomains(const std::string& host) {
    std::vector<std::string> domains{host};
    if (isDottedIPv4(host)) return domains;
    for (std::size_t i = 1; i < host.size(); ++i)
        if (host[i] == '.' || host[i - 1] == '.') domains.push_back(host.substr(i));
    std::erase_if(domains, [&](const std::string& d) { return !TNxCookieManager::DomainMatches(d, host); });
    return domains;
}

} // namespace

std::string TNxCookieManager::GenerateCookieList(const std::string& host, const std::string& path) {
    const UnixSeconds now = Now();
    const std::vector<std::string> domains = candidateDomains(host);
    {
        std::unique_lock lock(CookieCollection.Lock);
        for (const std::string& d : domains)
            CookieCollection.Expire(d, now);
    }
    struct Selected {
        const TNxNetscapeCookie* cookie;
        std::uint64_t domainOrder;
        std::size_t position;
    };
    std::vector<Selected> selected;
    std::shared_lock lock(CookieCollection.Lock);
    for (const std::string& d : domains) {
        const TNxCookies::DomainEntry* entry = CookieCollection.FindEntry(d);
        if (!entry) continue;
        const auto& cookies = entry->List.Cookies;
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            const TNxNetscapeCookie& c = *cookies[i];
            if (c.Path.empty() || c.Secure || c.Value.empty()) continue;
            if (path.compare(0, c.Path.size(), c.Path) != 0) continue;
            selected.push_back({&c, entry->Order, i});
        }
    }
    // Descending by path; cookies of one path in the order their domains and they were filed.
    std::sort(selected.begin(), selected.end(), [](const Selected& a, const Selected& b) {
        if (const int byPath = compareText(a.cookie->Path, b.cookie->Path); byPath != 0) return byPath > 0;
        if (a.domainOrder != b.domainOrder) return a.domainOrder < b.domainOrder;
        return a.position < b.position;
    });
    std::string line;
    for (const Selected& s : selected) {
        const std::string text = s.cookie->CookieText();
        if (line.size() + 2 + text.size() > kMaxCookieLine) break;
        if (!line.empty()) line += "; ";
        line += text;
    }
    return line;
}

} // namespace orvex
