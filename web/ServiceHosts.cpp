#include "web/ServiceHosts.h"

namespace orvex {

const char* defaultPublicAddressHost() {
    return ORVEX_PUBLIC_ADDRESS_HOST;
}

const char* defaultRankQueryHost() {
    return ORVEX_RANK_QUERY_HOST;
}

std::string publicAddressUrl(const std::string& host) {
    return "http://" + host + kPublicAddressPath;
}

} // namespace orvex
