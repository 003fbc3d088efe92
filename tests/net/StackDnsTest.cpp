// The stack's name lookups against a DNS server of the test's own, in a network namespace of its
// own (tests/support/netns-run.sh): resolver failures become the Windows Sockets codes and texts.
#include "net/TNxIcmpClient.h"
#include "net/TNxStackLinux.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(StackDns, AnswersFromServerAndHostsFile) {
    TNxComponent component;
    EXPECT_EQ(SharedStack->LookupAddress("a.orvex.test"), "10.77.0.7");
    EXPECT_EQ(SharedStack->LookupAddress("hosts.orvex.test"), "10.77.0.5");
    EXPECT_EQ(SharedStack->LookupAddress("localhost"), "127.0.0.1");
}

TEST(StackDns, FailuresAreSocketErrors) {
    TNxComponent component;
    struct Case {
        const char* host;
        int code;
        const char* message;
    } cases[] = {
        {"nosuch.orvex.test", 11001, "Socket-Fehler # 11001\r\nHost nicht gefunden."},
        {"txt.orvex.test", 11004, "Socket-Fehler # 11004\r\n"},
        {"refused.example", 11002, "Socket-Fehler # 11002\r\n"},
        {"1.2.3.256", 11001, "Socket-Fehler # 11001\r\nHost nicht gefunden."},
    };
    for (const auto& c : cases) {
        try {
            SharedStack->LookupAddress(c.host);
            ADD_FAILURE() << c.host << ": no error";
        } catch (const ENxSocketError& e) {
            EXPECT_EQ(e.SocketCode, c.code) << c.host;
            EXPECT_EQ(e.Message, c.message) << c.host;
            EXPECT_EQ(SharedStack->LastCode, c.code) << c.host;
        }
    }
}

TEST(StackDns, AnEchoToAnUnknownHostSendsNothingAndKeepsItsNumber) {
    TNxIcmpClient client;
    client.Host = "nosuch.orvex.test";
    int reports = 0;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus&) { ++reports; };
    EXPECT_THROW(client.ExchangeEcho(), ENxSocketError);
    EXPECT_FALSE(client.RawSocket.IsOpen); // resolved before the socket is opened
    EXPECT_EQ(client.NextSequence, 3489);
    EXPECT_EQ(reports, 0);
}
