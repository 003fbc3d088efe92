// URL parsing, full-URI building and path joining on arbitrary text.
#include "net/TNxURI.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TNxURI uri(text);
    // Every byte of the input lands in exactly one part (separators aside), never more.
    const std::size_t total = uri.Protocol.size() + uri.Username.size() + uri.Password.size() +
                              uri.Host.size() + uri.Port.size() + uri.Path.size() + uri.Document.size() +
                              uri.Params.size() + uri.Bookmark.size();
    if (total > size + 1) __builtin_trap();
    try {
        const std::string full = uri.GetFullURI();
        const TNxURI again(full);
        // Parts free of separators come back unchanged from their own full URI.
        const auto plain = [](const std::string& part) {
            return part.find_first_of("/?=#@:\\") == std::string::npos;
        };
        if (plain(uri.Protocol) && plain(uri.Username) && plain(uri.Password) && plain(uri.Host) &&
            plain(uri.Port) &&
            (again.Host != uri.Host || again.Port != uri.Port || again.Username != uri.Username))
            __builtin_trap();
    } catch (const std::exception&) {
    }
    const std::size_t cut = text.find('\n');
    const std::string joined = TNxURI::JoinPath(
        text.substr(0, cut), cut == std::string::npos ? std::string() : text.substr(cut + 1));
    if (joined.find("//") != std::string::npos) __builtin_trap();
    return 0;
}
