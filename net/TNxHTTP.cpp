#include "net/TNxHTTP.h"

#include "net/NxHTTPExceptions.h"
#include "net/NxStr.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace orvex {

using namespace nxstr;

namespace {

constexpr int kErrorBodyReadTimeout = 2000;
// An error reply's body only travels in the exception; more than this is read and dropped.
constexpr std::size_t kMaxErrorText = 1 << 20;
// Each header line is bounded by MaxLineLength; their number is bounded by this total, for all the
// status and header lines of one request together, interim replies ("100 Continue") included.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;
// A chunk-size line holds a few hex digits and perhaps an extension; nothing needs more.
constexpr std::size_t kMaxChunkSizeLine = 1024;
// Framing a chunked body may cost: this much, plus kFramingPerBodyByte for every body byte read
// (a body of one-byte chunks needs 5 bytes of framing per byte). More is a flood, not a body.
constexpr std::uint64_t kChunkFramingAllowance = 64 * 1024;
constexpr std::uint64_t kFramingPerBodyByte = 8;

class CappedTextStream : public TNxStream {
public:
    void Write(const char* data, std::size_t size) override {
        const std::size_t room = kMaxErrorText - Text.size();
        Text.append(data, size < room ? size : room);
    }
    std::string Text;
};

// Hands body bytes on until the request's limit; a write beyond it ends the read there, so a
// server cannot make the client take more than the caller allows, whatever the body's kind.
class BodyLimit : public TNxStream {
public:
    BodyLimit(TNxStream* dest, std::uint64_t limit) : dest_(dest), room_(limit) {}
    void Write(const char* data, std::size_t size) override {
        if (size > room_) throw ENxBodyTooLarge();
        room_ -= size;
        if (dest_) dest_->Write(data, size);
    }
    // A receive into the body asks for at most one byte past the limit, in dest's own room.
    std::span<char> Reserve(std::size_t most) override {
        const std::size_t capped = room_ < most ? static_cast<std::size_t>(room_) + 1 : most;
        return dest_ ? dest_->Reserve(capped) : TNxStream::Reserve(capped);
    }
    void Commit(std::size_t n) override {
        if (n > room_) throw ENxBodyTooLarge();
        room_ -= n;
        if (dest_) dest_->Commit(n);
    }

private:
    TNxStream* dest_;
    std::uint64_t room_;
};

// A chunk-size line: hexadecimal digits up to a blank or ';' (what follows a ';' is an extension).
// Text that is not a number counts as 0, which ends the body; a size no body can have is an error.
std::int64_t parseChunkSize(const std::string& line) {
    std::string_view digits = trim(line);
    const std::size_t end = digits.find_first_of(" \t;");
    if (end != std::string_view::npos) digits = digits.substr(0, end);
    if (digits.empty()) return 0;
    std::uint64_t size = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return 0;
        if (size > (static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) >> 4))
            throw ENxInvalidChunkSize(line);
        size = size << 4 | static_cast<std::uint64_t>(v);
    }
    return static_cast<std::int64_t>(size);
}

const char* methodName(TNxHTTPMethod m) {
    switch (m) {
    case TNxHTTPMethod::hmHead:
        return "HEAD";
    case TNxHTTPMethod::hmGet:
        return "GET";
    case TNxHTTPMethod::hmPost:
        return "POST";
    case TNxHTTPMethod::hmOptions:
        return "OPTIONS";
    case TNxHTTPMethod::hmTrace:
        return "TRACE";
    case TNxHTTPMethod::hmPut:
        return "PUT";
    case TNxHTTPMethod::hmDelete:
        return "DELETE";
    case TNxHTTPMethod::hmConnect:
        return "CONNECT";
    }
    return "GET";
}

} // namespace

TNxCustomHTTP::TNxCustomHTTP() = default;

TNxCustomHTTP::~TNxCustomHTTP() {
    if (Connected()) Disconnect();
}

