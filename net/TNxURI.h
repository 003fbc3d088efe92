// The parts of a URL. Parsing never fails: whatever the text holds is split into the parts;
// only building a full URI checks that protocol and host are there.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

class TNxURI {
public:
    TNxURI() = default;
    explicit TNxURI(std::string_view url) { SetURI(url); }

    void SetURI(std::string_view url);

    // protocol://[user[:password]@]host[:port]path document parameters[#bookmark]; raises
    // ENxURIException when the protocol or the host is empty.
    std::string GetFullURI(bool withUserPart = true, bool withBookmark = true) const;

    // Joins a relative path to a base path: repeated '/' collapse, ".." drops the segment before
    // it, and a trailing '/' stays only when the relative path ended with one or was empty.
    static std::string JoinPath(std::string_view basePath, std::string_view relativePath);

    std::string Protocol;
    std::string Username;
    std::string Password;
    std::string Host;
    std::string Port;
    std::string Path;
    std::string Document;
    std::string Params;
    std::string Bookmark;
};

} // namespace orvex
