#include "tcphistory/TcpConnections.h"
#include "tests/tcphistory/FakeTcpTable.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(FormatIPAddress, PadsEveryOctetToThreeCharacters) {
    struct Case {
        std::uint32_t address;
        const char* text;
    };
    const Case cases[] = {
        {tcpRowAddress(127, 0, 0, 1), "127.  0.  0.  1"},
        {0, "  0.  0.  0.  0"},
        {tcpRowAddress(255, 255, 255, 255), "255.255.255.255"},
        {tcpRowAddress(10, 20, 3, 204), " 10. 20.  3.204"},
        {tcpRowAddress(192, 168, 178, 1), "192.168.178.  1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatIPAddress(c.address), c.text);
        EXPECT_EQ(FormatIPAddress(c.address).size(), 15u);
    }
}

TEST(FormatPort, WellKnownNamesElseFourWideNumbers) {
    struct Case {
        std::uint16_t port;
        const char* text;
    };
    const Case cases[] = {
        {0, "LOOPBACK"},  {20, "FTP "},  {21, "FTPC"},    {53, "DNS "},     {123, "NTP "},  {80, "HTTP"},
        {138, "NBDGRAM"}, {161, "SNMP"}, {19, "CHARGEN"}, {443, " 443"},    {3389, "3389"}, {8080, "8080"},
        {49152, "49152"}, {1, "   1"},   {22, "  22"},    {65535, "65535"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatPort(c.port), c.text) << c.port;
}

TEST(FormatPort, TableHasTwentyNineEntriesWithTheirBlanks) {
    ASSERT_EQ(WellKnownPorts.size(), 29u);
    int withBlank = 0;
    for (const auto& entry : WellKnownPorts) {
        EXPECT_LE(entry.Name.size(), 23u);
        withBlank += entry.Name.back() == ' ';
        EXPECT_EQ(FormatPort(entry.Port), entry.Name);
    }
    EXPECT_EQ(withBlank, 3);
}

TEST(TcpConnStatus, StateNamesInTheTablesNumbering) {
    const char* names[] = {"closed",    "listening",  "syn_sent", "syn_rcvd", "established", "fin_wait1",
                           "fin_wait2", "close_wait", "closing",  "last_ack", "time_wait",   "delete_tcb"};
    for (std::uint32_t state = 1; state <= 12; ++state)
        EXPECT_EQ(TcpStateNames[state], names[state - 1]);
}

TEST(TcpConnStatus, RemoteFieldsOfARowWithoutRemoteAddress) {
    // The remote port is not looked at when the remote address is 0; the port's upper half is ignored.
    const TcpRow row{TcpListen, tcpRowAddress(127, 0, 0, 1), tcpRowPort(135) | 0xabcd0000u, 0,
                     tcpRowPort(4711)};
    EXPECT_EQ(makeTcpConnStatus(row),
              (TTcpConnStatus{"127.  0.  0.  1", "LOCSVC", "...", "...", "listening"}));

    const TcpRow connection{TcpEstablished, tcpRowAddress(192, 168, 0, 5), tcpRowPort(50000),
                            tcpRowAddress(93, 184, 216, 34), tcpRowPort(443) | 0xffff0000u};
    EXPECT_EQ(makeTcpConnStatus(connection),
              (TTcpConnStatus{"192.168.  0.  5", "50000", " 93.184.216. 34", " 443", "established"}));
}

TEST(ReadTcpConnections, KeepsListeningAndEstablishedRowsInTableOrder) {
    test::FakeTcpTable table;
    for (std::uint32_t state = 1; state <= 12; ++state)
        table.rows.push_back({state, tcpRowAddress(10, 0, 0, 1),
                              tcpRowPort(static_cast<std::uint16_t>(1000 + state)),
                              tcpRowAddress(10, 0, 0, 2), tcpRowPort(80)});
    table.rows.push_back(test::established(22, 9, 40000));

    std::vector<TTcpConnStatus> list{TTcpConnStatus{"stale", "", "", "", ""}};
    ReadTcpConnections(table, &list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].LocalPort, "1002");
    EXPECT_EQ(list[0].Status, "listening");
    EXPECT_EQ(list[0].RemoteIP, " 10.  0.  0.  2"); // a listener row that does carry a remote address
    EXPECT_EQ(list[1].LocalPort, "1005");
    EXPECT_EQ(list[1].Status, "established");
    EXPECT_EQ(list[2].LocalPort, "  22");

    table.fail = true;
    ReadTcpConnections(table, &list);
    EXPECT_TRUE(list.empty());

    const int reads = table.reads;
    ReadTcpConnections(table, nullptr);
    EXPECT_EQ(table.reads, reads);
}

TEST(TcpConnStatus, Ipv6RowsInCompressedFormAfterTheIpv4Rows) {
    using test::ipv6Row;
    const TcpRow listener = ipv6Row(TcpListen, {}, 22, {}, 4711);
    const TcpRow connection = ipv6Row(TcpEstablished, test::kIpv6Doc, 50000, test::kIpv6Loopback, 80);
    EXPECT_EQ(makeTcpConnStatus(listener), (TTcpConnStatus{"::", "  22", "...", "...", "listening"}));
    EXPECT_EQ(makeTcpConnStatus(connection),
              (TTcpConnStatus{"2001:db8::10", "50000", "::1", "HTTP", "established"}));

    const TcpRow v4 = test::established(80, 2, 40000, 200);
    std::vector<TcpRow> rows = {connection, v4,
                                ipv6Row(TcpEstablished, test::kIpv6Doc, 22, test::kIpv6Loopback, 9), listener,
                                test::listening(8080)};
    sortTcpRows(rows);
    EXPECT_EQ(rows, (std::vector<TcpRow>{test::listening(8080), v4, listener,
                                         ipv6Row(TcpEstablished, test::kIpv6Doc, 22, test::kIpv6Loopback, 9),
                                         connection}));
}
