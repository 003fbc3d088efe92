// The client over real sockets against a scripted server on a loopback port.
#include "ScriptedServer.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxHTTP.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <sstream>
#include <thread>

namespace orvex {
namespace {

using test::RequestLog;
using test::ScriptedServer;
using test::ServerConnection;

std::string requestFor(const std::string& target, const std::string& host, const std::string& cookie = "") {
    std::string r = "GET " + target + " HTTP/1.1\r\nContent-Type: text/html\r\nHost: " + host +
                    "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Nx Library)\r\n";
    if (!cookie.empty()) r += "Cookie: " + cookie + "\r\n";
    return r + "\r\n";
}

TEST(HttpLoopback, SendsExactBytesAndReusesTheConnectionWithItsCookie) {
    RequestLog log;
    ScriptedServer server([&](ServerConnection& c) {
        for (int i = 0; i < 2; ++i) {
            std::string request = c.ReadRequest();
            if (request.empty()) return;
            log.Add(request);
            c.Send(i == 0
                       ? "HTTP/1.1 200 OK\r\nSet-Cookie: id=42; path=/\r\nContent-Length: 8\r\n\r\n10.1.2.3"
                       : "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n10.1.2.4");
        }
        c.WaitForPeerClose(5000);
    });
    const std::string host = "127.0.0.1:" + std::to_string(server.Port());
    TNxHTTP http;
    EXPECT_EQ(http.FetchUrl("http://" + host + "/orvexip/ip.php"), "10.1.2.3");
    EXPECT_EQ(http.FetchUrl("http://" + host + "/orvexip/ip.php"), "10.1.2.4");
    EXPECT_EQ(server.Connections(), 1);
    const auto requests = log.All();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], requestFor("/orvexip/ip.php", host));
    EXPECT_EQ(requests[1], requestFor("/orvexip/ip.php", host, "id=42"));
}

TEST(HttpLoopback, ReconnectsAfterTheServerClosedTheIdleConnection) {
    std::atomic<int> closed{0};
    ScriptedServer server([&](ServerConnection& c) {
        if (c.ReadRequest().empty()) return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        c.Close();
        ++closed;
    });
    TNxHTTP http;
    const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/";
    EXPECT_EQ(http.FetchUrl(url), "ok");
    // Give the close time to arrive, as an idle keep-alive timeout would (on a busy machine the
    // server's thread may take a while to get there).
    for (int i = 0; i < 5000 && closed < 1; ++i)
        usleep(1000);
    usleep(20000);
    EXPECT_EQ(http.FetchUrl(url), "ok");
    EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpLoopback, ReadsLargeBodiesInEveryModeIntoTheCallersStream) {
    std::string body(300000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 + i / 251);
    const std::string chunked = [&] {
        std::string out;
        for (std::size_t at = 0; at < body.size(); at += 70000) {
            const std::string piece = body.substr(at, 70000);
            char size[32];
            std::snprintf(size, sizeof size, "%zx;ext=1\r\n", piece.size());
            out += size + piece + "\r\n";
        }
        return out + "0\r\n\r\n";
    }();
    const std::string replies[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked,
        "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body,
    };
    for (const std::string& reply : replies) {
        ScriptedServer server([&](ServerConnection& c) {
            if (c.ReadRequest().empty()) return;
            c.Send(reply);
            c.Close();
        });
        TNxHTTP http;
        std::ostringstream out;
        out << "head:";
        http.FetchUrl("http://127.0.0.1:" + std::to_string(server.Port()) + "/big", out);
        EXPECT_TRUE(out.str() == "head:" + body) << reply.substr(0, 40);
    }
}

TEST(HttpLoopback, ReportsSocketErrorsAndTimeouts) {
    int freePort;
    {
        ScriptedServer probe([](ServerConnection&) {});
        freePort = probe.Port();
    }
    TNxHTTP http;
    try {
        http.FetchUrl("http://127.0.0.1:" + std::to_string(freePort) + "/");
        FAIL();
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 10061);
        EXPECT_STREQ(e.what(), "Socket-Fehler # 10061\r\nVerbindung abgelehnt.");
    }

    ScriptedServer stalling([](ServerConnection& c) {
        c.ReadRequest();
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
        c.WaitForPeerClose(5000);
    });
    http.ReadTimeout = 200;
    EXPECT_THROW(http.FetchUrl("http://127.0.0.1:" + std::to_string(stalling.Port()) + "/"), ENxReadTimeout);
    EXPECT_FALSE(http.Connected());
}

