#include "web/ProxyDetection.h"
#include "web/TGoogleRank.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

using namespace orvex;

namespace {

class FakeProxySetting : public ProxySetting {
public:
    bool succeeds = true;
    ProxyInfo info;
    std::size_t askedBufferSize = 0;

    bool query(ProxyInfo& out, std::size_t bufferSize) override {
        askedBufferSize = bufferSize;
        if (!succeeds) return false;
        out = info;
        return true;
    }
};

FakeProxySetting named(const std::string& list) {
    FakeProxySetting setting;
    setting.info.accessType = ProxyInfo::kNamedProxy;
    setting.info.proxy = list;
    return setting;
}

// lookup2 written from the published description, in another shape than the product code: 64-bit
// arithmetic masked to 32 bits, Mix from a table of steps, and the last block zero-padded with c's
// share shifted one byte up (its low byte carries the length).
std::uint32_t referenceLookup2(const std::vector<std::uint8_t>& key, std::uint32_t seed) {
    constexpr std::uint64_t mask = 0xFFFFFFFF;
    std::uint64_t v[3] = {0x9E3779B9, 0x9E3779B9, seed};
    auto mix = [&] {
        struct Step {
            int x, y, z;
            bool left;
            int shift;
        };
        static constexpr Step steps[] = {{0, 1, 2, false, 13}, {1, 2, 0, true, 8},  {2, 0, 1, false, 13},
                                         {0, 1, 2, false, 12}, {1, 2, 0, true, 16}, {2, 0, 1, false, 5},
                                         {0, 1, 2, false, 3},  {1, 2, 0, true, 10}, {2, 0, 1, false, 15}};
        for (const Step& s : steps) {
            v[s.x] = (v[s.x] + 2 * (mask + 1) - v[s.y] - v[s.z]) & mask;
            v[s.x] ^= s.left ? (v[s.z] << s.shift) & mask : v[s.z] >> s.shift;
        }
    };
    auto word = [&](std::size_t at, const std::vector<std::uint8_t>& bytes) {
        std::uint64_t w = 0;
        for (int i = 3; i >= 0; --i)
            w = w * 256 + bytes[at + std::size_t(i)];
        return w;
    };
    std::size_t p = 0;
    for (; key.size() - p >= 12; p += 12) {
        for (int i = 0; i < 3; ++i)
            v[i] = (v[i] + word(p + 4 * std::size_t(i), key)) & mask;
        mix();
    }
    std::vector<std::uint8_t> tail(key.begin() + std::ptrdiff_t(p), key.end());
    tail.resize(12, 0);
    v[2] = (v[2] + key.size()) & mask;
    v[0] = (v[0] + word(0, tail)) & mask;
    v[1] = (v[1] + word(4, tail)) & mask;
    v[2] = (v[2] + ((word(8, tail) & 0xFFFFFF) << 8)) & mask;
    mix();
    return std::uint32_t(v[2]);
}

std::uint32_t checksumOf(const std::string& text, std::int32_t length = 0) {
    return TGoogleRank::Checksum(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                                 length, TGoogleRank::kSeed);
}

} // namespace

TEST(ProxyDetection, GetProxyReadsTheListTheWayTheBoxAlwaysHas) {
    struct Case {
        const char* list;
        const char* host;
        std::int32_t port;
    } const cases[] = {
        {"proxy.lan:3128", "proxy.lan", 3128},                           // one pair for every protocol
        {"ftp=f.lan:21;http=h.lan:8080;https=s.lan:443", "h.lan", 8080}, // the http entry alone
        {"http=h.lan:8080", "h.lan", 8080},
        {"http=h.lan;https=s.lan:443", "", 0},            // the http entry has no port: no proxy
        {"ftp=f.lan:21", "ftp=f.lan", 21},                // no http entry: read as one pair
        {"ftp=f.lan:21;https=s.lan:443", "ftp=f.lan", 0}, // ... with a port that is no number
        {"https=s.lan:443", "https=s.lan", 443},          // "https=" is not "http="
        {"proxy.lan:abc", "proxy.lan", 0},
        {"proxy.lan:", "proxy.lan", 0},
        {"proxy.lan", "", 0},
        {"proxy.lan:3128;x", "proxy.lan", 0}, // without the key, ";" does not cut
        {"proxy.lan:-1", "proxy.lan", -1},
        {"proxy.lan: 8080", "proxy.lan", 8080}, // read like the toolkit's integers
        {"proxy.lan:0x1F90", "proxy.lan", 8080},
        {"proxy.lan:8080 ", "proxy.lan", 0},
        {"proxy.lan:99999999999", "proxy.lan", 0},
        {":3128", "", 3128},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        FakeProxySetting setting = named(c.list);
        const ProxyServer proxy = GetProxy(setting, "http");
        EXPECT_EQ(proxy.host, c.host) << c.list;
        EXPECT_EQ(proxy.port, c.port) << c.list;
        EXPECT_EQ(setting.askedBufferSize, 4096u);
    }
}

