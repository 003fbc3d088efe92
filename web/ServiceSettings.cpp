#include "web/ServiceSettings.h"

#include "net/NxStr.h"
#include "net/TNxURI.h"
#include "platform/MachineIdentity.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvex {

namespace {

constexpr const char* kServicesGroup = "Services";

std::string trimmedBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Far more than any settings file holds; a larger file is not one a user wrote by hand.
constexpr off_t kLargestSettingsFile = 1 << 20;

[[noreturn]] void unreadable(const std::string& path, const std::string& reason) {
    throw SettingsFileUnreadable("Die Einstellungsdatei " + path + " kann nicht gelesen werden (" + reason +
                                 "); es wird keine Anfrage gesendet.");
}

std::string openFailure(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "Zugriff verweigert";
    case ELOOP:
        return "zu viele symbolische Verknüpfungen";
    default:
        return "Fehler " + std::to_string(error);
    }
}

// The text of a regular file (or a link to one); empty when nothing is at the path. A FIFO or a
// device is never read: opening without waiting and looking at what was opened means that no file
// in the config folder can hold the box up or fill the memory.
std::string regularFileText(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return {};
        unreadable(path, openFailure(error));
    }
    std::string text;
    std::string problem;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = "keine gewöhnliche Datei";
    } else if (info.st_size > kLargestSettingsFile) {
        problem = "größer als 1 MiB";
    } else {
        char block[4096];
        ssize_t n = 0;
        while (text.size() <= static_cast<std::size_t>(kLargestSettingsFile) &&
               (n = ::read(fd, block, sizeof block)) > 0)
            text.append(block, static_cast<std::size_t>(n));
        if (n < 0) problem = openFailure(errno);
        if (text.size() > static_cast<std::size_t>(kLargestSettingsFile)) problem = "größer als 1 MiB";
    }
    ::close(fd);
    if (!problem.empty()) unreadable(path, problem);
    return text;
}

// The authority of an http:// URL: from after "://" to the first "/" (or the end), as TNxURI
// takes it.
std::pair<std::size_t, std::size_t> authoritySpan(const std::string& url) {
    const std::size_t start = url.find("://") + 3;
    const std::size_t end = std::min(url.find('/', start), url.size());
    return {start, end};
}

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// Reads the URL the way the client does and accepts it only when that reading leaves no doubt: the
// authority put together again from the parts must be the authority as written, so a "\", an
// empty port, a second "@" or a stray ":" cannot make the client ask another host than the one
// checked here.
bool isUsableUrl(const std::string& url) {
    if (!nxstr::startsWithText(url, "http://")) return false;
    for (const char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f || c == '\\') return false;
    const TNxURI parts(url);
    if (!nxstr::sameText(parts.Protocol, "http") || parts.Host.empty() ||
        !std::all_of(parts.Host.begin(), parts.Host.end(), isHostCharacter))
        return false;
    std::string authority;
    if (!parts.Username.empty())
        authority = parts.Username + (parts.Password.empty() ? "" : ":" + parts.Password) + "@";
    authority += parts.Host;
    if (!parts.Port.empty()) authority += ":" + parts.Port;
    const auto [start, end] = authoritySpan(url);
    if (url.compare(start, end - start, authority) != 0) return false;
    if (parts.Port.empty()) return true;
    if (parts.Port.size() > 5 || parts.Port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long number = std::strtol(parts.Port.c_str(), nullptr, 10);
    return number >= 1 && number <= 65535;
}

// The box's client keeps the port of its last URL when a new URL names none, so a setting changed
// while the program runs is handed over with its port spelled out; the Host header leaves ":80" out.
std::string withExplicitPort(const std::string& url) {
    if (!TNxURI(url).Port.empty()) return url;
    const std::size_t end = authoritySpan(url).second;
    return url.substr(0, end) + ":80" + url.substr(end);
}

} // namespace

const char* serviceSettingKey(WebService service) {
    return service == WebService::PublicAddress ? "PublicAddressUrl" : "RankQueryUrl";
}

const char* serviceEnvironmentVariable(WebService service) {
    return service == WebService::PublicAddress ? "ORVEX_PUBLIC_ADDRESS_URL" : "ORVEX_RANK_QUERY_URL";
}

const char* serviceBuildDefault(WebService service) {
    return service == WebService::PublicAddress ? ORVEX_PUBLIC_ADDRESS_URL : ORVEX_RANK_QUERY_URL;
}

std::string serviceSettingsFile() {
    return userConfigHome() + "/orvex/orvex.conf";
}

std::string readIniValue(const std::string& path, const std::string& group, const std::string& key) {
    return iniValue(regularFileText(path), group, key);
}

std::string iniValue(std::string_view text, const std::string& group, const std::string& key) {
    std::istringstream file{std::string(text)};
    std::string line;
    bool inGroup = false;
    std::string value;
    for (bool first = true; std::getline(file, line); first = false) {
        if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3); // a byte-order mark
        line = trimmedBlanks(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            inGroup = line.back() == ']' && trimmedBlanks(line.substr(1, line.size() - 2)) == group;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string::npos || trimmedBlanks(line.substr(0, equals)) != key) continue;
        value = trimmedBlanks(line.substr(equals + 1)); // the last one counts, as with QSettings
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
    }
    return value;
}

ServiceSetting lookupServiceSetting(WebService service, const std::string& settingsFile,
                                    const EnvironmentLookup& environment) {
    const char* variable = serviceEnvironmentVariable(service);
    if (const char* value = environment(variable); value != nullptr && value[0] != '\0')
        return {value, SettingSource::Environment, variable, variable};
    const char* key = serviceSettingKey(service);
    if (std::string value = readIniValue(settingsFile, kServicesGroup, key); !value.empty())
        return {std::move(value), SettingSource::ConfigFile, settingsFile, key};
    return {serviceBuildDefault(service), SettingSource::BuildDefault, variable, variable};
}

ServiceSetting lookupServiceSetting(WebService service) {
    return lookupServiceSetting(service, serviceSettingsFile(),
                                [](const char* name) { return std::getenv(name); });
}

std::string serviceSettingProblem(WebService service, const ServiceSetting& setting) {
    std::string reason;
    if (!isUsableUrl(setting.url))
        reason = "ist keine http://-Adresse";
    else if (service == WebService::RankQuery && setting.url.find_first_of("?#") != std::string::npos)
        reason = "darf weder \"?\" noch \"#\" enthalten";
    else
        return {};
    std::string where;
    switch (setting.source) {
    case SettingSource::Environment:
        where = "Die Umgebungsvariable " + setting.key;
        break;
    case SettingSource::ConfigFile:
        where = "Die Einstellung " + setting.key + " ([Services] in " + setting.origin + ")";
        break;
    case SettingSource::BuildDefault:
        where = "Die beim Bau gesetzte Adresse " + setting.key;
        break;
    }
    return where + " " + reason + ": \"" + setting.url + "\"";
}

std::string serviceUrl(WebService service) {
    const ServiceSetting setting = lookupServiceSetting(service);
    if (std::string problem = serviceSettingProblem(service, setting); !problem.empty())
        throw std::runtime_error(problem);
    return withExplicitPort(setting.url);
}

} // namespace orvex
