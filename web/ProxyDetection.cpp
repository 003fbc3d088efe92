#include "web/ProxyDetection.h"

#include "platform/Convert.h"

namespace orvex {

std::string GetProxyString(ProxySetting& setting) {
    ProxyInfo info;
    if (!setting.query(info, kProxyInfoBufferSize)) return {};
    if (info.accessType != ProxyInfo::kNamedProxy) return {};
    // The record's list is zero-terminated: it ends at its first NUL.
    return info.proxy.substr(0, info.proxy.find('\0'));
}

ProxyServer GetProxy(ProxySetting& setting, const std::string& protocol) {
    ProxyServer result;
    std::string s = GetProxyString(setting);
    if (s.empty()) return result;

    const std::string key = protocol + "=";
    if (const auto at = s.find(key); at != std::string::npos) {
        s.erase(0, at + key.size());
        if (const auto semicolon = s.find(';'); semicolon != std::string::npos) s.erase(semicolon);
    }
    const auto colon = s.find(':');
    if (colon == std::string::npos) return result;
    result.port = tryStrToInt(s.substr(colon + 1)).value_or(0);
    result.host = s.substr(0, colon);
    return result;
}

std::string proxyPanelText(const ProxyServer& proxy) {
    if (proxy.host.empty()) return {};
    return " Proxyserver: " + proxy.host + "  Port: " + std::to_string(proxy.port);
}

} // namespace orvex
