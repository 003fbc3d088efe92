// Which HTTP proxy the public-address box reports: the platform's proxy list, parsed exactly the way
// the box always has, odd cases included (see GetProxy). Plain C++, UI thread.
#pragma once

#include "platform/ProxySetting.h"

#include <cstdint>
#include <string>

namespace orvex {

// The size of the buffer the proxy record is read into; a longer record reads as "no proxy".
inline constexpr std::size_t kProxyInfoBufferSize = 4096;

// The configured proxy list when a named proxy is set; empty when the query fails or the access
// type is anything else.
std::string GetProxyString(ProxySetting& setting);

struct ProxyServer {
    std::string host;      // empty: no proxy
    std::int32_t port = 0; // 0: none, or not a number
};

// The proxy for protocol. With an entry "protocol=" in the list, that entry alone is read (up to
// the next ";"); without one, the whole list is read as a single host:port pair, so other
// protocols' entries end up in the host. An entry without ":" counts as no proxy.
ProxyServer GetProxy(ProxySetting& setting, const std::string& protocol);

// The status bar text for a proxy: " Proxyserver: " host "  Port: " port. Empty for no proxy.
std::string proxyPanelText(const ProxyServer& proxy);

} // namespace orvex
