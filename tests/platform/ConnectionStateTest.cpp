#include "platform/ConnectionState.h"
#include "tests/support/ChildProcess.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include <unistd.h>

using namespace orvex;

namespace {

// What `ip` says of both families, read in the same test: a default route whose device is up.
bool ipToolSeesUsableDefaultRoute() {
    FILE* pipe =
        ::popen("(ip -4 route show default; ip -6 route show default) 2>/dev/null | grep -v linkdown", "r");
    if (!pipe) return false;
    char line[512];
    bool found = false;
    while (std::fgets(line, sizeof line, pipe))
        if (std::string(line).rfind("default", 0) == 0) found = true;
    ::pclose(pipe);
    return found;
}

} // namespace

TEST(ConnectionState, AgreesWithTheIpTool) {
    EXPECT_EQ(readDefaultRouteIsUp(), ipToolSeesUsableDefaultRoute());
}

TEST(ConnectionState, CachedAnswerMatchesAFreshRead) {
    auto state = makeSystemConnectionState();
    EXPECT_EQ(state->isConnected(), readDefaultRouteIsUp());
}

TEST(ConnectionState, AnIpv6DefaultRouteAloneCountsAsOnline) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespace";
    std::string why;
    const auto out = test::runInChild(
        {.ownNetwork = true,
         .setupScript = "ip link add v0 type veth peer name v1 && ip link set v0 up && ip link set v1 up && "
                        "ip -6 addr add 2001:db8::1/64 dev v0 nodad && "
                        "ip -6 route add default via 2001:db8::2 dev v0"},
        [] {
            // The carrier follows the link changes a moment later: wait up to 3 s for the answer.
            auto settle = [](bool expected) {
                bool up = !expected;
                for (int i = 0; i < 60 && up != expected; ++i, usleep(50000))
                    up = readDefaultRouteIsUp();
                return up ? std::string("up") : std::string("down");
            };
            std::string answers = settle(true);
            if (std::system("ip link set v1 down") != 0) return answers + " (no link change)";
            answers += " " + settle(false);
            return answers;
        },
        &why);
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, "up down"); // online through v0, offline once its peer is down
}
