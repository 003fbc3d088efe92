// The GET the PageRank query runs: a new HTTP client in its default configuration for one URL,
// released after the call, also when it fails. Plain C++.
#pragma once

#include <string>

namespace orvex {

class TNxTCPClient;

// The two web queries never wait on a server without end: a connection must stand within
// connectMs, and each read must bring data within readMs.
struct WebTimeouts {
    int connectMs = 10000;
    int readMs = 15000;
};

// Sets the client's connect and read limits.
void applyWebTimeouts(TNxTCPClient& client, const WebTimeouts& timeouts);

// The reply body, byte for byte, at most kMaxServiceReplyBody bytes (a longer one raises
// ENxBodyTooLarge). The client's errors pass through.
std::string fetchWithFreshClient(const std::string& url, const WebTimeouts& timeouts = {});

} // namespace orvex
