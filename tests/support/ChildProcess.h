// Runs a piece of a test in a forked child, optionally in a network namespace of its own whose only
// network is loopback, and optionally as the unprivileged user "nobody". The child reports back a
// text. Namespaces and user changes need root; callers skip when they are not available.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orvex::test {

struct ChildSetup {
    bool ownNetwork = false;         // new network namespace, loopback up
    std::string pingGroupRange;      // net.ipv4.ping_group_range inside it, if not empty
    bool ignoreEchoRequests = false; // net.ipv4.icmp_echo_ignore_all = 1 inside it
    std::string setupScript;         // shell commands run as root inside it before the body
    bool asNobody = false;           // uid and gid 65534, no supplementary groups
};

// The text body returned, or nothing when the child could not be set up (reason in *why). An
// exception escaping body is reported as "exception: <what>".
std::optional<std::string> runInChild(const ChildSetup& setup, const std::function<std::string()>& body,
                                      std::string* why = nullptr);

// Whether this process may create network namespaces and change users.
bool canIsolate();

} // namespace orvex::test
