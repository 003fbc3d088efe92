// JSON text for the command-line reports and the history's JSON Lines export. Plain C++.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

// text as a JSON string literal, quotes included: '"' and '\' escaped, control characters as
// \u00XX; other bytes (UTF-8 included) as they are.
std::string jsonString(std::string_view text);

} // namespace orvex
