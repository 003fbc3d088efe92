// The client over real sockets against a scripted server on a loopback port.
#include "ScriptedServer.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxHTTP.h"

#include <gtest/gtest.h>

#include <sstream>

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
    ScriptedServer server([](ServerConnection& c) {
        if (c.ReadRequest().empty()) return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        c.Close();
    });
    TNxHTTP http;
    const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/";
    EXPECT_EQ(http.FetchUrl(url), "ok");
    // Give the close time to arrive, as an idle keep-alive timeout would.
    for (int i = 0; i < 100 && server.Connections() < 1; ++i)
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

} // namespace
} // namespace orvex
