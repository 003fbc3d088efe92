// bench_http_get: Orvex's HTTP client on the command line, for side-by-side runs with curl.
//
//   bench_http_get URL discard|memory [COUNT] [1.0|1.1]
//
// Runs COUNT (default 1) GETs of URL with one client, so a server that keeps the connection open
// serves them all over one connection. "discard" reads each body into a stream that drops it;
// "memory" fetches it as text, as the public-address query does. Prints the bytes received to
// standard output; exits 1 when a request fails or a body is empty.
#include "net/TNxHTTP.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

class DiscardStream : public orvex::TNxStream {
public:
    void Write(const char*, std::size_t size) override { Bytes += size; }
    std::size_t Bytes = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[2], "discard") != 0 && std::strcmp(argv[2], "memory") != 0)) {
        std::fprintf(stderr, "usage: bench_http_get URL discard|memory [COUNT] [1.0|1.1]\n");
        return 2;
    }
    const std::string url = argv[1];
    const bool discard = std::strcmp(argv[2], "discard") == 0;
    const int count = argc > 3 ? std::atoi(argv[3]) : 1;
    try {
        orvex::TNxHTTP http;
        if (argc > 4) http.ProtocolVersion = argv[4];
        std::size_t total = 0;
        for (int i = 0; i < count; ++i) {
            std::size_t bytes;
            if (discard) {
                DiscardStream out;
                http.FetchUrl(url, out);
                bytes = out.Bytes;
            } else {
                bytes = http.FetchUrl(url).size();
            }
            if (bytes == 0) {
                std::fprintf(stderr, "request %d: empty body\n", i + 1);
                return 1;
            }
            total += bytes;
        }
        std::printf("%zu bytes in %d replies\n", total, count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
