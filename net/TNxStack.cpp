#include "net/TNxStack.h"

#include "platform/Convert.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace orvex {

namespace {

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Unterbrochener Systemaufruf."},
    {10009, "Falsche Dateinummer."},
    {10013, "Zugriff verweigert."},
    {10014, "Falsche Adresse."},
    {10022, "Ungültiges Argument."},
    {10024, "Zu viele geöffnete Dateien."},
    {10035, "Die Operation würde blockieren. "},
    {10036, "Die Operation wird gerade durchgeführt."},
    {10037, "Die Operation wird bereits durchgeführt."},
    {10038, "Socket-Operation auf Nicht-Socket."},
    {10039, "Zieladresse erforderlich."},
    {10040, "Die Botschaft ist zu lang."},
    {10041, "Das Protokoll hat für Socket den falschen Typ."},
    {10042, "Falsche Protokolloption."},
    {10043, "Das Protokoll wird nicht unterstützt."},
    {10044, "Sockettyp wird nicht unterstützt."},
    {10045, "Die Operation wird bei Socket nicht unterstützt."},
    {10046, "Die Protokollfamilie wird nicht unterstützt."},
    {10047, "Die Adressfamilie wird von der Protokollfamilie nicht unterstützt."},
    {10048, "Die Adresse ist bereits in Gebrauch."},
    {10049, "Die angeforderte Adresse kann nicht zugewiesen werden."},
    {10050, "Das Netzwerk ist ausgefallen."},
    {10051, "Das Netzwerk ist nicht erreichbar."},
    {10052, "Netz hat die Verbindung verloren oder zurückgesetzt."},
    {10053, "Die Software hat den Abbruch der Verbindung verursacht."},
    {10054, "Die Verbindung wurde von Peer zurückgesetzt."},
    {10055, "Es ist kein Pufferplatz verfügbar."},
    {10056, "Socket ist bereits verbunden."},
    {10057, "Socket ist nicht verbunden."},
    {10058, "Nach Schließen des Socket kann weder gesendet noch empfangen werden."},
    {10059, "Zu viele Referenzen; keine Verbindungen möglich."},
    {10060, "Zeitüberschreitung bei Verbindung."},
    {10061, "Verbindung abgelehnt."},
    {10062, "Zu viele Ebenen von symbolischen Links."},
    {10063, "Dateiname ist zu lang."},
    {10064, "Der Host ist ausgefallen."},
    {10065, "Keine Route zum Host."},
    {10066, "Verzeichnis ist nicht leer"},
};

// The four parts of a dotted text: up to the first ".", up to the next, up to the next, and the
// whole rest; where a dot is missing the remaining parts are empty.
std::array<std::string_view, 4> splitQuad(std::string_view text) {
    std::array<std::string_view, 4> parts{};
    for (int i = 0; i < 3; ++i) {
        const auto dot = text.find('.');
        if (dot == std::string_view::npos) {
            parts[static_cast<std::size_t>(i)] = text;
            return parts;
        }
        parts[static_cast<std::size_t>(i)] = text.substr(0, dot);
        text.remove_prefix(dot + 1);
    }
    parts[3] = text;
    return parts;
}

// The bytes of the common form: four parts of one to three decimal digits, each at most 255, and
// nothing else. Read directly; every other text goes through the general rules (which give the
// same bytes for these). nullopt for any other text.
std::optional<std::array<std::uint8_t, 4>> plainQuad(std::string_view text) {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t i = 0;
    for (std::size_t part = 0; part < 4; ++part) {
        if (part != 0) {
            if (i == text.size() || text[i] != '.') return std::nullopt;
            ++i;
        }
        unsigned value = 0;
        const std::size_t first = i;
        for (; i < text.size() && i - first < 3 && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (i == first || value > 255) return std::nullopt;
        bytes[part] = static_cast<std::uint8_t>(value);
    }
    if (i != text.size()) return std::nullopt;
    return bytes;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string SocketErrorDescription(int code) {
    for (const auto& entry : kErrorTexts)
        if (entry.code == code) return entry.text;
    return {};
}

std::string SocketErrorMessage(int code, const std::string& description) {
    return "Socket-Fehler # " + std::to_string(code) + "\r\n" + description;
}

std::string FormatNx(std::string_view pattern, std::initializer_list<std::string> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 'd' || pattern[i + 1] == 's') &&
            next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

ENxWS2StubError::ENxWS2StubError(std::string headline, int systemCode, std::string systemText)
    : ENxException(systemCode == 0 ? headline : headline + ": " + systemText), Headline(std::move(headline)),
      SystemCode(systemCode), SystemText(std::move(systemText)) {}

std::string TNxStack::DescribeError(int code) {
    return SocketErrorMessage(code, SocketErrorDescription(code));
}

std::string TNxStack::AddressToText(const std::array<std::uint8_t, 4>& bytes) {
    // Each octet as up to three digits, a dot before all but the first: at most 15 characters.
    std::string text;
    for (std::size_t i = 0; i < 4; ++i) {
        char digits[3];
        const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<unsigned>(bytes[i])).ptr;
        if (i != 0) text += '.';
        text.append(digits, end);
    }
    return text;
}

std::array<std::uint8_t, 4> TNxStack::TextToAddress(std::string_view text) {
    if (const auto plain = plainQuad(text)) return *plain;
    std::array<std::uint8_t, 4> bytes{};
    if (text.empty()) return bytes;
    const auto parts = splitQuad(text);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(StrToInt(parts[i]) & 0xFF);
    return bytes;
}

bool TNxStack::IsDottedQuad(std::string_view text) {
    if (plainQuad(text)) return true;
    for (const auto part : splitQuad(text)) {
        const auto value = tryStrToInt(part);
        if (!value || *value < 0 || *value > 255) return false;
    }
    return true;
}

bool TNxStack::CheckResult(int result, std::span<const int> tolerated) {
    if (result != -1) return false;
    const int code = PlatformErrorCode();
    LastCode = code;
    if (std::find(tolerated.begin(), tolerated.end(), code) != tolerated.end()) return true;
    ThrowSocketError(code);
}

void TNxStack::ThrowSocketError(int code) {
    throw ENxSocketError(DescribeError(code), code);
}

TNxSocket TNxStack::NewSocket(int type, int protocol) {
    const TNxSocket socket = StackSocket(kAfInet, type, protocol);
    if (socket == kInvalidSocket) throw ENxInvalidSocket(nxtext::kInvalidSocket);
    return socket;
}

std::string TNxStack::LookupAddress(const std::string& host) {
    if (equalsIgnoringCase(host, "LOCALHOST")) return "127.0.0.1";
    if (IsDottedQuad(host)) return host;
    return HostByName(host);
}

} // namespace orvex