void TNxCustomHTTP::PrepareRequest(const std::string& url) {
    // A line break in the URL would end the request line and start a header line of the URL's
    // choosing; no control character belongs in a request line.
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }))
        throw ENxException(nxtext::kControlCharacterInUrl);
    const TNxURI parsed(url);
    if (!parsed.Username.empty()) {
        Request.Username = parsed.Username;
        Request.Password = parsed.Password;
    }
    if (!parsed.Path.empty() && parsed.Path[0] == '/')
        URL.Path = parsed.Path;
    else
        URL.Path = TNxURI::JoinPath(URL.Path, parsed.Path);
    URL.Document = parsed.Document;
    URL.Params = parsed.Params;
    if (!parsed.Host.empty()) URL.Host = parsed.Host;
    URL.Protocol = parsed.Protocol.empty() ? "http" : parsed.Protocol;
    if (!parsed.Port.empty()) {
        URL.Port = parsed.Port;
    } else if (URL.Port.empty() || URL.Port == "0" || URL.Port == "80" || URL.Port == "443") {
        if (sameText(URL.Protocol, "http"))
            URL.Port = "80";
        else if (sameText(URL.Protocol, "https"))
            URL.Port = "443";
        else
            throw ENxUnknownProtocol();
    }
    Request.URL = URL.Path + URL.Document + URL.Params;
    Request.Method = TNxHTTPMethod::hmGet;
    Request.ContentLength = -1;
    Request.Host = URL.Port == "80" ? URL.Host : URL.Host + ":" + URL.Port;

    const bool secure = sameText(URL.Protocol, "https");
    std::string targetHost;
    int targetPort;
    if (ProxyParams.ProxyServer.empty()) {
        targetHost = URL.Host;
        targetPort = strToInt(URL.Port);
        Request.UseProxy = secure ? TNxHTTPConnectionType::ctSSL : TNxHTTPConnectionType::ctNormal;
    } else {
        targetHost = ProxyParams.ProxyServer;
        targetPort = ProxyParams.ProxyPort;
        Request.UseProxy = secure ? TNxHTTPConnectionType::ctSSLProxy : TNxHTTPConnectionType::ctProxy;
        Request.URL = URL.GetFullURI(false, false);
    }
    if (targetHost != Host || targetPort != Port) {
        if (Connected()) Disconnect();
        Host = targetHost;
        Port = targetPort;
    }
    // No secure transport is attached to this client.
    if (secure) throw ENxIOHandlerPropInvalid();

    if (ProtocolVersion == "1.0" && Request.Connection.empty() && Request.ProxyConnection.empty()) {
        if (Request.UseProxy == TNxHTTPConnectionType::ctNormal)
            Request.Connection = "keep-alive";
        else
            Request.ProxyConnection = "keep-alive";
    }
}

void TNxCustomHTTP::ConnectToHost() {
    if (Connected() && !Response.KeepAlive) Disconnect();
    CheckForStaleConnection();
    if (!Connected()) Connect();
}

void TNxCustomHTTP::SendRequest() {
    Request.SetHeaders();
    if (ProxyParams.Authentication)
        Request.RawHeaders.SetValue("Proxy-Authorization", ProxyParams.Authentication->Authentication());
    else if (ProxyParams.BasicAuthentication)
        Request.RawHeaders.SetValue(
            "Proxy-Authorization",
            "Basic " + base64Encode(ProxyParams.ProxyUsername + ":" + ProxyParams.ProxyPassword));
    if (CookieManager) {
        const std::string cookies = CookieManager->GenerateCookieList(URL.Host, URL.Path);
        if (!cookies.empty()) Request.RawHeaders.SetValue("Cookie", cookies);
    }
    std::string head;
    head.reserve(512);
    head += methodName(Request.Method);
    head += ' ';
    head += Request.URL;
    head += " HTTP/";
    head += ProtocolVersion;
    head += "\r\n";
    for (const std::string& line : Request.RawHeaders.Lines) {
        if (line.empty()) continue;
        head += line;
        head += "\r\n";
    }
    head += "\r\n";
    WriteBuffered(head);
    FlushWriteBuffer();
}

void TNxCustomHTTP::ReadStatusAndHeaders() {
    std::size_t headerBytes = 0; // one allowance for the whole request
    do {
        Response.RawHeaders.Clear();
        Response.ClearFields();
        Response.ResponseText.clear();
        Response.ResponseText = ReadLine();
        headerBytes += Response.ResponseText.size() + 2;
        if (headerBytes > kMaxHeaderBytes) throw ENxHeadersTooLarge();
        try {
            while (true) {
                std::string line = ReadLine();
                if (line.empty()) break;
                headerBytes += line.size() + 2;
                if (headerBytes > kMaxHeaderBytes) throw ENxHeadersTooLarge();
                Response.RawHeaders.Add(std::move(line));
            }
        } catch (const ENxConnClosedGracefully&) {
            // The headers that came before the close still count.
            Disconnect();
        }
        Response.ProcessHeaders(unixNow());
        if (!CookieManager && AllowCookies) CookieManager = std::make_shared<TNxCookieManager>();
        if (CookieManager) {
            for (const std::string& v : Response.RawHeaders.AllValues("Set-cookie"))
                CookieManager->AddCookie(v, URL.Host);
            for (const std::string& v : Response.RawHeaders.AllValues("Set-cookie2"))
                CookieManager->AddCookie2(v, URL.Host);
        }
    } while (Response.ResponseCode() == 100);
}

void TNxCustomHTTP::ReadResult(TNxStream* dest) {
    std::optional<BodyLimit> limited;
    if (Request.MaxBodySize != TNxHTTPRequest::kNoBodyLimit) {
        if (Response.ContentLength >= 0 &&
            static_cast<std::uint64_t>(Response.ContentLength) > Request.MaxBodySize)
            throw ENxBodyTooLarge();
        dest = &limited.emplace(dest, Request.MaxBodySize);
    }
    if (Response.ContentLength >= 1) {
        // A close before the last byte raises the close error: a cut body is never a whole one.
        ReadBlock(dest, Response.ContentLength);
    } else if (Response.RawHeaders.Values("Transfer-Encoding").find("chunked") != std::string::npos) {
        DoStatus(TNxStatus::hsStatusText, nxtext::kChunkStarted);
        ReadChunkedBody(dest);
    } else if (!Response.HasContentLength()) {
        ReadUntilClose(dest);
    }
}

