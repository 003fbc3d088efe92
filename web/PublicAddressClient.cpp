#include "web/PublicAddressClient.h"

#include "web/ServiceSettings.h"
#include "web/WebFetch.h"

namespace orvex {

std::unique_ptr<TNxHTTP> makePublicAddressClient() {
    auto client = std::make_unique<TNxHTTP>();
    TNxHTTPRequest& request = client->Request;
    request.Accept = "text/html, */*";
    request.UserAgent = "Mozilla/3.0 (compatible; Nx Library)";
    request.ContentType = "text/html";
    request.ContentLength = -1;
    request.ContentRangeStart = 0;
    request.ContentRangeEnd = 0;
    request.BasicAuthentication = false;
    request.MaxBodySize = kMaxServiceReplyBody;
    client->AllowCookies = true;
    client->HTTPOptions = hoForceEncodeParams;
    applyWebTimeouts(*client, WebTimeouts{});
    client->ProxyParams.ProxyServer.clear();
    client->ProxyParams.ProxyPort = 0;
    client->ProxyParams.BasicAuthentication = false;
    client->MaxLineAction = TNxMaxLineAction::maException;
    return client;
}

PublicAddressClients::PublicAddressClients()
    : cookies_(std::make_shared<TNxCookieManager>()), client_(makeClient()) {}

std::shared_ptr<TNxHTTP> PublicAddressClients::makeClient() const {
    std::shared_ptr<TNxHTTP> client = makePublicAddressClient();
    client->CookieManager = cookies_;
    return client;
}

PublicAddressClients::Query PublicAddressClients::next(const WebTimeouts& timeouts) {
    if (last_ && last_->busy())
        client_ = makeClient();
    else
        client_->ClearAbort(); // nobody else uses it any more: busy() said so under its lock
    last_ = std::make_shared<WebQuery>();
    applyWebTimeouts(*client_, timeouts);
    return {client_, last_};
}

void PublicAddressClients::settle() {
    if (last_) last_->stop();
}

std::string publicAddressFromReply(const std::string& body) {
    constexpr const char* kAround = " \t\r\n";
    const std::size_t first = body.find_first_not_of(kAround);
    if (first == std::string::npos) return {};
    return body.substr(first, body.find_last_not_of(kAround) - first + 1);
}

} // namespace orvex
