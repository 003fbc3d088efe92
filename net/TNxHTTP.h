// The blocking HTTP/1.1 client for GET requests. One thread uses a client at a time (in the
// program, the UI thread, which the request blocks). The client owns its connection, its I/O
// handler and its cookie store; a connection the server keeps open is reused by the next request.
//
// Redirects are reported, not followed (HandleRedirects is kept for callers that set it); no
// secure transport exists, so "https" fails; the connect waits as long as the platform does unless
// ConnectTimeout says otherwise, and TotalTimeout bounds a whole request. A URL holding a control
// character is refused before anything is sent. Abort (TNxTCPConnection) may come from another
// thread.
// A request that fails after it was sent closes its connection unless the reply was read to its
// end, so the rest of a broken reply is never taken for the next one.
#pragma once

#include "net/TNxCookie.h"
#include "net/TNxHTTPHeaders.h"
#include "net/TNxTCPClient.h"
#include "net/TNxURI.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace orvex {

enum TNxHTTPOption : unsigned { hoInProcessAuth = 1, hoKeepOrigProtocol = 2, hoForceEncodeParams = 4 };
using TNxHTTPOptions = unsigned;

class TNxHTTPProtocol {
public:
    TNxHTTPRequest Request;
    TNxHTTPResponse Response;
};

class TNxCustomHTTP : public TNxTCPClient {
public:
    TNxCustomHTTP();
    ~TNxCustomHTTP() override;

    // GET into dest (nullptr: the body is read and dropped).
    void Get(const std::string& url, TNxStream* dest);

    std::string ProtocolVersion = "1.1";
    TNxHTTPOptions HTTPOptions = hoForceEncodeParams;
    bool HandleRedirects = false;
    int RedirectMaximum = 15;
    int AuthRetries = 3;
    bool AllowCookies = true;
    TNxProxyConnectionInfo ProxyParams;

    TNxHTTPProtocol HTTPProto;
    TNxHTTPRequest& Request = HTTPProto.Request;
    TNxHTTPResponse& Response = HTTPProto.Response;
    TNxURI URL; // the current URL parts, the base of the next request
    // Made with the first reply when cookies are allowed; an owner that wants several clients to
    // share one store (it is safe for that) sets it before the first request.
    std::shared_ptr<TNxCookieManager> CookieManager;

protected:
    void PrepareRequest(const std::string& url);
    void ConnectToHost();
    void SendRequest();
    void ReadStatusAndHeaders();
    void ReadResult(TNxStream* dest);
    // The chunks, their terminators and the trailer; raises ENxChunkFraming for broken framing.
    void ReadChunkedBody(TNxStream* dest);
    std::string ReadChunkSizeLine();
    [[noreturn]] void RaiseProtocolError();
    bool ResponseKeepsConnection() const;

    int redirectCount_ = 0;
    int authRetries_ = 0;
    int proxyAuthRetries_ = 0;
};

class TNxHTTP : public TNxCustomHTTP {
public:
    // The body as text, one character per byte.
    std::string FetchUrl(const std::string& url);
    // The body into the caller's stream, from its current position.
    void FetchUrl(const std::string& url, std::ostream& dest);
    void FetchUrl(const std::string& url, TNxStream& dest) { Get(url, &dest); }
};

} // namespace orvex