TEST(ProxyDetection, OnlyANamedProxyCounts) {
    FakeProxySetting direct = named("proxy.lan:3128");
    direct.info.accessType = ProxyInfo::kDirect;
    EXPECT_EQ(GetProxyString(direct), "");
    EXPECT_EQ(GetProxy(direct, "http").host, "");

    FakeProxySetting failing = named("proxy.lan:3128");
    failing.succeeds = false;
    EXPECT_EQ(GetProxyString(failing), "");

    FakeProxySetting withNul = named(std::string("proxy.lan:3128\0junk", 19));
    EXPECT_EQ(GetProxyString(withNul), "proxy.lan:3128");
}

TEST(ProxyDetection, PanelText) {
    EXPECT_EQ(proxyPanelText({"proxy.lan", 3128}), " Proxyserver: proxy.lan  Port: 3128");
    EXPECT_EQ(proxyPanelText({"ftp=f.lan", 0}), " Proxyserver: ftp=f.lan  Port: 0");
    EXPECT_EQ(proxyPanelText({"", 3128}), "");
}

TEST(ProxyDetection, EnvironmentBecomesTheListForm) {
    using Env = std::map<std::string, std::string>;
    struct Case {
        Env env;
        std::uint32_t access;
        const char* proxy;
        const char* bypass;
    } const cases[] = {
        {{}, ProxyInfo::kDirect, "", ""},
        {{{"http_proxy", ""}}, ProxyInfo::kDirect, "", ""},
        {{{"http_proxy", "http://proxy.lan:3128/"}}, ProxyInfo::kNamedProxy, "proxy.lan:3128", ""},
        {{{"http_proxy", "proxy.lan:3128"},
          {"https_proxy", "http://proxy.lan:3128"},
          {"ftp_proxy", "proxy.lan:3128"}},
         ProxyInfo::kNamedProxy,
         "proxy.lan:3128",
         ""},
        {{{"http_proxy", "a.lan:1"}, {"https_proxy", "b.lan:2"}},
         ProxyInfo::kNamedProxy,
         "http=a.lan:1;https=b.lan:2",
         ""},
        {{{"https_proxy", "b.lan:2"}}, ProxyInfo::kNamedProxy, "https=b.lan:2", ""},
        {{{"HTTP_PROXY", "up.lan:8080"}}, ProxyInfo::kNamedProxy, "up.lan:8080", ""},
        {{{"HTTP_PROXY", "up.lan:8080"}, {"http_proxy", "low.lan:3128"}},
         ProxyInfo::kNamedProxy,
         "low.lan:3128",
         ""},
        {{{"http_proxy", "http://user:p@ss@proxy.lan:8080/path?x"}},
         ProxyInfo::kNamedProxy,
         "proxy.lan:8080",
         ""},
        {{{"http_proxy", "http://proxy.lan"}}, ProxyInfo::kNamedProxy, "proxy.lan:80", ""},
        {{{"http_proxy", " proxy.lan "}}, ProxyInfo::kNamedProxy, "proxy.lan:80", ""},
        {{{"http_proxy", "HTTPS://proxy.lan"}}, ProxyInfo::kNamedProxy, "proxy.lan:443", ""},
        {{{"http_proxy", "socks5://proxy.lan"}}, ProxyInfo::kNamedProxy, "proxy.lan:1080", ""},
        {{{"http_proxy", "http://[::1]:3128"}}, ProxyInfo::kNamedProxy, "[::1]:3128", ""},
        {{{"http_proxy", "http://:3128"}}, ProxyInfo::kDirect, "", ""},
        {{{"http_proxy", "p.lan:1"}, {"no_proxy", "localhost, .lan,,127.0.0.1"}},
         ProxyInfo::kNamedProxy,
         "p.lan:1",
         "localhost;.lan;127.0.0.1"},
    };
    for (const Case& c : cases) {
        const ProxyInfo info = proxyInfoFromEnvironment([&](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        });
        const std::string label = c.env.empty() ? "(empty)" : c.env.begin()->second;
        EXPECT_EQ(info.accessType, c.access) << label;
        EXPECT_EQ(info.proxy, c.proxy) << label;
        EXPECT_EQ(info.bypass, c.bypass) << label;
    }
}

