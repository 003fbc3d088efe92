// The two web services the program asks. Their hosts are build settings (ORVEX_PUBLIC_ADDRESS_HOST,
// ORVEX_RANK_QUERY_HOST), so a user can point Orvex at a service of their own; a host may carry
// ":port". The paths are fixed.
#pragma once

#include <string>

namespace orvex {

inline constexpr const char* kPublicAddressPath = "/orvexip/ip.php";

const char* defaultPublicAddressHost();
const char* defaultRankQueryHost();

// "http://" + host + "/orvexip/ip.php"
std::string publicAddressUrl(const std::string& host);

} // namespace orvex
