// Integer reading the way the toolkit's StrToInt does it, with its conversion error.
#pragma once

#include "platform/Exception.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvex {

// "'<text>' ist kein gültiger Integerwert"
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Reads a 32-bit signed integer: leading blanks, an optional sign, decimal digits or a hexadecimal
// number after "$" or "0x"; nothing may follow. Returns nothing for any other text.
std::optional<int> tryStrToInt(std::string_view text);

// As tryStrToInt; a text that is no integer raises EConvertError naming the text. The text is
// UTF-8 (it goes into the message unchanged).
int StrToInt(std::string_view text);

} // namespace orvex
