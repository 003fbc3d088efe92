// The facts of each connection (owner, user, bytes, round trip) and the connections seen only as
// they closed, over real sockets in a network namespace of the test's own; and the parsing of
// damaged sock_diag messages.
#include "platform/TcpTable.h"
#include "tcphistory/ConnectionHistory.h"
#include "tcphistory/ConnectionReader.h"
#include "tests/support/ChildProcess.h"
#include "tests/tcphistory/HistoryPoll.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <grp.h>
#include <linux/inet_diag.h>
#include <linux/rtnetlink.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvex;

namespace {

struct Loopback {
    int family;
    sockaddr_storage address{};
    socklen_t length = 0;
    explicit Loopback(int f) : family(f) {
        if (f == AF_INET6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&address);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            length = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&address);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *a;
        }
    }
};

std::uint16_t portOf(int fd) {
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                         : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
}

int listenOn(Loopback& where) {
    const int fd = ::socket(where.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where.address), where.length) != 0 || ::listen(fd, 16) != 0)
        return -1;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where.address), &where.length);
    return fd;
}

int connectTo(const Loopback& where) {
    const int fd = ::socket(where.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&where.address), where.length) == 0 ? fd : -1;
}

void sendBytes(int fd, std::size_t count) {
    const std::string data(count, 'x');
    ::send(fd, data.data(), data.size(), 0);
}

void receiveBytes(int fd, std::size_t count) {
    char buffer[4096];
    while (count > 0) {
        const ssize_t n = ::recv(fd, buffer, std::min(count, sizeof buffer), 0);
        if (n <= 0) return;
        count -= static_cast<std::size_t>(n);
    }
}

// ss's counters of the socket with this local port: "bytes_sent:N" and "bytes_received:N".
std::pair<std::string, std::string> ssBytes(std::uint16_t localPort) {
    const std::string command = "ss -tinH 'sport = :" + std::to_string(localPort) + "' 2>/dev/null";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, pipe))
            text += line;
        ::pclose(pipe);
    }
    std::smatch sent, received;
    std::regex_search(text, sent, std::regex("bytes_sent:(\\d+)"));
    std::regex_search(text, received, std::regex("bytes_received:(\\d+)"));
    return {sent.size() > 1 ? sent[1].str() : "0", received.size() > 1 ? received[1].str() : "0"};
}

const PolledConnection* byLocalPort(const std::vector<PolledConnection>& list, std::uint16_t port,
                                    const char* status = "established") {
    for (const PolledConnection& c : list)
        if (rowHostPort(c.Row.LocalPort) == port && c.Record.Status == status) return &c;
    return nullptr;
}

std::string selfName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace

// A connection of the test's own process and one of a process running as nobody: program, PID,
// user, and bytes as ss shows them for the same socket.
TEST(ConnectionFacts, OwnerUserAndBytesOfOwnAndOtherUsersConnections) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root for a network namespace and user nobody";
    for (int family : {AF_INET, AF_INET6}) {
        std::string why;
        const auto result = test::runInChild(
            {.ownNetwork = true},
            [family]() -> std::string {
                Loopback where(family);
                const int listener = listenOn(where);
                const int own = connectTo(where);
                const int ownServer = ::accept(listener, nullptr, nullptr);
                sendBytes(own, 1000);
                receiveBytes(ownServer, 1000);
                sendBytes(ownServer, 300);
                receiveBytes(own, 300);

                int ready[2], hold[2];
                if (::pipe(ready) != 0 || ::pipe(hold) != 0) return "pipe";
                const pid_t other = ::fork();
                if (other == 0) {
                    ::close(hold[1]);
                    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                        ::_exit(1);
                    const int fd = connectTo(where);
                    sendBytes(fd, 200);
                    const std::uint16_t port = portOf(fd);
                    [[maybe_unused]] auto w = ::write(ready[1], &port, sizeof port);
                    char byte;
                    while (::read(hold[0], &byte, 1) > 0) {
                    }
                    ::_exit(0);
                }
                ::close(hold[0]);
                std::uint16_t otherPort = 0;
                if (::read(ready[0], &otherPort, sizeof otherPort) != sizeof otherPort)
                    return "nobody's connect";
                const int otherServer = ::accept(listener, nullptr, nullptr);
                receiveBytes(otherServer, 200);
                std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the last acknowledgements

                auto table = makeSystemTcpTable();
                ConnectionReader reader(*table);
                ConnectionPoll read;
                reader.read(read);
                const auto [ssSent, ssReceived] = ssBytes(portOf(own));
                ::close(hold[1]);
                ::waitpid(other, nullptr, 0);

                std::ostringstream out;
                const PolledConnection* mine = byLocalPort(read.Open, portOf(own));
                const PolledConnection* theirs = byLocalPort(read.Open, otherPort);
                const PolledConnection* listening = byLocalPort(read.Open, portOf(listener), "listening");
                if (!mine || !theirs || !listening) return "rows missing";
                const passwd* me = ::getpwuid(::geteuid());
                out << (mine->Facts.Program == selfName()) << (mine->Facts.Pid == ::getpid())
                    << (mine->Facts.User == me->pw_name) << " " << mine->Facts.BytesSent << "/" << ssSent
                    << " " << mine->Facts.BytesReceived << "/" << ssReceived << " " << (mine->Facts.RttUs > 0)
                    << " | " << (theirs->Facts.Pid == other) << theirs->Facts.User << " "
                    << theirs->Facts.BytesSent << " | " << (listening->Facts.Pid == ::getpid())
                    << (listening->Row.Ipv6 == (family == AF_INET6));
                return out.str();
            },
            &why);
        ASSERT_TRUE(result) << why;
        EXPECT_EQ(*result, "111 1000/1000 300/300 1 | 1nobody 200 | 11") << "family " << family;
    }
}

