#include "platform/MachineIdentity.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace orvex;

namespace {

std::string firstLineOf(const char* command) {
    FILE* pipe = ::popen(command, "r");
    if (!pipe) return {};
    char line[512] = {};
    std::string text = std::fgets(line, sizeof line, pipe) ? line : "";
    ::pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

TEST(MachineIdentity, NamesAgreeWithTheSystemTools) {
    auto identity = makeSystemMachineIdentity();
    EXPECT_EQ(identity->userName(), firstLineOf("id -un 2>/dev/null || id -u"));
    EXPECT_EQ(identity->computerName(), firstLineOf("uname -n"));
    EXPECT_FALSE(identity->userName().empty());
}

TEST(MachineIdentity, ConfigHomeFollowsTheXdgRules) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* passwdHome;
        const char* expected;
    } cases[] = {
        {"/tmp/cfg", "/home/anna", "/home/p", "/tmp/cfg"},
        {nullptr, "/home/anna", "/home/p", "/home/anna/.config"},
        {"", "/home/anna", "/home/p", "/home/anna/.config"},
        {"relative/cfg", "/home/anna/", "/home/p", "/home/anna/.config"}, // relative values are ignored
        {nullptr, nullptr, "/home/p", "/home/p/.config"},
        {nullptr, "", "/root", "/root/.config"},
        {nullptr, "/", "/x", "/.config"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(configHomeFrom(c.xdg, c.home, c.passwdHome), c.expected)
            << (c.xdg ? c.xdg : "(unset)") << " / " << (c.home ? c.home : "(unset)");
}
