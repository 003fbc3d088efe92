#include "web/WebFetch.h"

#include "net/TNxHTTP.h"
#include "web/ServiceSettings.h"

namespace orvex {

void applyWebTimeouts(TNxTCPClient& client, const WebTimeouts& timeouts) {
    client.ConnectTimeout = timeouts.connectMs;
    client.ReadTimeout = timeouts.readMs;
}

std::string fetchWithFreshClient(const std::string& url, const WebTimeouts& timeouts) {
    TNxHTTP client; // default configuration: no proxy, redirects not followed
    client.Request.MaxBodySize = kMaxServiceReplyBody;
    applyWebTimeouts(client, timeouts);
    return client.FetchUrl(url);
}

} // namespace orvex
