#include "trace/TraceTarget.h"

#include "platform/Ipv6Text.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orvex {

namespace {

bool sameLetters(const std::string& text, const char* word) {
    const std::size_t n = std::strlen(word);
    if (text.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
    return true;
}

// First address of family for text; flags as getaddrinfo takes them. The error code of the
// resolver, 0 on success.
int lookup(const std::string& text, int family, int flags, TraceTarget& target) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(text.c_str(), nullptr, &hints, &list);
    if (rc != 0) return rc;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (a->ai_family != family) continue;
        target.family = family;
        std::memcpy(&target.address, a->ai_addr, a->ai_addrlen);
        target.length = a->ai_addrlen;
        target.text = addressText(a->ai_addr);
        ::freeaddrinfo(list);
        return 0;
    }
    ::freeaddrinfo(list);
    return EAI_NONAME;
}

} // namespace

TraceTarget TraceTarget::withPort(int port) const {
    TraceTarget t = *this;
    const auto p = htons(static_cast<std::uint16_t>(port));
    if (family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&t.address)->sin_port = p;
    else
        reinterpret_cast<sockaddr_in6*>(&t.address)->sin6_port = p;
    return t;
}

std::string addressText(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
        return text;
    }
    if (address->sa_family == AF_INET6)
        return ipv6Text(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return {};
}

std::optional<TraceTarget> resolveTraceTarget(const std::string& host, std::string& error) {
    TraceTarget target;
    if (host.empty()) {
        error = "kein Host angegeben";
        return std::nullopt;
    }
    std::string text = sameLetters(host, "LOCALHOST") ? std::string("127.0.0.1") : host;
    // "[fd00::1]" as in a web address.
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    if (text.find(':') != std::string::npos) {
        if (lookup(text, AF_INET6, AI_NUMERICHOST, target) == 0) return target;
        error = "'" + host + "' ist keine gültige IPv6-Adresse";
        return std::nullopt;
    }
    const int rc = lookup(text, AF_INET, 0, target);
    if (rc == 0) return target;
    if ((rc == EAI_NONAME || rc == EAI_NODATA) && lookup(text, AF_INET6, 0, target) == 0) return target;
    error = "Host nicht gefunden: " + host;
    return std::nullopt;
}

std::string reverseName(const std::string& text) {
    TraceTarget target;
    const int family = text.find(':') != std::string::npos ? AF_INET6 : AF_INET;
    if (lookup(text, family, AI_NUMERICHOST, target) != 0) return {};
    char name[NI_MAXHOST] = {};
    if (::getnameinfo(target.sockaddrPtr(), target.length, name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return name;
}

} // namespace orvex
