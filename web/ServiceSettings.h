// The addresses of the two web services the program asks, as settings a user can change without
// rebuilding. Each is looked up anew every time a box runs, so a changed file takes effect at once:
//
//   1. the environment (ORVEX_PUBLIC_ADDRESS_URL, ORVEX_RANK_QUERY_URL), for a quick try;
//   2. $XDG_CONFIG_HOME/orvex/orvex.conf (by default ~/.config/orvex/orvex.conf), group [Services],
//      keys PublicAddressUrl and RankQueryUrl;
//   3. the build settings of the same names as the variables (the packager's defaults).
//
// An empty value counts as not set. The program never writes the file. A missing file is the same as
// an empty one; a file that is there but cannot be read as settings is an error naming the file, so
// that a query never goes to the built-in service behind the back of a user who set another one.
// Plain C++; any thread may call.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvex {

// The longest reply body either service may send. Their answers are a line of a few bytes; a
// longer body ends the query with an error before it can fill the memory or the window's fields.
inline constexpr std::uint64_t kMaxServiceReplyBody = 64 * 1024;

enum class WebService { PublicAddress, RankQuery };

// Where a setting came from, for the message that refuses it.
enum class SettingSource { Environment, ConfigFile, BuildDefault };

struct ServiceSetting {
    std::string url;
    SettingSource source = SettingSource::BuildDefault;
    std::string origin; // the variable's name, or the file's path
    std::string key;    // the key in the file, or the variable's name
};

// Returns the value of an environment variable, or null when it is unset.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The key in [Services], the environment variable and the build default of a service.
const char* serviceSettingKey(WebService service);
const char* serviceEnvironmentVariable(WebService service);
const char* serviceBuildDefault(WebService service);

// $XDG_CONFIG_HOME/orvex/orvex.conf, by default ~/.config/orvex/orvex.conf.
std::string serviceSettingsFile();

// A settings file that exists but cannot be read as settings: anything but a regular file (or a link
// to one), more than 1 MiB, no access, a loop of links. The message names the file and the reason.
class SettingsFileUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value of key in the INI group [group] of INI text; empty when the group or the key is
// missing. Blanks around the value and a pair of double quotes around it are dropped; the last of
// several counts.
std::string iniValue(std::string_view text, const std::string& group, const std::string& key);

// iniValue of the file at path; empty when no file is there. Anything at the path other than a
// regular file of up to 1 MiB raises SettingsFileUnreadable; a FIFO or a device is never waited on.
std::string readIniValue(const std::string& path, const std::string& group, const std::string& key);

// The setting in force for a service, by the order above. Raises SettingsFileUnreadable when the
// file has to be asked and cannot be read.
ServiceSetting lookupServiceSetting(WebService service, const std::string& settingsFile,
                                    const EnvironmentLookup& environment);
ServiceSetting lookupServiceSetting(WebService service); // this process's environment and file

// Empty when the setting is a URL the box can ask, as the HTTP client reads it (TNxURI): "http://",
// an optional user part, a host of letters, digits, ".", "-" and "_", an optional port from 1 to
// 65535, and no blanks, control characters or "\" (which the client would read as "/"); for the
// rank query also no "?" or "#", as the query is appended. Otherwise the message that tells the
// user what to mend and where.
std::string serviceSettingProblem(WebService service, const ServiceSetting& setting);

// The URL in force for a service. Throws std::runtime_error with serviceSettingProblem()'s message
// when it cannot be used, and SettingsFileUnreadable, so that nothing is sent.
std::string serviceUrl(WebService service);

} // namespace orvex
