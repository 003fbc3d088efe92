// The client against scripted replies from memory: exact request bytes, the body modes, the
// error replies and the hostile ones.
#include "MemoryIOHandler.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxHTTP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace orvex {
namespace {

using test::MemoryIOHandler;
using test::MemoryNet;
using test::ScriptedConnection;
using End = ScriptedConnection::End;

class HttpReply : public ::testing::Test {
protected:
    HttpReply() : net(std::make_shared<MemoryNet>()) {
        http.CreateIOHandler = [n = net] { return std::make_unique<MemoryIOHandler>(n); };
    }
    void Script(std::vector<std::string> pieces, End end = End::Close) {
        net->Pending.push_back({std::move(pieces), end, 0});
    }
    std::shared_ptr<MemoryNet> net;
    TNxHTTP http;
};

const std::string kPublicAddressRequest = "GET /orvexip/ip.php HTTP/1.1\r\n"
                                          "Content-Type: text/html\r\n"
                                          "Host: www.example.com\r\n"
                                          "Accept: text/html, */*\r\n"
                                          "User-Agent: Mozilla/3.0 (compatible; Nx Library)\r\n"
                                          "\r\n";

TEST_F(HttpReply, SendsThePublicAddressRequestAndThenItsCookie) {
    Script({"HTTP/1.1 200 OK\r\nSet-Cookie: visit=1; path=/\r\nContent-Length: 9\r\n\r\n", "192.0.2.7",
            "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n192.0.2.8"},
           End::Stall);
    EXPECT_EQ(http.FetchUrl("http://www.example.com/orvexip/ip.php"), "192.0.2.7");
    ASSERT_EQ(net->Sent.size(), 1u);
    EXPECT_EQ(net->Sent[0], kPublicAddressRequest);
    EXPECT_EQ(net->Opened[0], std::make_pair(std::string("www.example.com"), 80));

    // The server kept the connection: the second request goes over the same one.
    EXPECT_EQ(http.FetchUrl("http://www.example.com/orvexip/ip.php"), "192.0.2.");
    ASSERT_EQ(net->Sent.size(), 1u);
    const std::string withCookie =
        kPublicAddressRequest.substr(0, kPublicAddressRequest.size() - 2) + "Cookie: visit=1\r\n\r\n";
    EXPECT_EQ(net->Sent[0], kPublicAddressRequest + withCookie);
}

TEST_F(HttpReply, WritesPortParametersAndVersionAsGiven) {
    http.ProtocolVersion = "1.0";
    http.Request.Referer = "r";
    Script({"HTTP/1.0 200 OK\r\n\r\nbody"});
    EXPECT_EQ(http.FetchUrl("http://h:8080/p/d.cgi?q=a b:c#frag"), "body");
    EXPECT_EQ(net->Sent[0], "GET /p/d.cgi?q=a b:c HTTP/1.0\r\n"
                            "Connection: keep-alive\r\n"
                            "Content-Type: text/html\r\n"
                            "Host: h:8080\r\n"
                            "Accept: text/html, */*\r\n"
                            "Referer: r\r\n"
                            "User-Agent: Mozilla/3.0 (compatible; Nx Library)\r\n"
                            "\r\n");
    EXPECT_EQ(net->Opened[0], std::make_pair(std::string("h"), 8080));
}

TEST_F(HttpReply, ReadsEachBodyMode) {
    const struct {
        const char* name;
        std::vector<std::string> reply;
        const char* body;
    } cases[] = {
        {"counted", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA"}, "hello"},
        {"counted in pieces", {"HTTP/1.1 200 OK\r\nContent-Length:  5 \r\n\r\nh", "el", "lo"}, "hello"},
        {"zero length", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, ""},
        {"until close", {"HTTP/1.1 200 OK\r\n\r\nab", "cd", "ef"}, "abcdef"},
        {"no content", {"HTTP/1.1 204 No Content\r\n\r\nnot a body"}, ""},
        {"chunked",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1A\r\n",
          "abcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n"},
         "helloabcdefghijklmnopqrstuvwxyz"},
        {"chunk extensions",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;name=value\r\nabc\r\n"
          "2 ; x\r\nde\r\n0;end\r\nTrailer: t\r\n\r\n"},
         "abcde"},
        {"chunked after a zero length",
         {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nTransfer-Encoding: chunked\r\n\r\n"
          "2\r\nok\r\n0\r\n\r\n"},
         "ok"},
        {"size that is no number ends the body",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n"
          "zz\r\n\r\nrest"},
         "ok"},
        {"Chunked in other case is not chunked",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n2\r\nok"},
         "2\r\nok"},
        {"100 first", {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, "ok"},
        {"bare LF and CR inside lines", {"HTTP/1.1 200 OK\nX: a\rb\nContent-Length: 2\n\nok"}, "ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Script(c.reply);
        TNxHTTP client;
        client.CreateIOHandler = [n = net] { return std::make_unique<MemoryIOHandler>(n); };
        EXPECT_EQ(client.FetchUrl("http://h/"), c.body);
        EXPECT_EQ(client.Response.ResponseCode(), 200 + (std::string(c.name) == "no content" ? 4 : 0));
    }
}

TEST_F(HttpReply, ReadsLargeBodiesInWideReceivesWithoutTakingTheNextReply) {
    std::string body(1 << 20, 'b');
    for (std::size_t i = 0; i < body.size(); i += 4099)
        body[i] = static_cast<char>('0' + i % 10);
    const std::string next = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nnext";
    for (const bool toStream : {false, true}) {
        SCOPED_TRACE(toStream ? "into a std::ostream" : "as text");
        // The counted body, the next reply and an until-close body all arrive in one piece.
        Script({"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body +
                next + "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body});
        net->ReceiveLengths.clear();
        auto fetch = [&] {
            if (!toStream) return http.FetchUrl("http://h/");
            std::ostringstream out;
            http.FetchUrl("http://h/", out);
            return out.str();
        };
        EXPECT_TRUE(fetch() == body);
        EXPECT_EQ(fetch(), "next");
        EXPECT_TRUE(fetch() == body);
        EXPECT_EQ(net->Opened.size(), toStream ? 2u : 1u);
        // Header lines came in receives of the input buffer's size, the bodies in wider ones.
        EXPECT_EQ(net->ReceiveLengths.front(), TNxTCPConnection::kReceiveBlockSize);
        EXPECT_EQ(*std::max_element(net->ReceiveLengths.begin(), net->ReceiveLengths.end()),
                  TNxTCPConnection::kBodyReceiveBlockSize);
    }
}

TEST_F(HttpReply, ReportsChunkedStart) {
    std::vector<std::string> statuses;
    http.OnStatus = [&](TNxComponent&, TNxStatus, const std::string& s) { statuses.push_back(s); };
    Script({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"});
    EXPECT_EQ(http.FetchUrl("http://h/"), "");
    EXPECT_EQ(statuses, std::vector<std::string>{"Chunk gestartet"});
}

TEST_F(HttpReply, TurnsEveryReplyOutside2xxIntoTheProtocolError) {
    const struct {
        const char* reply;
        int code;
        const char* message;
        const char* errorText;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!", 404, "HTTP/1.1 404 Not Found",
         "not here!"},
        // A counted error text cut by the close keeps what came.
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\nnot here!", 404, "HTTP/1.1 404 Not Found",
         "not here!"},
        {"HTTP/1.1 301 Moved\r\nLocation: http://x/\r\nContent-Length: 0\r\n\r\n", 301, "HTTP/1.1 301 Moved",
         ""},
        {"HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\nContent-Length: 2\r\n\r\nok", 200, "HTTP/1.1 200 OK",
         "ok"},
        {"HTTP/1.1\r\nContent-Length: 1\r\n\r\nx", -1, "HTTP/1.1", "x"},
        {"garbage\r\n\r\nbody", -1, "garbage", "body"},
        {"HTTP/1.1 5000000000 Big\r\n\r\n", -1, "HTTP/1.1 5000000000 Big", ""},
        {"HTTP/1.1 500 Fehler \xe4\r\n\r\n", 500, "HTTP/1.1 500 Fehler \xc3\xa4", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        Script({c.reply});
        try {
            http.FetchUrl("http://h/");
            FAIL();
        } catch (const ENxHTTPProtocolException& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.ErrorText, c.errorText);
        }
    }
}

TEST_F(HttpReply, KeepsTheConnectionAfterAnErrorReplyWhoseBodyWasRead) {
    Script({"HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno",
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    EXPECT_THROW(http.FetchUrl("http://h/a"), ENxHTTPProtocolException);
    EXPECT_TRUE(http.Connected());
    EXPECT_EQ(http.FetchUrl("http://h/b"), "ok");
    EXPECT_EQ(net->Opened.size(), 1u);
}

TEST_F(HttpReply, AttachesAnEmptyBasicAuthenticationAfter401) {
    Script(
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Negotiate\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
         "Content-Length: 0\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
    EXPECT_THROW(http.FetchUrl("http://h/"), ENxHTTPProtocolException);
    EXPECT_EQ(http.FetchUrl("http://h/"), "");
    const std::string& sent = net->Sent[0];
    const std::size_t second = sent.find("GET", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(sent.find("Authorization"), second + sent.substr(second).find("Authorization"));
    EXPECT_NE(sent.find("Authorization: Basic Og==\r\n", second), std::string::npos);
}

TEST_F(HttpReply, ReusesOneConnectionAndReconnectsAfterTheServerClosedIt) {
    Script({"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1"}); // then the server closes the idle connection
    Script({"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n2", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n3"},
           End::Stall);
    EXPECT_EQ(http.FetchUrl("http://h/"), "1");
    EXPECT_EQ(http.FetchUrl("http://h/"), "2");
    EXPECT_EQ(http.FetchUrl("http://h/"), "3");
    EXPECT_EQ(net->Opened.size(), 2u);
}

TEST_F(HttpReply, ClosesAfterConnectionCloseInAnyCaseAndFollowsVersion10Rules) {
    const struct {
        const char* version;
        const char* header;
        bool keptOpen;
    } cases[] = {
        {"1.1", "", true},
        {"1.1", "Connection: CLOSE\r\n", false},
        {"1.1", "Connection:  cLoSe \r\n", false},
        {"1.1", "Proxy-Connection: close\r\n", false},
        {"1.1", "Connection: keep-alive\r\n", true},
        {"1.0", "", false},
        {"1.0", "Connection: Keep-Alive\r\n", true},
        {"1.0", "Proxy-Connection: KEEP-ALIVE\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.header);
        Script({std::string("HTTP/1.1 200 OK\r\n") + c.header + "Content-Length: 0\r\n\r\n"}, End::Stall);
        TNxHTTP client;
        client.CreateIOHandler = [n = net] { return std::make_unique<MemoryIOHandler>(n); };
        client.ProtocolVersion = c.version;
        client.FetchUrl("http://h/");
        EXPECT_EQ(client.Connected(), c.keptOpen);
        EXPECT_EQ(client.Response.KeepAlive, c.keptOpen);
    }
}

TEST_F(HttpReply, RaisesTheLineAndCloseErrors) {
    const std::string longLine = "X-Long: " + std::string(16385, 'a') + "\r\n";
    const struct {
        const char* name;
        std::vector<std::string> reply;
        const char* message;
    } cases[] = {
        {"header line too long",
         {"HTTP/1.1 200 OK\r\n" + longLine + "\r\n"},
         "Max. Zeilenlänge überschritten."},
        {"endless line",
         {"HTTP/1.1 200 OK\r\nX: " + std::string(40000, 'b')},
         "Max. Zeilenlänge überschritten."},
        {"no answer", {}, "Die Verbindung wurde erfolgreich geschlossen."},
        {"close inside the status line", {"HTTP/1.1 20"}, "Die Verbindung wurde erfolgreich geschlossen."},
        {"close inside a chunk",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort"},
         "Die Verbindung wurde erfolgreich geschlossen."},
        {"close inside a chunk of an error reply's body",
         {"HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort"},
         "Die Verbindung wurde erfolgreich geschlossen."},
        {"close inside a chunk-size line",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1"},
         "Die Verbindung wurde erfolgreich geschlossen."},
        {"headers cut by the close", {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"}, "Undefined situation"},
        {"impossible chunk size",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffffff\r\n"},
         "Ungültige Chunk-Größe: fffffffffffffffff"},
        {"endless header lines",
         {"HTTP/1.1 200 OK\r\n" +
          [] {
              std::string lines;
              for (int i = 0; i < 20000; ++i)
                  lines += "X-Filler: " + std::string(50, 'f') + "\r\n";
              return lines;
          }()},
         "Die Kopfzeilen der Antwort sind zu groß."},
        {"endless trailer lines",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n" +
          [] {
              std::string lines;
              for (int i = 0; i < 20000; ++i)
                  lines += "X-Trailer: " + std::string(50, 't') + "\r\n";
              return lines;
          }()},
         "Ungültige Chunk-Kodierung in der Antwort des Servers."},
        {"interim replies share the header allowance",
         {[] {
             std::string replies;
             for (int i = 0; i < 3; ++i) {
                 replies += "HTTP/1.1 100 Continue\r\n";
                 for (int k = 0; k < 400; ++k)
                     replies += "X-Filler: " + std::string(1000, 'f') + "\r\n";
                 replies += "\r\n";
             }
             return replies + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
         }()},
         "Die Kopfzeilen der Antwort sind zu groß."},
        {"junk between a chunk and its CR LF",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nAjunk\r\n0\r\n\r\n"},
         "Ungültige Chunk-Kodierung in der Antwort des Servers."},
        {"a bare LF after a chunk",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nA\n0\r\n\r\n"},
         "Ungültige Chunk-Kodierung in der Antwort des Servers."},
        {"a chunk-size line with a long extension",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;x=" + std::string(1100, 'e') +
          "\r\nA\r\n0\r\n\r\n"},
         "Ungültige Chunk-Kodierung in der Antwort des Servers."},
        {"more framing than the body accounts for",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
          [] {
              std::string chunks;
              for (int i = 0; i < 200; ++i)
                  chunks += "1;x=" + std::string(900, 'e') + "\r\nA\r\n";
              return chunks + "0\r\n\r\n";
          }()},
         "Ungültige Chunk-Kodierung in der Antwort des Servers."},
        {"content range that is no number",
         {"HTTP/1.1 206 Partial\r\nContent-Range: bytes x-9/10\r\n\r\n"},
         "'x' ist kein gültiger Integerwert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Script(c.reply);
        try {
            http.FetchUrl("http://h/");
            FAIL();
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_FALSE(http.Connected());
    }
}

TEST_F(HttpReply, ACountedBodyCutShortIsTheCloseErrorNotAShortBody) {
    // A length far beyond what comes must not be reserved up front; what came reaches the stream,
    // but the request fails.
    Script({"HTTP/1.1 200 OK\r\nContent-Length: 4611686018427387904\r\n\r\nabc", std::string(70000, 'd')});
    TNxMemoryStream body;
    try {
        http.FetchUrl("http://h/", body);
        FAIL();
    } catch (const ENxConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Die Verbindung wurde erfolgreich geschlossen.");
    }
    EXPECT_EQ(body.TakeData(), "abc" + std::string(70000, 'd'));
    EXPECT_FALSE(http.Connected());
}

TEST_F(HttpReply, TheBodyLimitHoldsForEveryKindAndStopsTheReading) {
    // Pieces past the limit end in a stall, which a client that read on would run into.
    const std::string big(40000, 'x');
    const struct {
        const char* name;
        std::vector<std::string> reply;
        const char* result; // the body, or the error's message
    } cases[] = {
        {"counted at the limit",
         {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", "0123456789"},
         "0123456789"},
        {"counted over it, refused unread",
         {"HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n", "01234567890"},
         "Die Antwort des Servers ist zu groß."},
        {"chunked at the limit",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "6\r\n012345\r\n4\r\n6789\r\n0\r\n\r\n"},
         "0123456789"},
        {"chunked over it",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "6\r\n012345\r\n", "5\r\n6789a\r\n", big},
         "Die Antwort des Servers ist zu groß."},
        {"one chunk far over it",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "9c40\r\n", big, big},
         "Die Antwort des Servers ist zu groß."},
        {"until close at the limit", {"HTTP/1.1 200 OK\r\n\r\n", "01234", "56789"}, "0123456789"},
        {"until close over it",
         {"HTTP/1.1 200 OK\r\n\r\n", "01234", "56789a", big},
         "Die Antwort des Servers ist zu groß."},
        {"error reply over it", {"HTTP/1.1 404 Not Found\r\n\r\n", big, big}, "HTTP/1.1 404 Not Found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool whole = std::string(c.result) == "0123456789";
        Script(c.reply, whole ? End::Close : End::Stall);
        TNxHTTP client;
        client.CreateIOHandler = [n = net] { return std::make_unique<MemoryIOHandler>(n); };
        client.Request.MaxBodySize = 10;
        try {
            EXPECT_EQ(client.FetchUrl("http://h/"), c.result);
        } catch (const ENxException& e) {
            EXPECT_STREQ(e.what(), c.result);
            EXPECT_FALSE(client.Connected());
        }
    }
}

// The flood of the hostile server: each body byte wrapped in kilobytes of extension or junk. The
// client must stop after a few times the body limit, not read on until the body limit trips.
TEST_F(HttpReply, AChunkFloodIsCutOffAfterAFewTimesTheBodyLimit) {
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const struct {
        const char* name;
        std::string chunk;
    } floods[] = {
        {"16 KiB extension per byte", "1;" + std::string(16 * 1024, 'e') + "\r\nA\r\n"},
        {"1000-byte extension per byte", "1;" + std::string(1000, 'e') + "\r\nA\r\n"},
        {"16 KiB junk after each byte", "1\r\nA" + std::string(16 * 1024, 'j') + "\r\n"},
    };
    constexpr std::uint64_t kLimit = 64 * 1024;
    for (const auto& f : floods) {
        SCOPED_TRACE(f.name);
        std::vector<std::string> pieces{head};
        std::string block;
        while (block.size() < (1u << 20))
            block += f.chunk;
        for (int i = 0; i < 16; ++i)
            pieces.push_back(block); // 16 MiB, far more than any bound
        Script(pieces, End::Stall);
        const std::size_t offered = net->BytesReceivable();
        net->BytesReceived = 0;
        http.Request.MaxBodySize = kLimit;
        EXPECT_THROW(http.FetchUrl("http://h/"), ENxChunkFraming);
        const std::size_t accepted = net->BytesReceived;
        EXPECT_LE(accepted, 10 * kLimit);
        std::printf("chunk flood, %s: %zu bytes accepted of %zu offered\n", f.name, accepted, offered);
    }
}

TEST_F(HttpReply, ABodyReceiveUnderALimitTakesAtMostOneBytePastIt) {
    for (const char* head : {"HTTP/1.1 200 OK\r\n\r\n", "HTTP/1.1 404 Not Found\r\n\r\n"}) {
        SCOPED_TRACE(head);
        Script({head, "0123", std::string(100000, 'x')}, End::Stall);
        http.Request.MaxBodySize = 10;
        EXPECT_THROW(http.FetchUrl("http://h/"), ENxException);
        // The body came in receives of at most 10 + 1 bytes: "0123", then 7 of the x.
        EXPECT_EQ(net->ReceiveLengths.back(), 7u);
        net->ReceiveLengths.clear();
    }
}

TEST_F(HttpReply, TimesOutOnAServerThatStopsSending) {
    http.ReadTimeout = 50;
    Script({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}, End::Stall);
    try {
        http.FetchUrl("http://h/");
        FAIL();
    } catch (const ENxReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Zeitüberschreitung beim Lesen");
    }
    // A reply left half read is not taken for the start of the next one.
    EXPECT_FALSE(http.Connected());

    // An error reply's body is read with a 2000 ms wait, whose end replaces the protocol error.
    http.ReadTimeout = 0;
    Script({"HTTP/1.1 404 Not Found\r\n\r\npartial"}, End::Stall);
    EXPECT_THROW(http.FetchUrl("http://h/"), ENxReadTimeout);
    EXPECT_EQ(http.ReadTimeout, 0);
}

TEST_F(HttpReply, RejectsSecureAndUnknownProtocols) {
    try {
        http.FetchUrl("https://h/");
        FAIL();
    } catch (const ENxIOHandlerPropInvalid& e) {
        EXPECT_STREQ(e.what(), "Wert für IOHandler ist ungültig");
    }
    TNxHTTP other;
    try {
        other.FetchUrl("ftp://h/");
        FAIL();
    } catch (const ENxUnknownProtocol& e) {
        EXPECT_STREQ(e.what(), "");
    }
    EXPECT_TRUE(net->Opened.empty());
}

TEST_F(HttpReply, PassesConnectErrorsOn) {
    net->RefuseWith = 10061;
    try {
        http.FetchUrl("http://h/");
        FAIL();
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 10061);
    }
}

TEST(ReadLine, SplitsOverlongLinesWhenAskedTo) {
    auto net = std::make_shared<MemoryNet>();
    net->Pending.push_back({{"abcdefghij\r\nxy\r\n"}, End::Close, 0});
    TNxTCPClient c;
    c.CreateIOHandler = [net] { return std::make_unique<MemoryIOHandler>(net); };
    c.Connect();
    c.MaxLineLength = 4;
    c.MaxLineAction = TNxMaxLineAction::maSplit;
    EXPECT_EQ(c.ReadLine(), "abcd");
    EXPECT_EQ(c.ReadLine(), "efgh");
    EXPECT_EQ(c.ReadLine(), "ij"); // three bytes before the LF: "ij\r"
    EXPECT_EQ(c.ReadLine(), "xy");
    EXPECT_THROW(c.ReadLine(), ENxConnClosedGracefully);
}

TEST(ReadLine, TreatsAbortAsCloseOnlyWithBytesBuffered) {
    auto net = std::make_shared<MemoryNet>();
    net->Pending.push_back({{"partial"}, End::Error, 10053});
    net->Pending.push_back({{}, End::Error, 10053});
    net->Pending.push_back({{"x"}, End::Error, 10054});
    TNxTCPClient c;
    c.CreateIOHandler = [net] { return std::make_unique<MemoryIOHandler>(net); };
    c.Connect();
    EXPECT_THROW(c.ReadLine(), ENxConnClosedGracefully);
    c.Connect();
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 10053);
    }
    EXPECT_FALSE(c.Connected());
    c.Connect();
    try {
        c.ReadLine();
        FAIL();
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 10054);
    }
}

} // namespace
} // namespace orvex
