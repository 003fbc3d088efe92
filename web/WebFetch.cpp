#include "web/WebFetch.h"

#include "net/TNxHTTP.h"

namespace orvex {

std::string fetchWithFreshClient(const std::string& url) {
    TNxHTTP client; // default configuration: no proxy, redirects not followed
    return client.FetchUrl(url);
}

} // namespace orvex
