// The client against a real nginx on a loopback port.
#include "NginxServer.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxHTTP.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::NginxServer;

class HttpNginx : public ::testing::Test {
protected:
    void SetUp() override {
        if (!NginxServer::Available()) GTEST_SKIP() << "nginx is not installed";
        nginx = std::make_unique<NginxServer>(
            "    location = /cookie { add_header Set-Cookie \"nginxid=abc123; path=/\"; default_type "
            "text/plain; "
            "return 200 \"set\\n\"; }\n"
            "    location = /echo { default_type text/plain; return 200 \"[$http_cookie][$http_host]\"; }\n");
    }
    std::unique_ptr<NginxServer> nginx;
};

TEST_F(HttpNginx, KeepsOneConnectionForConsecutiveGets) {
    nginx->WriteFile("small.txt", "small page\n");
    TNxHTTP http;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(http.FetchUrl(nginx->Url("/small.txt")), "small page\n");
    EXPECT_TRUE(http.Connected());
    EXPECT_TRUE(http.Response.KeepAlive);
    EXPECT_EQ(http.Response.ContentLength, 11);
    EXPECT_EQ(http.Response.Server.substr(0, 5), "nginx");
}

TEST_F(HttpNginx, ReadsALargeFileCountedChunkedAndUntilClose) {
    std::string body(5 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + i % 23);
    nginx->WriteFile("large.bin", body);
    TNxHTTP http;
    EXPECT_TRUE(http.FetchUrl(nginx->Url("/large.bin")) == body);
    EXPECT_TRUE(http.Response.HasContentLength());

    EXPECT_TRUE(http.FetchUrl(nginx->Url("/ssi/large.bin")) == body);
    EXPECT_EQ(http.Response.RawHeaders.Values("Transfer-Encoding"), "chunked");
    EXPECT_TRUE(http.Connected());

    TNxHTTP old;
    old.ProtocolVersion = "1.0";
    EXPECT_TRUE(old.FetchUrl(nginx->Url("/ssi/large.bin")) == body);
    EXPECT_FALSE(old.Response.HasContentLength());
    EXPECT_FALSE(old.Connected());
}

TEST_F(HttpNginx, RaisesTheProtocolErrorForA404WithItsPage) {
    TNxHTTP http;
    try {
        http.FetchUrl(nginx->Url("/missing.html"));
        FAIL();
    } catch (const ENxHTTPProtocolException& e) {
        EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
        EXPECT_EQ(e.ErrorCode, 404);
        EXPECT_NE(e.ErrorText.find("<title>404 Not Found</title>"), std::string::npos);
    }
    // The page was read to its end, so the connection serves the next request.
    nginx->WriteFile("ok.txt", "ok");
    EXPECT_EQ(http.FetchUrl(nginx->Url("/ok.txt")), "ok");
}

TEST_F(HttpNginx, SendsTheCookieNginxSetOnTheNextRequest) {
    TNxHTTP http;
    const std::string host = "127.0.0.1:" + std::to_string(nginx->Port());
    EXPECT_EQ(http.FetchUrl(nginx->Url("/echo")), "[][" + host + "]");
    EXPECT_EQ(http.FetchUrl(nginx->Url("/cookie")), "set\n");
    EXPECT_EQ(http.FetchUrl(nginx->Url("/echo")), "[nginxid=abc123][" + host + "]");
    // Another client has its own store.
    TNxHTTP fresh;
    EXPECT_EQ(fresh.FetchUrl(nginx->Url("/echo")), "[][" + host + "]");
}

TEST_F(HttpNginx, ReportsARedirectAsTheProtocolError) {
    std::filesystem::create_directories(nginx->Root() / "dir");
    TNxHTTP http;
    try {
        http.FetchUrl(nginx->Url("/dir"));
        FAIL();
    } catch (const ENxHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode, 301);
        EXPECT_STREQ(e.what(), "HTTP/1.1 301 Moved Permanently");
    }
    EXPECT_NE(http.Response.Location.find("/dir/"), std::string::npos);
}

} // namespace
} // namespace orvex
