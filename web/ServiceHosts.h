// The two web services the program asks. Their hosts are build settings (ORVEX_PUBLIC_ADDRESS_HOST,
// ORVEX_RANK_QUERY_HOST), so a user can point Orvex at a service of their own; a host may carry
// ":port". The paths are fixed.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

inline constexpr const char* kPublicAddressPath = "/orvexip/ip.php";

// The longest reply body either service may send. Their answers are a line of a few bytes; a
// longer body ends the query with an error before it can fill the memory or the window's fields.
inline constexpr std::uint64_t kMaxServiceReplyBody = 64 * 1024;

const char* defaultPublicAddressHost();
const char* defaultRankQueryHost();

// "http://" + host + "/orvexip/ip.php"
std::string publicAddressUrl(const std::string& host);

} // namespace orvex
