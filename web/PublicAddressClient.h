// The main window's HTTP client for the public-address box. It lives as long as the window, so its
// cookies and a connection the service keeps open carry over from one query to the next.
#pragma once

#include "net/TNxHTTP.h"
#include "web/WebFetch.h"

#include <memory>
#include <string>

namespace orvex {

// A client set up the way the box has always asked: the request fields below, cookies on, no
// proxy, the web queries' connect and read limits, an over-long line is an error; a reply body beyond
// kMaxServiceReplyBody is an error too.
std::unique_ptr<TNxHTTP> makePublicAddressClient();

// The main window's public-address client from one query to the next (UI thread). It hands out the
// client for each query with the query's hold (WebQuery), and knows when a stopped query has let go
// of its client: until then the next query gets a fresh client (the stopped one's socket is shut
// down, but its thread may not have noticed yet); afterwards the kept client serves again. Every
// client it makes shares one cookie store, so a stop loses no cookie.
class PublicAddressClients {
public:
    struct Query {
        std::shared_ptr<TNxHTTP> client;
        std::shared_ptr<WebQuery> hold;
    };

    // The client and hold for the next query, with the given limits. The query must be started and
    // must call the hold's run() on the client (until then the client counts as in use).
    Query next(const WebTimeouts& timeouts);
    // When the box is idle again, finished or stopped: ends the last query if it still runs.
    void settle();
    // The client the next query would use, unless the last one still holds it.
    const std::shared_ptr<TNxHTTP>& client() const { return client_; }

    PublicAddressClients();

private:
    std::shared_ptr<TNxHTTP> makeClient() const;

    std::shared_ptr<TNxCookieManager> cookies_;
    std::shared_ptr<TNxHTTP> client_;
    std::shared_ptr<WebQuery> last_;
};

// The address in the service's reply: the body without the line breaks, blanks and tabs around it
// (many services end the address with a newline, which must not reach the lookup and ping fields).
std::string publicAddressFromReply(const std::string& body);

} // namespace orvex
