#include "net/NxHTTPExceptions.h"
#include "net/TNxCookie.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

constexpr UnixSeconds kNow = 1700000000; // Tue, 14 Nov 2023 22:13:20 GMT

std::unique_ptr<TNxCookieManager> makeStore() {
    auto m = std::make_unique<TNxCookieManager>();
    m->Now = [] { return kNow; };
    return m;
}

TEST(CookieParse, ReadsTheAttributesOfTheFirstKind) {
    TNxCookieRFC2109 c;
    c.ParseValue(" sid = abc=def ; path=\"/x/\"; Domain=.example.com; secure; Max-Age=60; version=1; "
                 "comment=hi there; expires=Wed, 15 Nov 2023 00:00:00 GMT;",
                 kNow);
    EXPECT_EQ(c.CookieName, "sid");
    EXPECT_EQ(c.Value, "abc=def");
    EXPECT_EQ(c.Path, "/x/");
    EXPECT_EQ(c.Domain, ".example.com");
    EXPECT_TRUE(c.Secure);
    EXPECT_EQ(c.MaxAge, 60);
    EXPECT_EQ(c.Version, "1");
    EXPECT_EQ(c.Comment, "hi there");
    EXPECT_EQ(c.Expires, "Wed, 15 Nov 2023 00:00:00 GMT");

    TNxCookieRFC2109 aged;
    aged.ParseValue("a=1; max-age=3600", kNow);
    EXPECT_EQ(aged.Expires, "Tue, 14 Nov 2023 23:13:20 GMT");
    TNxCookieRFC2109 badAge;
    badAge.ParseValue("a=1; max-age=soon", kNow);
    EXPECT_EQ(badAge.MaxAge, -1);
    EXPECT_EQ(badAge.Expires, "");
    TNxCookieRFC2109 bare;
    bare.ParseValue("flag", kNow);
    EXPECT_EQ(bare.CookieName, "flag");
    EXPECT_EQ(bare.Value, "");
}

TEST(CookieParse, ReadsTheSecondKindsPortList) {
    const struct {
        const char* value;
        std::vector<int> ports;
    } cases[] = {
        {"a=1", {80}},
        {"a=1; Port=\"\"", {80}},
        {"a=1; port=\"81, 8080\"", {81, 8080}},
        {"a=1; Port=81", {}},
    };
    for (const auto& c : cases) {
        TNxCookieRFC2965 cookie;
        cookie.ParseValue(c.value, kNow);
        EXPECT_EQ(cookie.PortList, c.ports) << c.value;
    }
    TNxCookieRFC2965 full;
    full.ParseValue("a=1; CommentURL=http://x/; Discard", kNow);
    EXPECT_EQ(full.CommentURL, "http://x/");
    EXPECT_TRUE(full.Discard);

    TNxCookieRFC2965 bad;
    try {
        bad.ParseValue("a=1; Port=\"80,eighty\"", kNow);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'eighty' ist kein gültiger Integerwert");
    }
}

TEST(CookieAccept, AppliesTheDomainTestOfTheReplyHost) {
    const struct {
        const char* domain;
        const char* host;
        bool valid;
    } cases[] = {
        {"www.example.com", "www.example.com", true},
        {".example.com", "www.example.com", true},
        {"example.com", "www.example.com", false},  // not the host, not its domain part ".example.com"
        {".Example.com", "www.example.com", false}, // exact comparison for host names
        {".other.com", "www.example.com", false},
        {"localhost", "localhost", true},
        {"127.0.0.1", "127.0.0.1", true},
        {".0.0.1", "127.0.0.1", false},
        {"127.0.0.2", "127.0.0.1", false},
        {".WWW.example.com", ".www.example.com", true}, // a host beginning with '.': without regard to case
    };
    for (const auto& c : cases)
        EXPECT_EQ(TNxCookieManager::IsValidDomain(c.domain, c.host), c.valid)
            << c.domain << " from " << c.host;

    auto store = makeStore();
    EXPECT_TRUE(store->AddCookie("a=1; path=/", "www.example.com"));
    EXPECT_FALSE(store->AddCookie("b=2; path=/; domain=evil.com", "www.example.com"));
    EXPECT_EQ(store->CookieCollection.Count(), 1u);
    ASSERT_EQ(store->CookieCollection.DomainCount(), 1u);
    ASSERT_NE(store->CookieCollection.FindEntry("WWW.example.com"), nullptr);
    EXPECT_EQ(store->CookieCollection.FindEntry("WWW.example.com")->Domain, "www.example.com");
}

TEST(CookieStore, ReplacesASameNamedCookieOfTheDomain) {
    auto store = makeStore();
    store->AddCookie("sid=old; path=/a", "h.example.com");
    store->AddCookie("SID=new; path=/", "h.example.com");
    EXPECT_EQ(store->CookieCollection.Count(), 1u);
    EXPECT_EQ(store->GenerateCookieList("h.example.com", "/"), "SID=new");
}

