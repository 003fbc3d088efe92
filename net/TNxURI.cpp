#include "net/TNxURI.h"

#include "net/NxHTTPExceptions.h"

#include <vector>

namespace orvex {

namespace {

// Splits what follows the authority into path, document and parameters.
void splitPathPart(std::string_view rest, bool rooted, std::string& path, std::string& document,
                   std::string& params) {
    std::size_t q = rest.find('?');
    if (q == std::string_view::npos) q = rest.find('=');
    std::size_t p;
    if (q == std::string_view::npos)
        p = rest.rfind('/');
    else
        p = q == 0 ? std::string_view::npos : rest.rfind('/', q - 1);
    const std::size_t docStart = p == std::string_view::npos ? 0 : p + 1;
    path.clear();
    if (rooted) path += '/';
    if (p != std::string_view::npos) path += rest.substr(0, p + 1);
    if (q == std::string_view::npos) {
        document = std::string(rest.substr(docStart));
        params.clear();
    } else {
        document = std::string(rest.substr(docStart, q - docStart));
        params = std::string(rest.substr(q));
    }
}

} // namespace

void TNxURI::SetURI(std::string_view urlText) {
    std::string url(urlText);
    for (char& c : url)
        if (c == '\\') c = '/';
    *this = TNxURI();

    const std::size_t scheme = url.find("://");
    if (scheme != std::string::npos) {
        Protocol = url.substr(0, scheme);
        std::string rest = url.substr(scheme + 3);
        std::string authority;
        const std::size_t slash = rest.find('/');
        if (slash == std::string::npos) {
            authority = rest;
            rest.clear();
        } else {
            authority = rest.substr(0, slash);
            rest.erase(0, slash + 1);
        }
        const std::size_t at = authority.find('@');
        if (at != std::string::npos) {
            const std::string user = authority.substr(0, at);
            authority.erase(0, at + 1);
            const std::size_t colon = user.find(':');
            Username = user.substr(0, colon);
            if (colon != std::string::npos) Password = user.substr(colon + 1);
            if (Username.empty()) Password.clear();
        }
        const std::size_t colon = authority.find(':');
        Host = authority.substr(0, colon);
        if (colon != std::string::npos) Port = authority.substr(colon + 1);
        splitPathPart(rest, true, Path, Document, Params);
        const std::size_t hash = Document.find('#');
        if (hash != std::string::npos) {
            Bookmark = Document.substr(hash + 1);
            Document.erase(hash);
        }
    } else {
        splitPathPart(url, false, Path, Document, Params);
    }
    if (Bookmark.empty()) {
        const std::size_t hash = Params.find('#');
        if (hash != std::string::npos) {
            Bookmark = Params.substr(hash + 1);
            Params.erase(hash);
        }
    }
}

std::string TNxURI::GetFullURI(bool withUserPart, bool withBookmark) const {
    if (Protocol.empty()) throw ENxURIException("Protokollfeld ist leer");
    if (Host.empty()) throw ENxURIException("Host-Feld ist leer");
    std::string uri = Protocol + "://";
    if (withUserPart && !Username.empty()) {
        uri += Username;
        if (!Password.empty()) uri += ":" + Password;
        uri += "@";
    }
    uri += Host;
    if (!Port.empty()) uri += ":" + Port;
    uri += Path + Document + Params;
    if (withBookmark && !Bookmark.empty()) uri += "#" + Bookmark;
    return uri;
}

std::string TNxURI::JoinPath(std::string_view basePath, std::string_view relativePath) {
    const std::string joined = std::string(basePath) + "/" + std::string(relativePath);
    const bool rooted = !joined.empty() && joined[0] == '/';
    std::vector<std::string> segments;
    std::size_t i = 0;
    while (i <= joined.size()) {
        std::size_t j = joined.find('/', i);
        if (j == std::string::npos) j = joined.size();
        const std::string segment = joined.substr(i, j - i);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty()) {
            segments.push_back(segment);
        }
        i = j + 1;
    }
    std::string path = rooted ? "/" : "";
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (k > 0) path += "/";
        path += segments[k];
    }
    const bool keepSlash = relativePath.empty() || relativePath.back() == '/';
    if (keepSlash && !segments.empty()) path += "/";
    return path;
}

} // namespace orvex
