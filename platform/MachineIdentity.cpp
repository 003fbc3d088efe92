#include "platform/MachineIdentity.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

// The names fill the same 256-byte buffers the stored section names were built from elsewhere.
constexpr std::size_t kNameLimit = 255;

std::string limited(std::string name) {
    if (name.size() > kNameLimit) name.resize(kNameLimit);
    return name;
}

bool passwdEntry(uid_t uid, std::string* name, std::string* home) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    for (;;) {
        const int rc = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr) return false;
        if (name) *name = entry.pw_name ? entry.pw_name : "";
        if (home) *home = entry.pw_dir ? entry.pw_dir : "";
        return true;
    }
}

class LinuxMachineIdentity final : public MachineIdentity {
public:
    std::string userName() override { return effectiveUserName(); }
    std::string computerName() override { return hostName(); }
};

} // namespace

std::string effectiveUserName() {
    const uid_t uid = ::geteuid();
    std::string name;
    if (passwdEntry(uid, &name, nullptr) && !name.empty()) return limited(name);
    return std::to_string(uid);
}

std::string hostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return {};
    return limited(buffer);
}

std::string configHomeFrom(const char* xdgConfigHome, const char* home, const std::string& passwdHome) {
    if (xdgConfigHome && xdgConfigHome[0] == '/') return xdgConfigHome;
    std::string base = home && home[0] ? std::string(home) : passwdHome;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base == "/") base.clear();
    return base + "/.config";
}

std::string userConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string passwdHome;
    if (!(xdg && xdg[0] == '/') && !(home && home[0])) passwdEntry(::geteuid(), nullptr, &passwdHome);
    return configHomeFrom(xdg, home, passwdHome);
}

std::unique_ptr<MachineIdentity> makeSystemMachineIdentity() {
    return std::make_unique<LinuxMachineIdentity>();
}

} // namespace orvex
