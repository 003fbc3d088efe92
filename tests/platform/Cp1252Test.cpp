#include "platform/Cp1252.h"
#include "platform/WinsockErrors.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace orvex;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(one)), one) << "byte " << b;
    }
}

TEST(Cp1252, MapsTheHighControlRangeAndUmlauts) {
    EXPECT_EQ(cp1252ToUtf8("\x80\x99"), "\u20ac\u2122");
    EXPECT_EQ(utf8ToCp1252("Über ™ ß"), "\xdc"
                                        "ber \x99 \xdf");
    EXPECT_EQ(cp1252ToCodePoint(0x81), 0x81u); // undefined bytes map to themselves
}

TEST(Cp1252, UnmappableAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(utf8ToCp1252("a\u4e2db"), "a?b");
    EXPECT_EQ(utf8ToCp1252("a\xe4z"), "a?z");         // truncated sequence
    EXPECT_EQ(utf8ToCp1252("\x80x"), "?x");           // stray continuation byte
    EXPECT_EQ(utf8ToCp1252("\xf0\x9f\x98\x80"), "?"); // outside the BMP
}

TEST(WinsockErrors, ErrnoBecomesTheWindowsNumber) {
    const std::pair<int, int> table[] = {{EINTR, 10004},        {EBADF, 10009},        {EACCES, 10013},
                                         {EINVAL, 10022},       {EAGAIN, 10035},       {EINPROGRESS, 10036},
                                         {EMSGSIZE, 10040},     {EADDRINUSE, 10048},   {ECONNABORTED, 10053},
                                         {ECONNRESET, 10054},   {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},
                                         {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066}};
    for (auto [err, code] : table)
        EXPECT_EQ(errnoToWinsock(err), code) << err;
}