TEST(CookieStore, SelectsByPathDomainAndFlagsInDescendingPathOrder) {
    auto store = makeStore();
    store->AddCookie("root=1; path=/", "www.example.com");
    store->AddCookie("deep=2; path=/a/b/", "www.example.com");
    store->AddCookie("mid=3; path=/A/", "www.example.com");
    store->AddCookie("nopath=4", "www.example.com");
    store->AddCookie("secure=5; path=/; secure", "www.example.com");
    store->AddCookie("empty=; path=/", "www.example.com");
    store->AddCookie("other=6; path=/other/", "www.example.com");
    store->AddCookie("dom=7; path=/; domain=.example.com", "www.example.com");
    EXPECT_EQ(store->GenerateCookieList("www.example.com", "/a/b/"), "deep=2; root=1; dom=7");
    EXPECT_EQ(store->GenerateCookieList("www.example.com", "/A/"), "mid=3; root=1; dom=7");
    EXPECT_EQ(store->GenerateCookieList("img.example.com", "/"), "dom=7");
    EXPECT_EQ(store->GenerateCookieList("www.example.org", "/"), "");
}

TEST(CookieStore, SendsAStoredDomainOnlyToItselfAndItsSubdomains) {
    auto store = makeStore();
    store->AddCookie("a=1; path=/", "example.com");
    store->AddCookie("b=2; path=/; domain=.shop.com", "www.shop.com");
    store->AddCookie("c=3; path=/", "10.0.0.1");
    const struct {
        const char* host;
        const char* cookies;
    } cases[] = {
        {"example.com", "a=1"},       {"EXAMPLE.COM", "a=1"},  {"www.example.com", "a=1"},
        {"badexample.com", ""},       // contains the domain, but not on a label boundary
        {"example.com.evil.org", ""}, // contains it in the middle
        {"www.shop.com", "b=2"},      {"a.b.shop.com", "b=2"}, {"myshop.com", ""},
        {"10.0.0.1", "c=3"},          {"110.0.0.1", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(store->GenerateCookieList(c.host, "/"), c.cookies) << c.host;
}

TEST(CookieStore, DeletesExpiredCookiesWhenSelecting) {
    auto store = makeStore();
    store->AddCookie("past=1; path=/; expires=Tue, 14 Nov 2023 22:13:19 GMT", "h");
    store->AddCookie("future=2; path=/; expires=Tue, 14 Nov 2023 22:13:21 GMT", "h");
    store->AddCookie("aged=3; path=/; max-age=0", "h");
    store->AddCookie("odd=4; path=/; expires=never", "h");
    EXPECT_EQ(store->CookieCollection.Count(), 4u);
    EXPECT_EQ(store->GenerateCookieList("h", "/"), "future=2; aged=3; odd=4");
    store->Now = [] { return kNow + 2; };
    EXPECT_EQ(store->GenerateCookieList("h", "/"), "odd=4");
    EXPECT_EQ(store->CookieCollection.Count(), 1u);
}

// A server may set cookies without end; the store keeps a bounded number, drops the oldest (an
// expired one before it), and a request carries a bounded line.
TEST(CookieStore, StaysWithinItsBoundsAndDropsTheOldestFirst) {
    using M = TNxCookieManager;
    auto flood = makeStore();
    for (int i = 0; i < 30000; ++i)
        flood->AddCookie("c" + std::to_string(i) + "=v; path=/", "h.example.com");
    EXPECT_EQ(flood->CookieCollection.Count(), M::kMaxCookiesPerDomain);
    const std::string line = flood->GenerateCookieList("h.example.com", "/");
    EXPECT_EQ(line.substr(0, 13), "c29950=v; c29") << "the newest are kept, in the order they came";
    EXPECT_EQ(line.find("c29949="), std::string::npos);

    auto wide = makeStore();
    for (int i = 0; i < 3000; ++i)
        wide->AddCookie("a=" + std::to_string(i) + "; path=/", "h" + std::to_string(i) + ".example.com");
    EXPECT_EQ(wide->CookieCollection.Count(), M::kMaxCookies);
    EXPECT_EQ(wide->GenerateCookieList("h1999.example.com", "/"), "");
    EXPECT_EQ(wide->GenerateCookieList("h2000.example.com", "/"), "a=2000");
    EXPECT_EQ(wide->GenerateCookieList("h2999.example.com", "/"), "a=2999");

    auto expiring = makeStore();
    expiring->AddCookie("first=1; path=/", "h");
    expiring->AddCookie("gone=2; path=/; expires=Tue, 14 Nov 2023 22:13:19 GMT", "h");
    for (std::size_t i = 2; i <= M::kMaxCookiesPerDomain; ++i)
        expiring->AddCookie("n" + std::to_string(i) + "=x; path=/", "h");
    EXPECT_EQ(expiring->CookieCollection.Count(), M::kMaxCookiesPerDomain);
    EXPECT_EQ(expiring->GenerateCookieList("h", "/").substr(0, 8), "first=1;") << "the expired one went";

    auto large = makeStore();
    EXPECT_FALSE(large->AddCookie("big=" + std::string(M::kMaxCookieBytes, 'x') + "; path=/", "h"));
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(
            large->AddCookie("k" + std::to_string(i) + "=" + std::string(1000, 'y') + "; path=/", "h"));
    const std::string capped = large->GenerateCookieList("h", "/");
    EXPECT_LE(capped.size(), M::kMaxCookieLine);
    EXPECT_EQ(capped.size(), 8 * 1003 + 7 * 2) << "as many whole cookies as fit";
}

} // namespace
} // namespace orvex
