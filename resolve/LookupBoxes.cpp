#include "resolve/LookupBoxes.h"

#include "platform/Cp1252.h"
#include "resolve/ResolverLib.h"
#include "resolve/WinsockIntf.h"

namespace orvex {

const char* const kReverseEmptyNotice = "Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1";
const char* const kForwardEmptyNotice = "Bitte erst einen Hostnamen/Webadresse eingeben: z.B. www.debian.org";

namespace {

void removeAll(std::string& text, const std::string& what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

std::string notResolvedNotice(const char* subject, const std::string& fieldText) {
    return std::string(subject) + " \" " + cp1252ToUtf8(fieldText) + " \"  konnte nicht aufgelöst werden.";
}

// After a failed IPv4 lookup: a name that exists without IPv4 address (or was never one) may have
// IPv6 addresses. Dotted input and resolver failures that say nothing about the name (try again,
// non-recoverable) are not asked again.
bool hasOnlyIpv6(const std::string& input, std::string& resultText) {
    if (SocketApi->inet_addr(input.c_str()) != INADDR_NONE_VALUE) return false;
    const int code = SocketApi->WSAGetLastError();
    if (code != WSANO_DATA && code != WSAHOST_NOT_FOUND) return false;
    return TResolverLib::HostToAddress6(input, resultText);
}

} // namespace

std::string cleanHostInput(std::string text) {
    for (const char* prefix : {"http://", "https://", "ftp://ftp.", "/"})
        removeAll(text, prefix);
    return text;
}

LookupOutcome reverseLookup(const std::string& ipText) {
    LookupOutcome outcome;
    outcome.input = ipText;
    if (ipText.empty()) {
        outcome.notice = kReverseEmptyNotice;
        return outcome;
    }
    outcome.result = TResolverLib::AddressToHost(ipText);
    if (!outcome.result.empty()) {
        outcome.kind = LookupOutcome::Kind::Found;
    } else {
        outcome.kind = LookupOutcome::Kind::NotFound;
        outcome.notice = notResolvedNotice("Die IP-Adresse", ipText);
    }
    return outcome;
}

LookupOutcome forwardLookup(const std::string& hostText) {
    LookupOutcome outcome;
    outcome.input = cleanHostInput(hostText);
    if (outcome.input.empty()) {
        outcome.notice = kForwardEmptyNotice;
        return outcome;
    }
    std::string resultText;
    // An IPv6 address text is no name: asked for as one, a bracketed text would go to the DNS.
    const bool found = ParseIpv6Text(outcome.input)
                           ? TResolverLib::HostToAddress6(outcome.input, resultText)
                           : TResolverLib::HostToAddress(outcome.input, resultText) != 0 ||
                                 hasOnlyIpv6(outcome.input, resultText);
    if (found) {
        outcome.kind = LookupOutcome::Kind::Found;
        outcome.result = resultText;
    } else {
        outcome.kind = LookupOutcome::Kind::NotFound;
        outcome.notice = notResolvedNotice("Der Hostname", outcome.input);
    }
    return outcome;
}

} // namespace orvex
