#include "web/WebFetch.h"

#include "net/TNxHTTP.h"
#include "web/ServiceSettings.h"

namespace orvex {

std::string fetchWithFreshClient(const std::string& url) {
    TNxHTTP client; // default configuration: no proxy, redirects not followed
    client.Request.MaxBodySize = kMaxServiceReplyBody;
    return client.FetchUrl(url);
}

} // namespace orvex
