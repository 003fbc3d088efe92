// The exceptions the network components raise. Every one derives from ENxException, so a caller
// that only wants to know "the network operation failed" catches that. Messages are UTF-8.
#pragma once

#include "platform/Exception.h"

#include <string>

namespace orvex {

class ENxException : public Exception {
public:
    using Exception::Exception;
};

// A sockets call failed with a code the caller did not tolerate. The message is
// "Socket-Fehler # <code>" + line break + the code's description.
class ENxSocketError : public ENxException {
public:
    ENxSocketError(std::string message, int socketCode)
        : ENxException(std::move(message)), SocketCode(socketCode) {}
    int SocketCode;
};

// The sockets library could not be loaded or a function of it not bound. With the functions linked
// into the program this cannot happen on Linux; the class stays for callers that catch it.
class ENxWS2StubError : public ENxException {
public:
    // Message: the headline alone when systemCode is 0, else headline + ": " + systemText.
    ENxWS2StubError(std::string headline, int systemCode, std::string systemText);
    std::string Headline;
    int SystemCode;
    std::string SystemText;
};

// "Socket kann nicht zugewiesen werden."
class ENxInvalidSocket : public ENxException {
public:
    using ENxException::ENxException;
};

class ENxStackError : public ENxException {
public:
    using ENxException::ENxException;
};

// "Fehler bei der Winsock-Initialisierung." The Linux stack has no sockets library to start, so
// only a stack factory that fails (SetStackFactory, in tests) raises it; it stays in the
// ENxStackError family for callers that catch it.
class ENxStackInitializationFailed : public ENxStackError {
public:
    using ENxStackError::ENxStackError;
};

// "Mengengröße überschritten."
class ENxStackSetSizeExceeded : public ENxStackError {
public:
    using ENxStackError::ENxStackError;
};

class ENxSocketHandleError : public ENxException {
public:
    using ENxException::ENxException;
};

// "Package-Größe zu hoch"
class ENxPackageSizeTooBig : public ENxSocketHandleError {
public:
    using ENxSocketHandleError::ENxSocketHandleError;
};

// "Es wurden nicht alle Bytes gesendet."
class ENxNotAllBytesSent : public ENxSocketHandleError {
public:
    using ENxSocketHandleError::ENxSocketHandleError;
};

// "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt."
class ENxCouldNotBindSocket : public ENxSocketHandleError {
public:
    using ENxSocketHandleError::ENxSocketHandleError;
};

// "Ungültiger Port-Bereich (<min> - <max>)"
class ENxInvalidPortRange : public ENxSocketHandleError {
public:
    using ENxSocketHandleError::ENxSocketHandleError;
};

// "Port-Beriech (<min> - <max>) kann nicht eingebunden werden"
class ENxCanNotBindPortInRange : public ENxSocketHandleError {
public:
    using ENxSocketHandleError::ENxSocketHandleError;
};

// Exceptions that report an expected end rather than a fault.
class ENxSilentException : public ENxException {
public:
    using ENxException::ENxException;
};

// "Die Verbindung wurde erfolgreich geschlossen."
class ENxConnClosedGracefully : public ENxSilentException {
public:
    using ENxSilentException::ENxSilentException;
};

// The fixed texts, so that callers and tests name them once.
namespace nxtext {
inline constexpr const char* kInvalidSocket = "Socket kann nicht zugewiesen werden.";
inline constexpr const char* kStackInitializationFailed = "Fehler bei der Winsock-Initialisierung.";
inline constexpr const char* kSetSizeExceeded = "Mengengröße überschritten.";
inline constexpr const char* kPackageSizeTooBig = "Package-Größe zu hoch";
inline constexpr const char* kNotAllBytesSent = "Es wurden nicht alle Bytes gesendet.";
inline constexpr const char* kCouldNotBindSocket =
    "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt.";
inline constexpr const char* kInvalidPortRange = "Ungültiger Port-Bereich (%d - %d)";
inline constexpr const char* kCanNotBindPortInRange = "Port-Beriech (%d - %d) kann nicht eingebunden werden";
inline constexpr const char* kConnClosedGracefully = "Die Verbindung wurde erfolgreich geschlossen.";
} // namespace nxtext

} // namespace orvex
