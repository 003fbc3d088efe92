// The GET the PageRank query runs: a new HTTP client in its default configuration for one URL,
// released after the call, also when it fails. Plain C++.
#pragma once

#include <string>

namespace orvex {

// The reply body, byte for byte, at most kMaxServiceReplyBody bytes (a longer one raises
// ENxBodyTooLarge). The client's errors pass through.
std::string fetchWithFreshClient(const std::string& url);

} // namespace orvex
