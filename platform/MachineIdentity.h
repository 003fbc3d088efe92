// Who runs the program and on which machine: the names that keep one user's stored window
// placement apart from another's, and the per-user configuration folder the stores live in.
#pragma once

#include <memory>
#include <string>

namespace orvex {

class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;
    // The login name of the effective user.
    virtual std::string userName() = 0;
    // The machine's host name.
    virtual std::string computerName() = 0;
};

// Linux: the passwd entry of the effective user (its decimal uid when it has none) and
// gethostname(). Both are read on every call, so a renamed host is seen at once.
std::unique_ptr<MachineIdentity> makeSystemMachineIdentity();

std::string effectiveUserName();
std::string hostName();

// The per-user configuration folder: $XDG_CONFIG_HOME when it is an absolute path, otherwise
// ".config" in the home folder ($HOME, or the passwd entry's home when HOME is unset or empty).
std::string userConfigHome();

// The rule behind userConfigHome(), for given environment values (null means unset).
std::string configHomeFrom(const char* xdgConfigHome, const char* home, const std::string& passwdHome);

} // namespace orvex
