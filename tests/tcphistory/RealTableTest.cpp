#include "platform/Fd.h"
#include "platform/TcpTable.h"
#include "tcphistory/TcpConnections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace orvex;

namespace {

std::vector<std::string> run(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return lines;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe))
        lines.emplace_back(line);
    ::pclose(pipe);
    return lines;
}

std::string portText(const std::string& port) {
    return port == "*" ? std::string(kNoRemote) : FormatPort(static_cast<std::uint16_t>(std::stoul(port)));
}

// "127.0.0.1:80", "127.0.0.53%lo:53", "[::ffff:127.0.0.1]:80", "0.0.0.0:*", "[::1]:80", "*:22" ->
// address text, port text as the history shows them; false for text that is no address.
bool ssEndpoint(std::string text, std::string& address, std::string& port, bool remote) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = text.substr(0, colon);
    const std::string portPart = text.substr(colon + 1);
    if (const auto scope = host.find('%'); scope != std::string::npos) host.resize(scope);
    if (host == "*") host = "[::]"; // ss's wildcard of a dual-stack socket
    if (host.front() == '[') {
        host = host.substr(1, host.find(']') - 1);
        if (host.rfind("::ffff:", 0) != 0 || host.find('.') == std::string::npos) {
            TcpIpv6Address parsed{};
            if (::inet_pton(AF_INET6, host.c_str(), parsed.data()) != 1) return false;
            const bool none = remote && parsed == TcpIpv6Address{};
            address = none ? std::string(kNoRemote) : FormatIPv6Address(parsed);
            port = none ? std::string(kNoRemote) : portText(portPart);
            return true;
        }
        host = host.substr(7);
    }
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) != 1) return false;
    const auto* octets = reinterpret_cast<const std::uint8_t*>(&parsed.s_addr);
    const std::uint32_t value = tcpRowAddress(octets[0], octets[1], octets[2], octets[3]);
    if (remote && value == 0) {
        address = kNoRemote;
        port = kNoRemote;
    } else {
        address = FormatIPAddress(value);
        port = portText(portPart);
    }
    return true;
}

// What ss prints for both families (IPv4-mapped rows of IPv6 sockets as IPv4 rows), as records.
std::vector<TTcpConnStatus> ssRecords() {
    std::vector<TTcpConnStatus> records;
    struct Query {
        const char* command;
        const char* status;
    };
    const Query queries[] = {
        {"ss -tnH4 state established 2>/dev/null", "established"},
        {"ss -tnH6 state established 2>/dev/null", "established"},
        {"ss -tlnH4 2>/dev/null", "listening"},
        {"ss -tlnH6 2>/dev/null", "listening"},
    };
    for (const auto& query : queries) {
        for (const std::string& line : run(query.command)) {
            std::istringstream fields(line);
            std::string a, b, c, local, peer;
            // With a state filter ss leaves the state column out.
            if (std::string(query.status) == "listening") {
                if (!(fields >> a >> b >> c >> local >> peer)) continue;
            } else if (!(fields >> b >> c >> local >> peer)) {
                continue;
            }
            TTcpConnStatus record;
            record.Status = query.status;
            if (!ssEndpoint(local, record.LocalIP, record.LocalPort, false) ||
                !ssEndpoint(peer, record.RemoteIP, record.RemotePort, true))
                continue;
            records.push_back(record);
        }
    }
    return records;
}

auto sorted(std::vector<TTcpConnStatus> records) {
    auto key = [](const TTcpConnStatus& r) {
        return std::tie(r.LocalIP, r.LocalPort, r.RemoteIP, r.RemotePort, r.Status);
    };
    std::sort(records.begin(), records.end(), [&](const auto& x, const auto& y) { return key(x) < key(y); });
    return records;
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t boundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                              : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
}

// A listener on 127.0.0.1, one connection to it, and the accepted end.
struct LoopbackConnection {
    Fd listener, client, server;
    std::uint16_t listenPort = 0, clientPort = 0;