TEST(HttpLoopback, WaitsTwoSecondsForTheBodyOfAnErrorReply) {
    ScriptedServer server([](ServerConnection& c) {
        c.ReadRequest();
        c.Send("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot ");
        usleep(300000);
        c.Send("found");
        c.WaitForPeerClose(5000);
    });
    TNxHTTP http;
    try {
        http.FetchUrl("http://127.0.0.1:" + std::to_string(server.Port()) + "/missing");
        FAIL();
    } catch (const ENxHTTPProtocolException& e) {
        EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorCode, 404);
        EXPECT_EQ(e.ErrorText, "not found");
    }
}

// What a URL names is what is asked: a port outside 1..65535 never reaches the connect (where it
// would be cut to 16 bits: -47456 and 83616 are the server's port 18080 in disguise), and a control
// character in the URL never reaches the request line.
TEST(HttpLoopback, NothingIsSentForAPortThatIsNoneOrAControlCharacter) {
    ScriptedServer server([](ServerConnection& c) {
        if (!c.ReadRequest().empty()) c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    const int port = server.Port();
    const std::string wrapped[] = {"0", "99999", std::to_string(port - 65536), std::to_string(port + 65536)};
    for (const std::string& p : wrapped) {
        TNxHTTP http;
        try {
            http.FetchUrl("http://127.0.0.1:" + p + "/ip");
            ADD_FAILURE() << "port " << p << " was asked";
        } catch (const ENxSocketError& e) {
            EXPECT_EQ(e.SocketCode, 10049) << p;
        }
    }
    const std::string tails[] = {"\r\nX-Injected: 1", "\n", "\t", "\x7f", std::string("\0x", 2)};
    for (const std::string& tail : tails) {
        TNxHTTP http;
        try {
            http.FetchUrl("http://127.0.0.1:" + std::to_string(port) + "/search?q=info:www.x.org" + tail);
            ADD_FAILURE() << "sent with a control character";
        } catch (const ENxException& e) {
            EXPECT_STREQ(e.what(), nxtext::kControlCharacterInUrl);
        }
    }
    EXPECT_EQ(server.Connections(), 0);
}

int openDescriptors() {
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++n;
        ::closedir(dir);
    }
    return n;
}

// A server that sends a byte now and then keeps every single read within its limit; the request's
// deadline still ends it, as the read timeout.
TEST(HttpLoopback, TheDeadlineEndsAReplyThatDribbles) {
    ScriptedServer dribbling([](ServerConnection& c) {
        if (c.ReadRequest().empty()) return;
        for (const char byte :
             std::string("HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n") + std::string(99, '9'))
            if (!c.Send(std::string(1, byte)) || c.WaitForPeerClose(40)) return;
    });
    TNxHTTP http;
    http.ReadTimeout = 1000;
    http.TotalTimeout = 300;
    const auto start = std::chrono::steady_clock::now();
    try {
        http.FetchUrl("http://127.0.0.1:" + std::to_string(dribbling.Port()) + "/");
        ADD_FAILURE() << "the dribble was read to its end";
    } catch (const ENxReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Zeitüberschreitung beim Lesen");
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(290));
    EXPECT_LT(took, std::chrono::milliseconds(900));
    EXPECT_FALSE(http.Connected());
}

// Abort from another thread ends a request that waits on a silent server at once, in each phase,
// and leaves no socket open; ClearAbort lets the client work again.
TEST(HttpLoopback, AbortEndsAWaitingRequestAtOnceAndClosesItsSocket) {
    std::atomic<bool> answer{false};
    ScriptedServer server([&](ServerConnection& c) {
        while (!c.ReadRequest().empty()) {
            if (answer) {
                c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
                continue;
            }
            c.WaitForPeerClose(5000);
            return;
        }
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    const int before = openDescriptors();
    TNxHTTP http;
    for (const int delayMs : {0, 100}) {
        if (delayMs == 0) http.Abort(); // before the connect
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            http.Abort();
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(http.FetchUrl(url), ENxException);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(delayMs + 1000));
        stopper.join();
        EXPECT_FALSE(http.Connected());
        // The server's side of the connection goes once its thread has seen the close.
        for (int i = 0; i < 2000 && openDescriptors() > before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(openDescriptors(), before) << "after an abort " << delayMs << " ms in";
        http.ClearAbort();
    }
    answer = true;
    EXPECT_EQ(http.FetchUrl(url), "ok");
}

} // namespace
} // namespace orvex
