// Decisions of the "IP to Hostname" and "Hostname to IP" boxes, apart from the window.
// Field texts are Windows-1252 bytes; notices are UTF-8.
#pragma once

#include <string>

namespace orvex {

inline constexpr unsigned kLookupSettleMs = 500; // the window rests this long after a found answer

struct LookupOutcome {
    enum class Kind { EmptyInput, Found, NotFound };
    Kind kind = Kind::EmptyInput;
    std::string input;  // the field text the lookup used (after clean-up for the forward box)
    std::string result; // the name or address text written back on success
    std::string notice; // the notice text for EmptyInput and NotFound
};

// Removes every "http://", then "https://", then "ftp://ftp.", then "/" (case-sensitive).
std::string cleanHostInput(std::string text);

// Reverse lookup of the IP field's text (IPv4, or IPv6 with or without brackets). EResolverSocketError
// escapes for errors other than 11004.
LookupOutcome reverseLookup(const std::string& ipText);

// Forward lookup of the Hostname field's text, cleaned first. A name with an IPv4 address gives the
// first one; a name with only IPv6 addresses (or an IPv6 address text) gives the first IPv6 address
// in compressed form.
LookupOutcome forwardLookup(const std::string& hostText);

extern const char* const kReverseEmptyNotice;
extern const char* const kForwardEmptyNotice;

} // namespace orvex
