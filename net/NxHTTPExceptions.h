// Exceptions of the HTTP client, the connection layer and the URL parser. Messages are UTF-8;
// texts that came from the network (a status line) are converted from Windows-1252 first.
#pragma once

#include "net/NxExceptions.h"
#include "platform/Convert.h"

#include <string>

namespace orvex {

// Reads a whole decimal number (optional sign, no blanks) or raises EConvertError with the text.
long long strToInt64(const std::string& text);
int strToInt(const std::string& text);
// The same, with a default instead of the error.
long long strToInt64Def(const std::string& text, long long fallback);

namespace nxtext {
inline constexpr const char* kReadTimeout = "Zeitüberschreitung beim Lesen";
inline constexpr const char* kMaxLineLengthExceeded = "Max. Zeilenlänge überschritten.";
inline constexpr const char* kIOHandlerPropInvalid = "Wert für IOHandler ist ungültig";
inline constexpr const char* kUndefinedSituation = "Undefined situation";
inline constexpr const char* kChunkStarted = "Chunk gestartet";
inline constexpr const char* kHeadersTooLarge = "Die Kopfzeilen der Antwort sind zu groß.";
inline constexpr const char* kBodyTooLarge = "Die Antwort des Servers ist zu groß.";
inline constexpr const char* kChunkFraming = "Ungültige Chunk-Kodierung in der Antwort des Servers.";
inline constexpr const char* kControlCharacterInUrl =
    "Die Adresse enthält Steuerzeichen (etwa einen Zeilenumbruch); es wurde nichts gesendet.";
} // namespace nxtext

// The close of the peer while bytes are still owed.
inline ENxConnClosedGracefully connClosedGracefully() {
    return ENxConnClosedGracefully(nxtext::kConnClosedGracefully);
}

class ENxReadTimeout : public ENxException {
public:
    ENxReadTimeout() : ENxException(nxtext::kReadTimeout) {}
};

class ENxReadLnMaxLineLengthExceeded : public ENxException {
public:
    ENxReadLnMaxLineLengthExceeded() : ENxException(nxtext::kMaxLineLengthExceeded) {}
};

class ENxIOHandlerPropInvalid : public ENxException {
public:
    ENxIOHandlerPropInvalid() : ENxException(nxtext::kIOHandlerPropInvalid) {}
};

class ENxUnknownProtocol : public ENxException {
public:
    ENxUnknownProtocol() : ENxException("") {}
};

class ENxURIException : public ENxException {
public:
    using ENxException::ENxException;
};

// A reply whose header lines together exceed what any server sends.
class ENxHeadersTooLarge : public ENxException {
public:
    ENxHeadersTooLarge() : ENxException(nxtext::kHeadersTooLarge) {}
};

// A reply body longer than the request allows (TNxHTTPRequest::MaxBodySize).
class ENxBodyTooLarge : public ENxException {
public:
    ENxBodyTooLarge() : ENxException(nxtext::kBodyTooLarge) {}
};

// A chunked body announced a chunk size that no body can have.
class ENxInvalidChunkSize : public ENxException {
public:
    explicit ENxInvalidChunkSize(const std::string& sizeLine);
};

// A chunked body whose framing breaks the rules: a size line beyond its limit, a chunk not ended by
// CR LF, or more framing (size lines, extensions, trailers) than its body can account for.
class ENxChunkFraming : public ENxException {
public:
    ENxChunkFraming() : ENxException(nxtext::kChunkFraming) {}
};

class ENxProtocolReplyError : public ENxException {
public:
    ENxProtocolReplyError(int errorCode, std::string message)
        : ENxException(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

// A reply whose status is not 2xx. Message: the status line; ErrorText: the reply's body (bytes).
class ENxHTTPProtocolException : public ENxProtocolReplyError {
public:
    ENxHTTPProtocolException(int errorCode, const std::string& statusLine, std::string errorText);
    std::string StatusLine; // as received, Windows-1252 bytes
    std::string ErrorText;  // the body, bytes
};

} // namespace orvex
