#include "net/InternetDate.h"
#include "net/NxHTTPExceptions.h"
#include "net/TNxHeaderList.h"
#include "net/TNxStream.h"
#include "net/TNxURI.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>

namespace orvex {
namespace {

struct UrlCase {
    const char* url;
    const char* protocol;
    const char* user;
    const char* password;
    const char* host;
    const char* port;
    const char* path;
    const char* document;
    const char* params;
    const char* bookmark;
};

TEST(TNxURI, SplitsIntoParts) {
    const UrlCase cases[] = {
        {"http://www.example.com/orvexip/ip.php", "http", "", "", "www.example.com", "", "/orvexip/",
         "ip.php", "", ""},
        {"http://host", "http", "", "", "host", "", "/", "", "", ""},
        {"http://host/", "http", "", "", "host", "", "/", "", "", ""},
        {"http://h:8080/a/b/c.html?x=1&y=2#frag", "http", "", "", "h", "8080", "/a/b/", "c.html", "?x=1&y=2",
         "frag"},
        {"http://u:p@h/d", "http", "u", "p", "h", "", "/", "d", "", ""},
        {"http://:p@h/d", "http", "", "", "h", "", "/", "d", "", ""},
        {"http://u@h:/d", "http", "u", "", "h", "", "/", "d", "", ""},
        {"http:\\\\h\\a\\b", "http", "", "", "h", "", "/a/", "b", "", ""},
        {"http://h/a/doc.html#top", "http", "", "", "h", "", "/a/", "doc.html", "", "top"},
        // Without '?' the first '=' starts the parameters, and the path ends at the last '/' before it.
        {"http://h/search/a=b/c", "http", "", "", "h", "", "/search/", "a", "=b/c", ""},
        {"http://h/q?url=http://x/y z:1", "http", "", "", "h", "", "/", "q", "?url=http://x/y z:1", ""},
        {"/orvexip/ip.php", "", "", "", "", "", "/orvexip/", "ip.php", "", ""},
        {"ip.php?a=1", "", "", "", "", "", "", "ip.php", "?a=1", ""},
        {"sub/doc", "", "", "", "", "", "sub/", "doc", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const TNxURI u(c.url);
        EXPECT_EQ(u.Protocol, c.protocol);
        EXPECT_EQ(u.Username, c.user);
        EXPECT_EQ(u.Password, c.password);
        EXPECT_EQ(u.Host, c.host);
        EXPECT_EQ(u.Port, c.port);
        EXPECT_EQ(u.Path, c.path);
        EXPECT_EQ(u.Document, c.document);
        EXPECT_EQ(u.Params, c.params);
        EXPECT_EQ(u.Bookmark, c.bookmark);
    }
}

TEST(TNxURI, FullUriAndItsErrors) {
    TNxURI u("http://u:p@h:81/a/b?c=d#e");
    EXPECT_EQ(u.GetFullURI(), "http://u:p@h:81/a/b?c=d#e");
    EXPECT_EQ(u.GetFullURI(false, false), "http://h:81/a/b?c=d");
    u.Password.clear();
    EXPECT_EQ(u.GetFullURI(true, false), "http://u@h:81/a/b?c=d");

    TNxURI relative("/x/y");
    try {
        relative.GetFullURI();
        FAIL();
    } catch (const ENxURIException& e) {
        EXPECT_STREQ(e.what(), "Protokollfeld ist leer");
    }
    relative.Protocol = "http";
    try {
        relative.GetFullURI();
        FAIL();
    } catch (const ENxURIException& e) {
        EXPECT_STREQ(e.what(), "Host-Feld ist leer");
    }
}

TEST(TNxURI, JoinsRelativePaths) {
    const struct {
        const char* base;
        const char* relative;
        const char* joined;
    } cases[] = {
        {"/a/b/", "c/", "/a/b/c/"},
        {"/a/b/", "c", "/a/b/c"},
        {"/a/b/", "", "/a/b/"},
        {"/a/b/", "../c/", "/a/c/"},
        {"/a//b/", "x//y/../z", "/a/b/x/z"},
        {"/", "../../x/", "/x/"},
        {"", "x/", "/x/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.relative);
        EXPECT_EQ(TNxURI::JoinPath(c.base, c.relative), c.joined);
    }
}

TEST(TNxHeaderList, ReadsValuesWithContinuationsWithoutRegardToCase) {
    TNxHeaderList h;
    h.Add("Content-Type: text/html");
    h.Add("X-Long:  first");
    h.Add("   second ");
    h.Add("\tthird");
    h.Add("Set-Cookie: a=1");
    h.Add("set-cookie: b=2");
    h.Add("Set-Cookie2: c=3");
    EXPECT_EQ(h.Values("content-type"), "text/html");
    EXPECT_EQ(h.Values("X-LONG"), "first second third");
    EXPECT_EQ(h.Values("Missing"), "");
    EXPECT_EQ(h.AllValues("Set-cookie"), (std::vector<std::string>{"a=1", "b=2"}));

    h.SetValue("x-long", "replaced");
    EXPECT_EQ(h.Lines, (std::vector<std::string>{"Content-Type: text/html", "x-long: replaced",
                                                 "Set-Cookie: a=1", "set-cookie: b=2", "Set-Cookie2: c=3"}));
    h.SetValue("Content-Type", "");
    h.SetValue("New", "v");
    EXPECT_EQ(h.Lines.front(), "x-long: replaced");
    EXPECT_EQ(h.Lines.back(), "New: v");
}

TEST(TNxHeaderList, FoldsLongLinesAtBlanksAndCommasOutsideQuotes) {
    TNxHeaderList h; // fold length 78
    const std::string value = "alpha, beta gamma \"quoted, not, a, break point here at all, really\" "
                              "delta,epsilon zeta eta theta iota kappa";
    h.SetValue("X", value);
    ASSERT_GT(h.Count(), 1u);
    for (std::size_t i = 0; i < h.Count(); ++i) {
        SCOPED_TRACE(h[i]);
        if (i > 0) {
            EXPECT_EQ(h[i][0], ' ');
        }
        EXPECT_NE(h[i].back(), ' ');
    }
    EXPECT_LE(h[0].size(), 78u);
    EXPECT_EQ(h[0], "X: alpha, beta gamma \"quoted, not, a, break point here at all, really\" delta,");
    EXPECT_EQ(h[1], " epsilon zeta eta theta iota kappa");
    // Reading joins the pieces with one blank.
    EXPECT_EQ(h.Values("X"), "alpha, beta gamma \"quoted, not, a, break point here at all, really\" "
                             "delta, epsilon zeta eta theta iota kappa");

    TNxHeaderList http(TNxHeaderList::kHttpFoldLength);
    const std::string cookie(1000, 'c');
    http.SetValue("Cookie", "a=" + cookie + "; b=" + cookie);
    ASSERT_EQ(http.Count(), 2u);
    EXPECT_EQ(http[0], "Cookie: a=" + cookie + ";");
    EXPECT_EQ(http[1], " b=" + cookie);

    // Nothing to break at: the line stays whole.
    TNxHeaderList unbreakable;
    unbreakable.SetValue("Y", std::string(200, 'y'));
    EXPECT_EQ(unbreakable.Count(), 1u);
}

TEST(InternetDate, WritesRfc1123AndReadsItBack) {
    EXPECT_EQ(formatInternetDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(formatInternetDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(formatInternetDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    for (UnixSeconds t :
         {UnixSeconds{0}, UnixSeconds{784111777}, UnixSeconds{4102444799}, UnixSeconds{-86400}}) {
        EXPECT_EQ(parseInternetDate(formatInternetDate(t)), t);
    }
    EXPECT_EQ(parseInternetDate("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777);
    EXPECT_EQ(parseInternetDate("Sun Nov  6 08:49:37 1994"), 784111777);
    EXPECT_EQ(parseInternetDate("Sun, 06-Nov-1994 08:49:37 GMT"), 784111777);
    for (const char* bad : {"", "yesterday", "Sun, 06 Nov 1994", "06 Foo 1994 08:49:37",
                            "32 Nov 1994 08:49:37", "06 Nov 1994 25:00:00", "06 Nov 1994 08:49"}) {
        EXPECT_FALSE(parseInternetDate(bad).has_value()) << bad;
    }
}

TEST(IntegerConversion, NamesTheOffendingText) {
    EXPECT_EQ(strToInt("-42"), -42);
    EXPECT_EQ(strToInt64("9223372036854775807"), 9223372036854775807LL);
    for (const char* bad : {"", "12a", " 1", "2147483648", "+", "0x10"}) {
        try {
            strToInt(bad);
            FAIL() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' ist kein gültiger Integerwert");
        }
    }
}

} // namespace
} // namespace orvex

namespace orvex {
namespace {

TEST(TNxMemoryStream, JoinsItsBlocksInOrder) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{16384}, std::size_t{16385}, std::size_t{5u << 20}}) {
        std::string expected(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            expected[i] = static_cast<char>(i % 251);
        for (const bool inPlace : {false, true}) {
            TNxMemoryStream s;
            // Pieces of odd sizes that straddle the block borders: written, or (every other one)
            // received into the stream's own room, which may be shorter than asked for.
            std::size_t at = 0, piece = 0;
            while (at < size) {
                const std::size_t n = std::min<std::size_t>(7919, size - at);
                if (inPlace && ++piece % 2 == 0) {
                    const std::span<char> room = s.Reserve(n);
                    ASSERT_FALSE(room.empty());
                    std::memcpy(room.data(), expected.data() + at, room.size() / 2 + 1);
                    s.Commit(room.size() / 2 + 1);
                    at += room.size() / 2 + 1;
                } else {
                    s.Write(expected.data() + at, n);
                    at += n;
                }
            }
            EXPECT_EQ(s.Size(), size);
            EXPECT_TRUE(s.TakeData() == expected) << size;
            EXPECT_EQ(s.Size(), 0u);
            EXPECT_EQ(s.TakeData(), "");
        }
    }
}

} // namespace
} // namespace orvex
