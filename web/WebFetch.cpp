#include "web/WebFetch.h"

#include "platform/Exception.h"

namespace orvex {

std::string fetchWithFreshClient(const std::string&) {
    throw Exception("HTTP-Client nicht verfügbar");
}

} // namespace orvex
