// Internet dates (RFC 1123, "Sun, 06 Nov 1994 08:49:37 GMT") as seconds since 1970-01-01 UTC.
// Writing always gives RFC 1123; reading also takes the RFC 850 and asctime forms and the
// "06-Nov-1994" cookie form that servers still send, so a written date reads back unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

using UnixSeconds = std::int64_t;

std::string formatInternetDate(UnixSeconds t);

// Empty when the text holds no complete date (day, month, year and time).
std::optional<UnixSeconds> parseInternetDate(std::string_view text);

// The system clock in whole seconds.
UnixSeconds unixNow();

} // namespace orvex
