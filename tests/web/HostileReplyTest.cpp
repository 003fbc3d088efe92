// The two web queries against hostile servers on loopback: bodies without end, a cut body. Each
// query must end with an error, and the process's peak memory must stay near its idle size.
#include "net/NxHTTPExceptions.h"
#include "tests/net/ScriptedServer.h"
#include "web/PublicAddressClient.h"
#include "web/ServiceSettings.h"
#include "web/TGoogleRank.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>

using namespace orvex;
using test::ScriptedServer;
using test::ServerConnection;

namespace {

long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// How far the resident size peaks above where it stood, while run() runs (server thread included).
long peakGrowthKiB(const std::function<void()>& run) {
    const long before = statusKiB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from the resident size now
    run();
    return statusKiB("VmHWM") - before;
}

// Sends the head, then body blocks until the client goes away or `total` bytes are out.
void stream(ServerConnection& c, const std::string& head, const std::string& block, long long total) {
    if (c.ReadRequest().empty() || !c.Send(head)) return;
    for (long long sent = 0; sent < total && c.Send(block); sent += static_cast<long long>(block.size())) {
    }
}

const std::string kBlock(32768, '7');
const std::string kChunk = "8000\r\n" + kBlock + "\r\n";

struct Hostile {
    const char* what;
    std::function<void(ServerConnection&)> serve;
    std::string message;
};

const Hostile kHostile[] = {
    {"endless chunked body",
     [](ServerConnection& c) {
         stream(c, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", kChunk, 1LL << 40);
     },
     nxtext::kBodyTooLarge},
    {"10 GB counted body",
     [](ServerConnection& c) {
         stream(c, "HTTP/1.1 200 OK\r\nContent-Length: 10737418240\r\n\r\n", kBlock, 1LL << 40);
     },
     nxtext::kBodyTooLarge},
    {"10 MB body until the close",
     [](ServerConnection& c) { stream(c, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", kBlock, 10 << 20); },
     nxtext::kBodyTooLarge},
    {"counted body one byte over the limit",
     [](ServerConnection& c) {
         stream(c,
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMaxServiceReplyBody + 1) + "\r\n\r\n",
                std::string(kMaxServiceReplyBody + 1, '1'), 1);
     },
     nxtext::kBodyTooLarge},
    {"counted body cut by the close",
     [](ServerConnection& c) {
         stream(c, "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n203.0.113.9", "", 0);
     },
     nxtext::kConnClosedGracefully},
    {"chunked body cut before its last chunk",
     [](ServerConnection& c) {
         stream(c, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nb\r\n203.0.113.9\r\n", "", 0);
     },
     nxtext::kConnClosedGracefully},
};

std::string publicAddressUrl(const std::string& host) {
    return "http://" + host + "/orvexip/ip.php";
}

const struct Query {
    const char* name;
    std::function<std::string(const std::string& host)> run;
} kQueries[] = {
    {"public address",
     [](const std::string& host) { return makePublicAddressClient()->FetchUrl(publicAddressUrl(host)); }},
    {"PageRank",
     [](const std::string& host) {
         return std::to_string(TGoogleRank("http://" + host + "/search").GetPageRank("example.org"));
     }},
};

TEST(HostileReply, EveryOverlongOrCutBodyEndsTheQueryWithAnErrorAndLittleMemory) {
    for (const Query& query : kQueries) {
        for (const Hostile& hostile : kHostile) {
            SCOPED_TRACE(std::string(query.name) + ": " + hostile.what);
            std::string message = "no error";
            const long growth = peakGrowthKiB([&] {
                ScriptedServer server(hostile.serve);
                try {
                    query.run("127.0.0.1:" + std::to_string(server.Port()));
                } catch (const ENxException& e) {
                    message = e.what();
                }
            });
            EXPECT_EQ(message, hostile.message);
            EXPECT_LT(growth, 4096) << "peak resident growth in KiB";
            std::printf("%-16s %-40s peak growth %ld KiB\n", query.name, hostile.what, growth);
        }
    }
}

// A flood of cookies costs one bounded query: the box's client keeps a bounded number, the next
// request stays small, and the query does not get slower with each flood.
TEST(HostileReply, ACookieFloodLeavesABoundedStoreAndSmallRequests) {
    std::string cookies;
    for (int i = 0; i < 30000; ++i)
        cookies += "Set-Cookie: c" + std::to_string(i) + "=v; path=/\r\n";
    std::vector<std::string> heads;
    std::mutex lock;
    ScriptedServer server([&](ServerConnection& c) {
        for (std::string head; !(head = c.ReadRequest()).empty();) {
            {
                std::lock_guard hold(lock);
                heads.push_back(head);
            }
            if (!c.Send("HTTP/1.1 200 OK\r\n" + cookies + "Content-Length: 7\r\n\r\n1.2.3.4")) return;
        }
    });
    PublicAddressClients box;
    const std::string url = publicAddressUrl("127.0.0.1:" + std::to_string(server.Port()));
    std::vector<long long> took;
    for (int query = 0; query < 3; ++query) {
        const auto start = std::chrono::steady_clock::now();
        const auto q = box.next({});
        const WebQuery::Running running = q.hold->run(*q.client);
        EXPECT_EQ(q.client->FetchUrl(url), "1.2.3.4");
        took.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
    }
    const std::size_t held = box.client()->CookieManager->CookieCollection.Count();
    EXPECT_EQ(held, TNxCookieManager::kMaxCookiesPerDomain);
    std::lock_guard hold(lock);
    ASSERT_EQ(heads.size(), 3u);
    EXPECT_LT(heads.back().size(), TNxCookieManager::kMaxCookieLine + 300);
    std::printf(
        "cookie flood: 30000 Set-Cookie per reply, first query %lld ms, third %lld ms, %zu cookies held, "
        "last request %zu bytes\n",
        took.front(), took.back(), held, heads.back().size());
}

TEST(HostileReply, ABodyUpToTheLimitIsReadWhole) {
    const std::string body(kMaxServiceReplyBody, '5');
    for (const char* head : {"HTTP/1.1 200 OK\r\nContent-Length: 65536\r\n\r\n",
                             "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"}) {
        ScriptedServer server([&](ServerConnection& c) { stream(c, head, body, 1); });
        EXPECT_EQ(makePublicAddressClient()->FetchUrl(
                      publicAddressUrl("127.0.0.1:" + std::to_string(server.Port()))),
                  body);
    }
}

} // namespace