// A connection that lives 50 ms between two polls gets its row as an established connection, with
// its final counters and the time its end was seen; its owner stays unknown (the broadcast does
// not carry one), its peer's end gets a row too.
TEST(ConnectionFacts, ConnectionBetweenTwoPollsGetsItsRowWithFinalCounts) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root for a network namespace of its own";
    for (int family : {AF_INET, AF_INET6}) {
        std::string why;
        const auto result = test::runInChild(
            {.ownNetwork = true},
            [family]() -> std::string {
                struct Clock : HistoryClock {
                    std::string dateText() override { return "now"; }
                    std::string timeText() override { return "now"; }
                    std::string timeTextAt(WallTime) override { return "then"; }
                } clock;
                auto table = makeSystemTcpTable();
                ConnectionReader reader(*table);
                if (!reader.watchClosings()) return "no closing broadcasts";
                ConnectionHistory history(clock);
                history.create();
                history.setListening(true);
                Loopback where(family);
                const int listener = listenOn(where);
                test::pollHistory(history, reader);

                const auto before = std::chrono::system_clock::now();
                const int client = connectTo(where);
                const int server = ::accept(listener, nullptr, nullptr);
                sendBytes(client, 700);
                receiveBytes(server, 700);
                sendBytes(server, 300);
                receiveBytes(client, 300);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                const std::uint16_t clientPort = portOf(client);
                ::close(client);
                ::close(server);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                test::pollHistory(history, reader);

                std::ostringstream out;
                const std::string portText = FormatPort(clientPort);
                for (std::size_t r = 1; r + 1 < history.rows().size(); ++r) {
                    const auto& row = history.rows()[r];
                    const auto& facts = history.details()[r].Facts;
                    const bool clientEnd = row[ConnectionHistory::kLocalPort] == portText;
                    const bool serverEnd = row[ConnectionHistory::kRemotePort] == portText;
                    if (!clientEnd && !serverEnd) continue;
                    out << (clientEnd ? "client " : "server ") << row[ConnectionHistory::kStatus] << " "
                        << row[ConnectionHistory::kTime] << " " << facts.BytesSent << "/"
                        << facts.BytesReceived << " " << (facts.Closed && *facts.Closed >= before)
                        << (facts.Pid == 0) << ";";
                }
                return out.str();
            },
            &why);
        ASSERT_TRUE(result) << why;
        // The kernel counts the peer's FIN as one byte received.
        EXPECT_EQ(*result, "client established then 700/301 11;server established then 300/701 11;")
            << "family " << family;
    }
}

