// Set-Cookie and Set-Cookie2 values from arbitrary text into a store, then the selection for the
// same host. The first line is the reply host; the others are header values.
#include "net/InternetDate.h"
#include "net/TNxCookie.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TNxCookieManager store;
    store.Now = [] { return UnixSeconds{1700000000}; };
    std::size_t start = text.find('\n');
    const std::string host = text.substr(0, start);
    bool second = false;
    while (start != std::string::npos) {
        const std::size_t end = text.find('\n', start + 1);
        const std::string value =
            text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        try {
            if (second)
                store.AddCookie2(value, host);
            else
                store.AddCookie(value, host);
        } catch (const std::exception&) {
        }
        second = !second;
        start = end;
    }
    const std::string line = store.GenerateCookieList(host, "/");
    // Selection never invents bytes: every selected cookie came from the input.
    if (line.size() > 2 * size + 2) __builtin_trap();
    // A written date reads back as itself.
    if (const auto t = parseInternetDate(text)) {
        if (parseInternetDate(formatInternetDate(*t)) != t) __builtin_trap();
    }
    return 0;
}
