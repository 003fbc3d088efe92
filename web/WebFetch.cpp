#include "web/WebFetch.h"

#include "net/TNxHTTP.h"
#include "web/ServiceSettings.h"

#include <optional>

namespace orvex {

void applyWebTimeouts(TNxTCPClient& client, const WebTimeouts& timeouts) {
    client.ConnectTimeout = timeouts.connectMs;
    client.ReadTimeout = timeouts.readMs;
    client.TotalTimeout = timeouts.totalMs;
}

WebQuery::Running::~Running() {
    if (query_ == nullptr) return;
    std::lock_guard lock(query_->lock_);
    query_->connection_ = nullptr;
    query_->done_ = true;
}

WebQuery::Running WebQuery::run(TNxTCPConnection& connection) {
    std::lock_guard lock(lock_);
    connection_ = &connection;
    if (stopped_) connection.Abort();
    return Running(this);
}

void WebQuery::stop() {
    // Under the lock, so the connection cannot go away while it is aborted.
    std::lock_guard lock(lock_);
    stopped_ = true;
    if (connection_ != nullptr) connection_->Abort();
}

bool WebQuery::busy() const {
    std::lock_guard lock(lock_);
    return !done_;
}

std::string fetchWithFreshClient(const std::string& url, const WebTimeouts& timeouts,
                                 const std::shared_ptr<WebQuery>& query) {
    TNxHTTP client; // default configuration: no proxy, redirects not followed
    client.Request.MaxBodySize = kMaxServiceReplyBody;
    applyWebTimeouts(client, timeouts);
    std::optional<WebQuery::Running> running;
    if (query) running.emplace(query->run(client));
    return client.FetchUrl(url);
}

} // namespace orvex
