// The main window's HTTP client for the public-address box. It lives as long as the window, so its
// cookies and a connection the service keeps open carry over from one query to the next.
#pragma once

#include "net/TNxHTTP.h"

#include <memory>
#include <string>

namespace orvex {

// A client set up the way the box has always asked: the request fields below, cookies on, no
// proxy, the web queries' connect and read limits, an over-long line is an error; a reply body beyond
// kMaxServiceReplyBody is an error too.
std::unique_ptr<TNxHTTP> makePublicAddressClient();

// The address in the service's reply: the body without the line breaks, blanks and tabs around it
// (many services end the address with a newline, which must not reach the lookup and ping fields).
std::string publicAddressFromReply(const std::string& body);

} // namespace orvex