std::string TNxCustomHTTP::ReadChunkSizeLine() {
    const std::size_t savedLength = MaxLineLength;
    const TNxMaxLineAction savedAction = MaxLineAction;
    MaxLineLength = kMaxChunkSizeLine;
    MaxLineAction = TNxMaxLineAction::maException;
    const auto restore = [&] {
        MaxLineLength = savedLength;
        MaxLineAction = savedAction;
    };
    try {
        std::string line = ReadLine();
        restore();
        return line;
    } catch (const ENxReadLnMaxLineLengthExceeded&) {
        restore();
        throw ENxChunkFraming();
    } catch (...) {
        restore();
        throw;
    }
}

void TNxCustomHTTP::ReadChunkedBody(TNxStream* dest) {
    std::uint64_t body = 0;
    std::uint64_t framing = 0;
    const auto spend = [&](std::size_t bytes) {
        framing += bytes;
        if (framing > kChunkFramingAllowance + kFramingPerBodyByte * body) throw ENxChunkFraming();
    };
    while (true) {
        const std::string line = ReadChunkSizeLine();
        spend(line.size() + 2);
        const std::int64_t size = parseChunkSize(line);
        if (size <= 0) break;
        ReadBlock(dest, size);
        body += static_cast<std::uint64_t>(size);
        // The data ends with CR LF and nothing else: junk there would be read and dropped unseen.
        CappedTextStream end;
        ReadBlock(&end, 2);
        if (end.Text != "\r\n") throw ENxChunkFraming();
        spend(2);
    }
    // Trailer lines up to the empty line that ends the reply, paid from the same allowance.
    for (std::string line; !(line = ReadLine()).empty();)
        spend(line.size() + 2);
}

void TNxCustomHTTP::RaiseProtocolError() {
    const int saved = ReadTimeout;
    ReadTimeout = kErrorBodyReadTimeout;
    CappedTextStream body;
    try {
        ReadResult(&body);
    } catch (const ENxConnClosedGracefully&) {
        // A counted error text cut by the close still goes with the status; a close inside a
        // chunked one is the close error, like any line or chunk still owed.
        if (Response.ContentLength < 1) {
            ReadTimeout = saved;
            throw;
        }
    } catch (const ENxBodyTooLarge&) {
        Disconnect(); // the rest of the body is still on its way
    } catch (...) {
        ReadTimeout = saved;
        throw;
    }
    ReadTimeout = saved;
    throw ENxHTTPProtocolException(Response.ResponseCode(), Response.ResponseText, std::move(body.Text));
}

bool TNxCustomHTTP::ResponseKeepsConnection() const {
    if (!Connected()) return false;
    const std::string_view connection = trim(Response.Connection);
    const std::string_view proxyConnection = trim(Response.ProxyConnection);
    if (ProtocolVersion == "1.0")
        return sameText(connection, "KEEP-ALIVE") || sameText(proxyConnection, "KEEP-ALIVE");
    return !sameText(connection, "CLOSE") && !sameText(proxyConnection, "CLOSE");
}

void TNxCustomHTTP::Get(const std::string& url, TNxStream* dest) {
    redirectCount_ = authRetries_ = proxyAuthRetries_ = 0;
    StartDeadline();
    Response.ContentStream = dest;
    bool sent = false;
    const auto finish = [this](bool replyComplete) {
        // A reply left half read would be taken for the start of the next one.
        Response.KeepAlive = replyComplete && ResponseKeepsConnection();
        if (!Response.KeepAlive && Connected()) Disconnect();
    };
    try {
        PrepareRequest(url);
        ConnectToHost();
        sent = true;
        SendRequest();
        ReadStatusAndHeaders();

        const int code = Response.ResponseCode();
        const int d = code / 100;
        if ((d == 3 && code != 304) || !Response.Location.empty()) RaiseProtocolError();
        if (d != 2) {
            if (code == 401 && authRetries_ < AuthRetries) {
                ++authRetries_;
                for (const std::string& challenge : Response.WWWAuthenticate) {
                    if (!sameText(before(trim(challenge), ' '), "Basic")) continue;
                    if (!Request.Authentication)
                        Request.Authentication = std::make_unique<TNxBasicAuthentication>();
                    // Nobody supplies credentials, so the attached object stays empty.
                    Request.Authentication->Reset();
                    break;
                }
            }
            RaiseProtocolError();
        }
        if (!Connected()) throw ENxException(nxtext::kUndefinedSituation);
        if (code != 204) ReadResult(dest);
    } catch (const ENxHTTPProtocolException&) {
        finish(true);
        throw;
    } catch (...) {
        finish(!sent);
        throw;
    }
    finish(true);
}

std::string TNxHTTP::FetchUrl(const std::string& url) {
    TNxMemoryStream body;
    Get(url, &body);
    return body.TakeData();
}

void TNxHTTP::FetchUrl(const std::string& url, std::ostream& dest) {
    TNxStdStream out(dest);
    Get(url, &out);
}

} // namespace orvex