    explicit LoopbackConnection(int family = AF_INET) {
        listener = Fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (family == AF_INET6) {
            // Dual-stack: IPv4 peers arrive as ::ffff:a.b.c.d.
            const int off = 0;
            ::setsockopt(listener.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            sockaddr_in6 any{};
            any.sin6_family = AF_INET6;
            any.sin6_addr = in6addr_any;
            if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return;
        } else {
            auto address = loopback(0);
            if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        }
        if (::listen(listener.get(), 4) != 0) return;
        listenPort = boundPort(listener.get());
        client = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        auto target = loopback(listenPort);
        if (::connect(client.get(), reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) return;
        clientPort = boundPort(client.get());
        server = Fd(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    }
    bool ok() const { return server.valid(); }
};

std::vector<TTcpConnStatus> ours(TcpTable& table) {
    std::vector<TTcpConnStatus> list;
    ReadTcpConnections(table, &list);
    return list;
}

bool involves(const TTcpConnStatus& r, std::uint16_t port) {
    const std::string text = FormatPort(port);
    return r.LocalPort == text || r.RemotePort == text;
}

std::vector<TTcpConnStatus> only(std::vector<TTcpConnStatus> records, std::uint16_t port) {
    std::erase_if(records, [&](const auto& r) { return !involves(r, port); });
    return sorted(records);
}

} // namespace

TEST(RealTcpTable, ShowsTheTestsConnectionAsSsDoes) {
    LoopbackConnection connection;
    ASSERT_TRUE(connection.ok());
    auto table = makeSystemTcpTable();
    const std::string loop = "127.  0.  0.  1";
    const std::string listenPort = FormatPort(connection.listenPort);
    const std::string clientPort = FormatPort(connection.clientPort);

    const auto mine = only(ours(*table), connection.listenPort);
    EXPECT_EQ(mine, sorted({{loop, listenPort, "...", "...", "listening"},
                            {loop, listenPort, loop, clientPort, "established"},
                            {loop, clientPort, loop, listenPort, "established"}}));
    EXPECT_EQ(mine, only(ssRecords(), connection.listenPort));

    // The whole table, when it holds still long enough for two ss runs to agree around our read.
    bool compared = false;
    for (int attempt = 0; attempt < 5 && !compared; ++attempt) {
        const auto before = sorted(ssRecords());
        const auto read = ours(*table);
        const auto after = sorted(ssRecords());
        if (before != after) continue;
        compared = true;
        EXPECT_EQ(sorted(read), before);
    }
    if (!compared) std::printf("the machine's table kept changing; compared the test's own rows only\n");
}

TEST(RealTcpTable, RowsComeSortedByLocalThenRemoteEndpoint) {
    LoopbackConnection a, b;
    ASSERT_TRUE(a.ok() && b.ok());
    std::vector<TcpRow> rows;
    ASSERT_TRUE(makeSystemTcpTable()->read(rows));
    auto key = [](const TcpRow& r) {
        auto port = [](std::uint32_t p) { return ntohs(static_cast<std::uint16_t>(p)); };
        return std::make_tuple(ntohl(r.LocalAddr), port(r.LocalPort), ntohl(r.RemoteAddr),
                               port(r.RemotePort));
    };
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [&](auto& x, auto& y) { return key(x) < key(y); }));
    EXPECT_GE(std::count_if(rows.begin(), rows.end(), [](auto& r) { return r.State == TcpEstablished; }), 4);
}

TEST(RealTcpTable, DualStackConnectionCountsAsAnIPv4Row) {
    LoopbackConnection connection(AF_INET6);
    if (!connection.listener.valid() || !connection.ok()) GTEST_SKIP() << "no IPv6 sockets here";
    auto table = makeSystemTcpTable();
    const std::string loop = "127.  0.  0.  1";
    const auto mine = only(ours(*table), connection.listenPort);
    // The [::] listener is an IPv6 row; its accepted IPv4 connection is an IPv4 row.
    EXPECT_EQ(mine, sorted({{"::", FormatPort(connection.listenPort), "...", "...", "listening"},
                            {loop, FormatPort(connection.listenPort), loop, FormatPort(connection.clientPort),
                             "established"},
                            {loop, FormatPort(connection.clientPort), loop, FormatPort(connection.listenPort),
                             "established"}}));
    EXPECT_EQ(mine, only(ssRecords(), connection.listenPort));
}

TEST(RealTcpTable, TextTableGivesTheSameRowsAsSockDiag) {
    LoopbackConnection v4, v6(AF_INET6);
    ASSERT_TRUE(v4.ok());
    std::vector<TcpRow> fromNetlink, fromProc;
    ASSERT_TRUE(readTcpTableNetlink(fromNetlink, kAllTcpStates));
    ASSERT_TRUE(readTcpTableProc(fromProc, kAllTcpStates));
    auto mineOnly = [&](std::vector<TcpRow> rows) {
        std::erase_if(rows, [&](const TcpRow& r) {
            auto port = [](std::uint32_t p) { return ntohs(static_cast<std::uint16_t>(p)); };
            const std::uint16_t ports[] = {v4.listenPort, v6.listenPort};
            return std::none_of(std::begin(ports), std::end(ports), [&](std::uint16_t p) {
                return p != 0 && (port(r.LocalPort) == p || port(r.RemotePort) == p);
            });
        });
        sortTcpRows(rows);
        return rows;
    };
    EXPECT_EQ(mineOnly(fromProc), mineOnly(fromNetlink));
    EXPECT_GE(mineOnly(fromProc).size(), 3u);
}

