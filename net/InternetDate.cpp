#include "net/InternetDate.h"

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <vector>

namespace orvex {

namespace {

constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool allDigits(std::string_view s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

int toInt(std::string_view s) {
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

} // namespace

std::string formatInternetDate(UnixSeconds t) {
    std::int64_t days = t / 86400;
    std::int64_t secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    const auto weekday = static_cast<std::size_t>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02u %s %04lld %02d:%02d:%02d GMT", kDays[weekday], d, kMonths[m - 1],
                  static_cast<long long>(y), static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
    return buf;
}

std::optional<UnixSeconds> parseInternetDate(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '-' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !(text[i] == ' ' || text[i] == ',' || text[i] == '-' || text[i] == '\t'))
            ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    int day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
    for (std::string_view tok : tokens) {
        if (hour < 0 && tok.find(':') != std::string_view::npos) {
            const std::size_t c1 = tok.find(':');
            const std::size_t c2 = tok.find(':', c1 + 1);
            if (c2 == std::string_view::npos) return std::nullopt;
            const auto h = tok.substr(0, c1), mi = tok.substr(c1 + 1, c2 - c1 - 1), s = tok.substr(c2 + 1);
            if (!allDigits(h) || !allDigits(mi) || !allDigits(s)) return std::nullopt;
            hour = toInt(h);
            minute = toInt(mi);
            second = toInt(s);
            continue;
        }
        if (allDigits(tok)) {
            if (day < 0 && tok.size() <= 2)
                day = toInt(tok);
            else if (year < 0)
                year = toInt(tok);
            else
                return std::nullopt;
            continue;
        }
        if (month < 0 && tok.size() >= 3) {
            for (std::size_t k = 0; k < kMonths.size(); ++k)
                if (iequals(tok.substr(0, 3), kMonths[k])) month = static_cast<int>(k) + 1;
        }
        // Week-day names and the zone ("GMT", "UTC") carry nothing a date needs.
    }
    if (day < 1 || day > 31 || month < 1 || year < 0 || hour < 0 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    if (year < 100) year += year < 70 ? 2000 : 1900;
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

UnixSeconds unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace orvex