TEST(ProxyDetection, SystemSettingReadsTheProcessEnvironmentAtEachQuery) {
    const char* names[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                           "ftp_proxy",  "FTP_PROXY",  "no_proxy",    "NO_PROXY"};
    for (const char* name : names)
        unsetenv(name);
    auto setting = makeSystemProxySetting();
    EXPECT_EQ(GetProxy(*setting, "http").host, "");

    setenv("http_proxy", "http://proxy.lan:3128/", 1);
    setenv("https_proxy", "https://secure.lan:8443", 1);
    const ProxyServer proxy = GetProxy(*setting, "http");
    EXPECT_EQ(proxy.host, "proxy.lan");
    EXPECT_EQ(proxy.port, 3128);
    EXPECT_EQ(GetProxyString(*setting), "http=proxy.lan:3128;https=secure.lan:8443");

    // UTF-8 in the environment becomes the record's single-byte text.
    setenv("http_proxy", "pr\xc3\xb6xy.lan:1", 1);
    unsetenv("https_proxy");
    EXPECT_EQ(GetProxyString(*setting), "pr\xf6xy.lan:1");

    // A record that does not fit into the query's buffer reads as no proxy.
    setenv("http_proxy", (std::string(4100, 'p') + ":1").c_str(), 1);
    EXPECT_EQ(GetProxyString(*setting), "");
    for (const char* name : names)
        unsetenv(name);
}

TEST(PageRank, ChecksumKnownVectors) {
    // Computed once with an independent script (unsigned bytes, wrap-around arithmetic).
    const std::pair<std::string, std::uint32_t> vectors[] = {
        {"", 0xe975adc8},
        {"info:", 0xbad44644},
        {"info:abc.def", 0x5c074f42},             // 12 bytes: one block, empty remainder
        {"info:www.example.org/ab", 0x6de89eb6},  // 23 bytes: one block, remainder 11
        {"info:www.example.org/abc", 0xc668626e}, // 24 bytes: two blocks
        {"info:b\xfc"
         "cher.de",
         0x1e26ce3c},
        {"info:b\xfc"
         "cher.example/\xe4\xf6",
         0xd113f2a0},
        {std::string(12, '\xff'), 0x7a8216cd},
        {std::string(23, '\x80'), 0xaaf0583d},
    };
    for (const auto& [text, expected] : vectors) {
        EXPECT_EQ(checksumOf(text), expected) << text;
        EXPECT_EQ(referenceLookup2({text.begin(), text.end()}, TGoogleRank::kSeed), expected) << text;
    }
}

TEST(PageRank, ChecksumAgreesWithAnIndependentImplementation) {
    std::mt19937 random(20261207);
    for (std::size_t length = 0; length <= 80; ++length) {
        for (int round = 0; round < 20; ++round) {
            std::vector<std::uint8_t> key(length);
            for (auto& byte : key)
                byte = std::uint8_t(random());
            const std::uint32_t seed = round == 0 ? TGoogleRank::kSeed : std::uint32_t(random());
            ASSERT_EQ(TGoogleRank::Checksum(key, 0, seed), referenceLookup2(key, seed)) << length;
        }
    }
}

TEST(PageRank, ChecksumLength) {
    const std::string q = "info:abc.def";
    EXPECT_EQ(checksumOf(q, 5), 0xbad44644u); // the first five bytes
    EXPECT_EQ(checksumOf(q, 12), checksumOf(q));
    EXPECT_EQ(checksumOf(q, 13), checksumOf(q)); // never past the end
    EXPECT_EQ(
        TGoogleRank::Checksum(std::span(reinterpret_cast<const std::uint8_t*>(q.data()), q.size()), 0, 0),
        0x6f5ea449u);
}

TEST(PageRank, ReplyCuts) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"", 0},
        {"Rank_1:1:5", 5},
        {"Rank_1:1:5\n", 5},
        {"Rank_1:1: 7 \r\n", 7},
        {"Rank:3", 3},       // one colon: the text after it
        {" \t4\r\n", 4},     // no colon: all of it
        {"Rank_1:1:x", 0},   // third field not a number
        {"Rank_1:1:5:6", 0}, // only two colons are cut
        {"Rank_1:1:-3", -3},
        {"Rank_1:1:2147483648", 0},
        {"Rank_1:1:-2147483648", INT32_MIN},
        {"Rank_1:1:+8", 8},
        {"Rank_1:1:0x10", 0},
        {"Rank_1:1:99999999999999999999999", 0},
        {"Rank_1:1:", 0},
        {"Rank_1:1:1 2", 0},
        {std::string("Rank_1:1:\x01"
                     "9\x1f",
                     12),
         9},
    };
    for (const auto& [reply, rank] : cases)
        EXPECT_EQ(TGoogleRank::RankFromReply(reply), rank) << reply;
}
