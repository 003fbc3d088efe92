#include "platform/ConnectionState.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace orvex;

namespace {

// What `ip -4 route show default` says, read in the same test: a default route whose device is up.
bool ipToolSeesUsableDefaultRoute() {
    FILE* pipe = ::popen("ip -4 route show default 2>/dev/null | grep -v linkdown", "r");
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
