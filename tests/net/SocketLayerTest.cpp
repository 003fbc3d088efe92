#include "net/TNxComponent.h"
#include "net/TNxSocketHandle.h"
#include "net/TNxStackLinux.h"
#include "platform/Convert.h"
#include "tests/net/NetTestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace orvex;
using orvex::test::ScopedStack;

namespace {

template <class E, class F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    } catch (const std::exception& e) {
        return std::string("wrong exception: ") + e.what();
    }
    return "no exception";
}

// A socket bound to a free loopback port, kept open so the port stays taken.
struct LoopbackSocket {
    int fd;
    int port = 0;
    explicit LoopbackSocket(int type, int wantedPort = 0) : fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(wantedPort));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        socklen_t n = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        this->port = ntohs(a.sin_port);
        if (type == SOCK_STREAM) ::listen(fd, 8);
    }
    ~LoopbackSocket() { closeNow(); }
    void closeNow() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

} // namespace

TEST(SocketErrors, MessagesCarryCodeLineBreakAndText) {
    ScopedStack stack;
    struct Case {
        int code;
        const char* message;
    } cases[] = {
        {10061, "Socket-Fehler # 10061\r\nVerbindung abgelehnt."},
        {11004, "Socket-Fehler # 11004\r\n"},
        {11001, "Socket-Fehler # 11001\r\nHost nicht gefunden."},
        {10035, "Socket-Fehler # 10035\r\nDie Operation würde blockieren. "},
        {10066, "Socket-Fehler # 10066\r\nVerzeichnis ist nicht leer"},
        {10058,
         "Socket-Fehler # 10058\r\nNach Schließen des Socket kann weder gesendet noch empfangen werden."},
        {10022, "Socket-Fehler # 10022\r\nUngültiges Argument."},
        {0, "Socket-Fehler # 0\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stack->DescribeError(c.code), c.message) << c.code;
    // The host-not-found text belongs to the platform stack, not to the common table.
    EXPECT_EQ(SocketErrorDescription(11001), "");
}

TEST(SocketErrors, CheckResultReadsTheCodeOnlyOnFailure) {
    ScopedStack stack;
    stack->platformCode = 10048;
    EXPECT_FALSE(stack->CheckResult(5));
    EXPECT_FALSE(stack->CheckResult(0));
    EXPECT_EQ(stack->platformCodeReads, 0);
    EXPECT_EQ(stack->LastCode, 0);

    EXPECT_TRUE(stack->CheckResult(-1, {10048}));
    EXPECT_EQ(stack->LastCode, 10048);

    stack->platformCode = 10061;
    try {
        stack->CheckResult(-1);
        FAIL() << "no exception";
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 10061);
        EXPECT_EQ(e.Message, "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
        EXPECT_EQ(stack->LastCode, 10061);
    }
    // Tolerating other codes does not tolerate this one.
    EXPECT_THROW(stack->CheckResult(-1, {10053, 10054, 10058}), ENxSocketError);
}

TEST(SocketErrors, ErrnoReachesTheCallerAsWinsockCode) {
    ScopedStack stack;
    LoopbackSocket closedPort(SOCK_STREAM);
    const int port = closedPort.port;
    closedPort.closeNow();

    TNxSocketHandle handle;
    handle.OpenSocket(kSockStream, 0);
    handle.SetTarget("127.0.0.1", port);
    EXPECT_EQ(handle.ConnectTarget(kAfInet), -1);
    EXPECT_EQ(stack->PlatformErrorCode(), 10061);
    EXPECT_EQ(messageOf<ENxSocketError>([&] { stack->CheckResult(-1); }),
              "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
}

TEST(SocketErrors, EachThreadRaisesTheCodeOfItsOwnFailure) {
    // Two threads fail on the one stack at once with different codes: a bad descriptor (10009) and
    // a shutdown of a socket that is not connected (10057).
    TNxStackLinux stack;
    const int unconnected = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(unconnected, 0);
    auto failAgain = [&stack](const std::function<int()>& failing, int expected) {
        int wrong = 0;
        for (int i = 0; i < 20000; ++i) {
            try {
                stack.CheckResult(failing());
                ++wrong;
            } catch (const ENxSocketError& e) {
                if (e.SocketCode != expected) ++wrong;
            }
        }
        return wrong;
    };
    int wrongBadDescriptor = 0;
    std::thread other([&] { wrongBadDescriptor = failAgain([&] { return stack.StackClose(-1); }, 10009); });
    const int wrongNotConnected =
        failAgain([&] { return stack.StackShutdown(unconnected, SHUT_RDWR); }, 10057);
    other.join();
    ::close(unconnected);
    EXPECT_EQ(wrongBadDescriptor, 0);
    EXPECT_EQ(wrongNotConnected, 0);
}

TEST(SocketErrors, StubErrorShowsSystemTextOnlyWithACode) {
    const ENxWS2StubError load("Fehler beim Laden einer Winsock2-Bibliothek (WS2_32.DLL)", 126,
                               "Das angegebene Modul wurde nicht gefunden.");
    EXPECT_EQ(load.Message, "Fehler beim Laden einer Winsock2-Bibliothek (WS2_32.DLL): Das angegebene Modul "
                            "wurde nicht gefunden.");
    const ENxWS2StubError plain("Kopfzeile", 0, "ignoriert");
    EXPECT_EQ(plain.Message, "Kopfzeile");
}

TEST(Addresses, LookupAddressAsksTheResolverOnlyForNonAddresses) {
    ScopedStack stack;
    stack->names = {{"1.2.3", "1.2.0.3"}, {"example.test", "192.0.2.9"}};
    for (const char* text : {"LOCALHOST", "localhost", "LocalHost"})
        EXPECT_EQ(stack->LookupAddress(text), "127.0.0.1");
    EXPECT_EQ(stack->LookupAddress("192.168.0.1"), "192.168.0.1");
    EXPECT_TRUE(stack->nameQueries.empty());

    EXPECT_EQ(stack->LookupAddress("1.2.3"), "1.2.0.3");
    EXPECT_EQ(stack->LookupAddress("example.test"), "192.0.2.9");
    for (const char* text : {"1.2.3.4.5", "256.1.1.1", "1.2.3.256", " 1.2.3.4 ", ""})
        EXPECT_EQ(messageOf<ENxSocketError>([&] { stack->LookupAddress(text); }),
                  "Socket-Fehler # 11001\r\nHost nicht gefunden.")
            << text;
    EXPECT_EQ(stack->nameQueries, (std::vector<std::string>{"1.2.3", "example.test", "1.2.3.4.5", "256.1.1.1",
                                                            "1.2.3.256", " 1.2.3.4 ", ""}));
}

TEST(Addresses, DottedQuadSplitting) {
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"0.0.0.0", true},     {"255.255.255.255", true}, {"10.0.0.1", true},  {"1.2.3", false},
        {"1.2.3.4.5", false},  {"1.2.3.", false},         {"1..3.4", false},   {"a.b.c.d", false},
        {"256.1.1.1", false},  {"1.2.3.-1", false},       {"1.2.3.4x", false}, {"", false},
        {"01.002.3.4", true},  {"$A.0.0.1", true},        {"1.2.3.4 ", false}, {"0009.1.1.1", true},
        {"1234.0.0.1", false}, {"1.2.3.2550", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TNxStack::IsDottedQuad(c.text), c.dotted) << c.text;
}

TEST(Addresses, TextAndBytes) {
    EXPECT_EQ(TNxStack::AddressToText({192, 168, 0, 1}), "192.168.0.1");
    EXPECT_EQ(TNxStack::AddressToText({0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(TNxStack::TextToAddress("10.20.30.40"), (std::array<std::uint8_t, 4>{10, 20, 30, 40}));
    EXPECT_EQ(TNxStack::TextToAddress(""), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    // Only the low 8 bits of each part count.
    EXPECT_EQ(TNxStack::TextToAddress("257.0.0.1"), (std::array<std::uint8_t, 4>{1, 0, 0, 1}));
    EXPECT_EQ(messageOf<EConvertError>([] { TNxStack::TextToAddress("1.x.3.4"); }),
              "'x' ist kein gültiger Integerwert");
    EXPECT_EQ(messageOf<EConvertError>([] { TNxStack::TextToAddress("1.2"); }),
              "'' ist kein gültiger Integerwert");
}

TEST(Waiting, ClosedHandleRaisesGracefulClose) {
    ScopedStack stack;
    TNxSocketHandle handle;
    EXPECT_EQ(messageOf<ENxConnClosedGracefully>([&] { handle.WaitForData(0); }),
              "Die Verbindung wurde erfolgreich geschlossen.");
    handle.OpenSocket(kSockDgram, 0);
    handle.DropSocket();
    EXPECT_THROW(handle.WaitForData(0), ENxSilentException);
}

TEST(Waiting, ZeroAnswersAtOnceAndMinusTwoWaitsForData) {
    ScopedStack stack;
    TNxSocketHandle handle;
    handle.OpenSocket(kSockDgram, 0);
    handle.IP = "127.0.0.1";
    handle.BindLocal();
    ASSERT_NE(handle.Port, 0);
    EXPECT_EQ(handle.IP, "127.0.0.1");

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(handle.WaitForData(0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(handle.WaitForData(120));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(115));

    const int port = handle.Port;
    std::thread sender([port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        LoopbackSocket s(SOCK_DGRAM);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        ::sendto(s.fd, "abc", 3, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(handle.WaitForData(-2));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    sender.join();
    char buffer[8] = {};
    EXPECT_EQ(handle.ReceiveBytes(buffer, sizeof buffer, 0), 3);
    EXPECT_STREQ(buffer, "abc");
}

TEST(Waiting, SetsHoldAtMost64Sockets) {
    ScopedStack stack;
    std::vector<std::unique_ptr<TNxSocketHandle>> handles;
    TNxSocketList list;
    for (int i = 0; i < 65; ++i) {
        handles.push_back(std::make_unique<TNxSocketHandle>());
        handles.back()->OpenSocket(kSockDgram, 0);
        list.push_back(handles.back()->Descriptor);
    }
    TNxSocketList tooMany = list;
    EXPECT_EQ(messageOf<ENxStackSetSizeExceeded>([&] { stack->WaitSockets(&tooMany, nullptr, nullptr, 0); }),
              "Mengengröße überschritten.");
    TNxSocketList writers(list.begin(), list.end() - 1);
    EXPECT_THROW(stack->WaitSockets(nullptr, nullptr, &tooMany, 0), ENxStackError);

    // 64 unbound datagram sockets: none readable, all writable; the lists keep the ready ones.
    TNxSocketList readers = writers;
    EXPECT_EQ(stack->WaitSockets(&readers, &writers, nullptr, 0), 64);
    EXPECT_TRUE(readers.empty());
    EXPECT_EQ(writers.size(), 64u);
}

TEST(Waiting, AFailedWaitCountsAsNotReadable) {
    ScopedStack stack;
    TNxSocketHandle handle;
    handle.OpenSocket(kSockDgram, 0);
    const int fd = handle.Descriptor;
    ::close(fd); // the handle still believes it is open
    EXPECT_FALSE(handle.WaitForData(0));
    TNxSocketList list{fd};
    EXPECT_EQ(stack->WaitSockets(&list, nullptr, nullptr, 10), -1);
    EXPECT_EQ(stack->PlatformErrorCode(), 10009);
    handle.ClearState(false);
}

TEST(Binding, PortRangeIsTriedFromTheTopDown) {
    ScopedStack stack;
    TNxSocketHandle handle;
    handle.OpenSocket(kSockStream, 0);
    stack->platformCode = 10048;
    stack->bind = [](int, const std::string&) { return -1; };
    handle.ClientPortMin = 5000;
    handle.ClientPortMax = 5002;
    EXPECT_EQ(messageOf<ENxCanNotBindPortInRange>([&] { handle.BindLocal(); }),
              "Port-Beriech (5000 - 5002) kann nicht eingebunden werden");
    EXPECT_EQ(stack->boundPorts, (std::vector<int>{5002, 5001, 5000}));

    // A port given explicitly is tried once.
    stack->boundPorts.clear();
    handle.Port = 5001;
    EXPECT_EQ(messageOf<ENxCouldNotBindSocket>([&] { handle.BindLocal(); }),
              "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt.");
    EXPECT_EQ(stack->boundPorts, (std::vector<int>{5001}));

    // Other failures are socket errors, not "in use".
    stack->platformCode = 10049;
    handle.Port = 0;
    EXPECT_EQ(messageOf<ENxSocketError>([&] { handle.BindLocal(); }),
              "Socket-Fehler # 10049\r\nDie angeforderte Adresse kann nicht zugewiesen werden.");

    // The range walk leaves the port it tried last in Port.
    EXPECT_EQ(handle.Port, 5002);
    handle.Port = 0;
    handle.ClientPortMin = 6000;
    handle.ClientPortMax = 5000;
    stack->boundPorts.clear();
    EXPECT_EQ(messageOf<ENxInvalidPortRange>([&] { handle.BindLocal(); }),
              "Ungültiger Port-Bereich (6000 - 5000)");
    EXPECT_TRUE(stack->boundPorts.empty());
}

TEST(Binding, RealPortsInUseAreSkipped) {
    ScopedStack stack;
    // Three consecutive free ports, the top one then taken.
    int base = 0;
    std::unique_ptr<LoopbackSocket> taken;
    for (int attempt = 0; attempt < 50 && !taken; ++attempt) {
        LoopbackSocket probe(SOCK_STREAM);
        base = probe.port - 2;
        if (base < 1024) continue;
        probe.closeNow();
        auto t = std::make_unique<LoopbackSocket>(SOCK_STREAM, base + 2);
        if (t->port == base + 2) taken = std::move(t);
    }
    ASSERT_TRUE(taken);
    TNxSocketHandle handle;
    handle.OpenSocket(kSockStream, 0);
    handle.IP = "127.0.0.1";
    handle.ClientPortMin = base;
    handle.ClientPortMax = base + 2;
    handle.BindLocal();
    EXPECT_EQ(stack->boundPorts.front(), base + 2);
    EXPECT_LE(handle.Port, base + 1);
    EXPECT_GE(handle.Port, base);

    // Range 0..0 and Port 0: one bind, the platform picks the port.
    TNxSocketHandle any;
    any.OpenSocket(kSockStream, 0);
    stack->boundPorts.clear();
    any.BindLocal();
    EXPECT_EQ(stack->boundPorts, (std::vector<int>{0}));
    EXPECT_GT(any.Port, 0);
    EXPECT_EQ(any.IP, "0.0.0.0");
}

TEST(Streams, ConnectSendReceiveAndNamesReadBack) {
    ScopedStack stack;
    LoopbackSocket server(SOCK_STREAM);
    TNxSocketHandle handle;
    handle.OpenSocket(kSockStream, 0);
    handle.BindLocal();
    handle.SetTarget(stack->LookupAddress("LOCALHOST"), server.port);
    ASSERT_EQ(handle.ConnectTarget(kAfInet), 0);
    EXPECT_EQ(handle.TargetIP, "127.0.0.1");
    EXPECT_EQ(handle.TargetPort, server.port);
    EXPECT_EQ(handle.IP, "127.0.0.1");
    const int one = 1;
    handle.SetOption(IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    const int peer = ::accept(server.fd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(handle.SendBytes("GET /", 5, 0), 5);
    char got[8] = {};
    EXPECT_EQ(::recv(peer, got, sizeof got, 0), 5);
    EXPECT_STREQ(got, "GET /");
    ::send(peer, "HTTP", 4, 0);
    EXPECT_TRUE(handle.WaitForData(1000));
    char reply[8] = {};
    EXPECT_EQ(handle.ReceiveBytes(reply, sizeof reply, 0), 4);
    EXPECT_STREQ(reply, "HTTP");

    // The peer resets: the stack reports a Winsock code, and no SIGPIPE ends the process.
    linger hard{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(peer);
    EXPECT_TRUE(handle.WaitForData(1000));
    EXPECT_EQ(handle.ReceiveBytes(reply, sizeof reply, 0), -1);
    EXPECT_TRUE(stack->CheckResult(-1, {10053, 10054, 10058}));
    EXPECT_EQ(stack->LastCode, 10054);
    int result = 0;
    for (int i = 0; i < 3 && result != -1; ++i)
        result = handle.SendBytes("x", 1, 0);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(stack->CheckResult(result, {10053, 10054, 10058}));

    // Dropping keeps the addresses; clearing forgets the target.
    handle.DropSocket();
    EXPECT_FALSE(handle.IsOpen);
    EXPECT_EQ(handle.TargetPort, server.port);
    handle.ClearState(true);
    EXPECT_EQ(handle.Descriptor, kInvalidSocket);
    EXPECT_EQ(handle.TargetIP, "");
    EXPECT_EQ(handle.IP, "");
    EXPECT_EQ(handle.Port, 0);
}

TEST(Datagrams, OversizedAndTruncatedDatagramsGiveCode10040) {
    ScopedStack stack;
    TNxSocketHandle receiver;
    receiver.OpenSocket(kSockDgram, 0);
    receiver.IP = "127.0.0.1";
    receiver.BindLocal();

    TNxSocketHandle sender;
    sender.OpenSocket(kSockDgram, 0);
    std::vector<char> big(70000, 'x');
    EXPECT_EQ(messageOf<ENxPackageSizeTooBig>([&] {
                  sender.SendBytesTo("127.0.0.1", receiver.Port, big.data(), static_cast<int>(big.size()));
              }),
              "Package-Größe zu hoch");

    sender.SendBytesTo("127.0.0.1", receiver.Port, big.data(), 2000);
    ASSERT_TRUE(receiver.WaitForData(1000));
    char buffer[1024];
    EXPECT_EQ(receiver.ReceiveBytes(buffer, sizeof buffer, 0), -1);
    EXPECT_EQ(messageOf<ENxSocketError>([&] { stack->CheckResult(-1); }),
              "Socket-Fehler # 10040\r\nDie Botschaft ist zu lang.");

    sender.SendBytesTo("127.0.0.1", receiver.Port, "ping", 4);
    ASSERT_TRUE(receiver.WaitForData(1000));
    TNxDatagramInfo info;
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer, 0, info), 4);
    EXPECT_EQ(info.SourceAddress, "127.0.0.1");
}

namespace {
struct CountingFactory {
    int made = 0;
    TNxStackFactory factory() {
        return [this] {
            ++made;
            return std::make_unique<TNxStackLinux>();
        };
    }
};
} // namespace

TEST(StackLifetime, OneStackForAllComponentsAndOneStartUp) {
    CountingFactory counter;
    auto previous = SetStackFactory(counter.factory());
    ASSERT_EQ(SharedStack, nullptr);
    {
        TNxComponent first;
        TNxStack* stack = SharedStack;
        ASSERT_NE(stack, nullptr);
        EXPECT_EQ(StackUsers(), 1);
        {
            TNxComponent second;
            EXPECT_EQ(SharedStack, stack);
            EXPECT_EQ(StackUsers(), 2);
        }
        EXPECT_EQ(SharedStack, stack);
        EXPECT_EQ(StackUsers(), 1);
    }
    EXPECT_EQ(SharedStack, nullptr);
    EXPECT_EQ(StackUsers(), 0);
    EXPECT_EQ(counter.made, 1);
    {
        TNxComponent again;
        EXPECT_NE(SharedStack, nullptr);
        EXPECT_EQ(counter.made, 2);
    }
    EXPECT_TRUE(StackStarted());
    EXPECT_EQ(StackStartupCount(), 1);
    SetStackFactory(std::move(previous));
}

TEST(StackLifetime, AFailingCreationLeavesNoUserBehind) {
    auto previous = SetStackFactory([]() -> std::unique_ptr<TNxStack> {
        throw ENxStackInitializationFailed(nxtext::kStackInitializationFailed);
    });
    EXPECT_EQ(messageOf<ENxStackInitializationFailed>([] { TNxComponent c; }),
              "Fehler bei der Winsock-Initialisierung.");
    EXPECT_EQ(StackUsers(), 0);
    EXPECT_EQ(SharedStack, nullptr);
    SetStackFactory(std::move(previous));
    TNxComponent works;
    EXPECT_NE(SharedStack, nullptr);
}

TEST(Convert, StrToIntReadsLikeTheToolkit) {
    struct Case {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"10", 10},
        {"+5", 5},
        {"-7", -7},
        {"  42", 42},
        {"$FF", 255},
        {"0x10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"12 ", std::nullopt},
        {"1a", std::nullopt},
        {"+", std::nullopt},
        {"--1", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tryStrToInt(c.text), c.value) << "'" << c.text << "'";
    EXPECT_EQ(messageOf<EConvertError>([] { StrToInt("zehn"); }), "'zehn' ist kein gültiger Integerwert");
}
