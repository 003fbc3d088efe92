// The settings reader and the check of the service URL it yields: whatever the file holds, a URL
// the check lets through is one the HTTP client reads as the same http:// host and a port in range.
#include "net/NxStr.h"
#include "net/TNxURI.h"
#include "web/ServiceSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string url = iniValue(text, "Services", "PublicAddressUrl");
    if (url.find('\n') != std::string::npos) __builtin_trap(); // one line's value, never more
    const ServiceSetting setting{url, SettingSource::ConfigFile, "orvex.conf", "PublicAddressUrl"};
    if (!serviceSettingProblem(WebService::PublicAddress, setting).empty()) return 0;
    if (url.find('\\') != std::string::npos) __builtin_trap();
    const TNxURI parts(url);
    if (!nxstr::sameText(parts.Protocol, "http") || parts.Host.empty()) __builtin_trap();
    if (parts.Host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") !=
        std::string::npos)
        __builtin_trap();
    if (!parts.Port.empty()) {
        if (parts.Port.size() > 5 || parts.Port.find_first_not_of("0123456789") != std::string::npos)
            __builtin_trap();
        const long port = std::stol(parts.Port);
        if (port < 1 || port > 65535) __builtin_trap();
    }
    return 0;
}