// Messages cut short or with damaged attributes give no row or leave the counters unknown; a
// whole one gives its addresses, owner and counters.
TEST(SockDiagMessage, DamagedMessagesAreRefusedOrLeaveCountersUnknown) {
    inet_diag_msg diag{};
    diag.idiag_family = AF_INET;
    diag.idiag_state = 1; // TCP_ESTABLISHED
    diag.id.idiag_sport = htons(40000);
    diag.id.idiag_dport = htons(443);
    diag.id.idiag_src[0] = htonl(0x7f000001);
    diag.id.idiag_dst[0] = htonl(0x0a000002);
    diag.idiag_uid = 1000;
    diag.idiag_inode = 4242;
    tcp_info info{};
    info.tcpi_rtt = 1234;
    info.tcpi_bytes_sent = 700;
    info.tcpi_bytes_acked = 701;
    info.tcpi_bytes_received = 300;
    const auto infoLength = static_cast<unsigned short>(RTA_LENGTH(sizeof info));
    // The message as the kernel lays it out: inet_diag_msg, then the attribute header and its data.
    auto message = [&](unsigned char family, unsigned short attributeLength) {
        std::string bytes(sizeof diag + RTA_SPACE(sizeof info), '\0');
        inet_diag_msg d = diag;
        d.idiag_family = family;
        std::memcpy(bytes.data(), &d, sizeof d);
        const rtattr attribute{attributeLength, INET_DIAG_INFO};
        std::memcpy(bytes.data() + sizeof d, &attribute, sizeof attribute);
        std::memcpy(bytes.data() + sizeof d + RTA_LENGTH(0), &info, sizeof info);
        return bytes;
    };

    struct Case {
        const char* name;
        std::size_t length;
        unsigned short attributeLength;
        unsigned char family;
        bool parses;
        bool hasInfo;
    };
    const std::size_t full = sizeof diag + RTA_SPACE(sizeof info);
    const Case cases[] = {
        {"whole", full, infoLength, AF_INET, true, true},
        {"no attributes", sizeof diag, infoLength, AF_INET, true, false},
        {"cut in the header", sizeof diag - 1, infoLength, AF_INET, false, false},
        {"attribute longer than the message", full - 8, infoLength, AF_INET, true, false},
        {"attribute shorter than its header", full, 2, AF_INET, true, false},
        {"info too short for the round trip", full, static_cast<unsigned short>(RTA_LENGTH(8)), AF_INET, true,
         false},
        {"another family", full, infoLength, AF_UNIX, false, false},
    };
    for (const Case& c : cases) {
        const std::string bytes = message(c.family, c.attributeLength);
        TcpRow row;
        unsigned state = 0;
        const bool parsed = parseSockDiagMessage(bytes.data(), c.length, row, state);
        EXPECT_EQ(parsed, c.parses) << c.name;
        if (!parsed) continue;
        EXPECT_EQ(row.HasInfo, c.hasInfo) << c.name;
        EXPECT_EQ(row.State, TcpEstablished) << c.name;
        EXPECT_EQ(row.LocalAddr, tcpRowAddress(127, 0, 0, 1)) << c.name;
        EXPECT_EQ(row.RemotePort, tcpRowPort(443)) << c.name;
        EXPECT_EQ(row.Inode, 4242u) << c.name;
        EXPECT_EQ(row.Uid, 1000u) << c.name;
        if (c.hasInfo) {
            EXPECT_EQ(std::make_tuple(row.RttUs, row.BytesSent, row.BytesAcked, row.BytesReceived),
                      std::make_tuple(1234u, std::uint64_t{700}, std::uint64_t{701}, std::uint64_t{300}));
        }
    }
}

// What closed before recording started is dropped; what closed after is kept for the next read.
TEST(ConnectionFacts, ClosingsBeforeTheStartOfARecordingAreDropped) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root for a network namespace of its own";
    std::string why;
    const auto result = test::runInChild(
        {.ownNetwork = true},
        []() -> std::string {
            auto table = makeSystemTcpTable();
            ConnectionReader reader(*table);
            if (!reader.watchClosings()) return "no closing broadcasts";
            Loopback where(AF_INET);
            const int listener = listenOn(where);
            auto shortConnection = [&] {
                const int client = connectTo(where);
                const int server = ::accept(listener, nullptr, nullptr);
                sendBytes(client, 10);
                receiveBytes(server, 10);
                const std::uint16_t port = portOf(client);
                ::close(client);
                ::close(server);
                return port;
            };
            const std::uint16_t before = shortConnection();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const auto start = std::chrono::system_clock::now();
            const std::uint16_t after = shortConnection();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            reader.dropClosingsBefore(start);
            ConnectionPoll read;
            reader.read(read);
            std::ostringstream out;
            out << (byLocalPort(read.Closed, before) != nullptr)
                << (byLocalPort(read.Closed, after) != nullptr);
            return out.str();
        },
        &why);
    ASSERT_TRUE(result) << why;
    EXPECT_EQ(*result, "01");
}