TEST(ProcTcpTable, ParsesRowsStatesAndMappedAddresses) {
    const auto dir = std::filesystem::temp_directory_path() / ("orvex-proc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const char* header =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n";
    std::ofstream(dir / "tcp")
        << header << "   0: 0100007F:0277 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 1 1\n"
        << "   1: 0100007F:9C40 0A01A8C0:01BB 01 00000000:00000000 00:00000000 00000000 1000 0 2 1\n"
        << "   2: 0100007F:9C41 0A01A8C0:01BB 06 00000000:00000000 00:00000000 00000000 0 0 0 1\n"
        << "   3: garbage\n"
        << "   4: 0100007F:XYZ 0A01A8C0:01BB 01 0 0 0 0\n";
    std::ofstream(dir / "tcp6") << header
                                << "   0: 0000000000000000FFFF00000100007F:1F90 "
                                   "0000000000000000FFFF00000100007F:D431 01 0 0 0 0 0 0 3 1\n"
                                << "   1: 00000000000000000000000000000000:0016 "
                                   "00000000000000000000000000000000:0000 0A 0 0 0 0 0 0 4 1\n"
                                << "   2: 0000000000000000FFFF00000100007F:1F91 "
                                   "00000000000000000000000000000000:0000 0A 0 0 0 0 0 0 5 1\n";

    std::vector<TcpRow> rows;
    ASSERT_TRUE(readTcpTableProc(rows, kAllTcpStates, dir.string()));
    const auto lo = tcpRowAddress(127, 0, 0, 1);
    // uid and inode where the line has them (inode 0: a socket without one, such as time-wait).
    auto owned = [](TcpRow row, std::uint32_t uid, std::uint64_t inode) {
        row.Uid = uid;
        row.Inode = inode;
        return row;
    };
    const std::vector<TcpRow> expected = {
        owned({TcpListen, lo, tcpRowPort(631), 0, tcpRowPort(0)}, 0, 1),
        owned({TcpEstablished, lo, tcpRowPort(40000), tcpRowAddress(192, 168, 1, 10), tcpRowPort(443)}, 1000,
              2),
        {TcpTimeWait, lo, tcpRowPort(40001), tcpRowAddress(192, 168, 1, 10), tcpRowPort(443)},
        {TcpEstablished, lo, tcpRowPort(8080), lo, tcpRowPort(54321)},
        {TcpListen, lo, tcpRowPort(8081), 0, 0},
    };
    EXPECT_EQ(rows, expected);

    ASSERT_TRUE(readTcpTableProc(rows, tcpStateBit(TcpEstablished), dir.string()));
    EXPECT_EQ(rows.size(), 2u);
    std::filesystem::remove_all(dir);
    EXPECT_FALSE(readTcpTableProc(rows, kAllTcpStates, dir.string()));
    EXPECT_TRUE(rows.empty());
}

TEST(ProcTcpTable, LinuxStatesMapToTheTablesNumbering) {
    const std::uint32_t expected[] = {0, 5, 3, 4, 6, 7, 11, 1, 8, 10, 2, 9, 4, 0};
    for (unsigned state = 0; state < std::size(expected); ++state)
        EXPECT_EQ(tcpStateFromLinux(state), expected[state]) << state;
}

TEST(RealTcpTable, Ipv6ListenerAndConnectionAsSsShowsThem) {
    Fd listener(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    if (!listener.valid() ||
        ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_EQ(::listen(listener.get(), 4), 0);
    address.sin6_port = htons(boundPort(listener.get()));
    Fd client(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Fd server(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    ASSERT_TRUE(server.valid());
    const std::string listenPort = FormatPort(boundPort(listener.get()));
    const std::string clientPort = FormatPort(boundPort(client.get()));

    auto table = makeSystemTcpTable();
    const auto all = ours(*table);
    const auto mine = only(all, boundPort(listener.get()));
    EXPECT_EQ(mine, sorted({{"::1", listenPort, "...", "...", "listening"},
                            {"::1", listenPort, "::1", clientPort, "established"},
                            {"::1", clientPort, "::1", listenPort, "established"}}));
    EXPECT_EQ(mine, only(ssRecords(), boundPort(listener.get())));
    // IPv6 rows follow every IPv4 row.
    const auto firstIpv6 = std::find_if(all.begin(), all.end(),
                                        [](auto& r) { return r.LocalIP.find(':') != std::string::npos; });
    EXPECT_TRUE(
        std::all_of(firstIpv6, all.end(), [](auto& r) { return r.LocalIP.find(':') != std::string::npos; }));

    // The text table gives the same IPv6 rows as sock_diag.
    std::vector<TcpRow> fromNetlink, fromProc;
    ASSERT_TRUE(readTcpTableNetlink(fromNetlink, kAllTcpStates | kIpv6Rows));
    ASSERT_TRUE(readTcpTableProc(fromProc, kAllTcpStates | kIpv6Rows));
    auto mineOnly = [&](std::vector<TcpRow> rows) {
        std::erase_if(rows, [&](const TcpRow& r) {
            return !r.Ipv6 || (r.LocalPort != tcpRowPort(boundPort(listener.get())) &&
                               r.RemotePort != tcpRowPort(boundPort(listener.get())));
        });
        sortTcpRows(rows);
        return rows;
    };
    EXPECT_EQ(mineOnly(fromProc), mineOnly(fromNetlink));
    EXPECT_EQ(mineOnly(fromProc).size(), 3u);
}
