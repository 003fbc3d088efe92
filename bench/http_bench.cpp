// HTTP client beside curl against the same nginx on a loopback port, in the same run:
// a 64 MiB body with Content-Length, chunked and until the close, and 1000 keep-alive GETs of a
// small page. Each figure is the best of several runs; every run is a child process, so its peak
// memory (maximum resident set) is its own. Prints figures and never fails on timing.
#include "net/TNxHTTP.h"
#include "tests/net/NginxServer.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace orvex;

namespace {

struct Figure {
    double seconds = 1e9;
    long maxRssKiB = 0;
    bool ok = true;
};

// Runs work in a child process and measures its wall time and peak memory.
Figure measure(const std::function<int()>& work, int runs) {
    Figure best;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(work());
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) best.ok = false;
        if (s < best.seconds) best.seconds = s;
        if (usage.ru_maxrss > best.maxRssKiB) best.maxRssKiB = usage.ru_maxrss;
    }
    return best;
}

int runCurl(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("curl"));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp("curl", argv.data());
    return 127;
}

class DiscardStream : public TNxStream {
public:
    void Write(const char*, std::size_t size) override { Bytes += size; }
    std::size_t Bytes = 0;
};

// Runs the contenders in turns, so that a busy moment of the machine hits them alike.
std::vector<Figure> alternate(const std::vector<std::function<int()>>& contenders, int runs) {
    std::vector<Figure> figures(contenders.size());
    for (int r = 0; r < runs; ++r)
        for (std::size_t k = 0; k < contenders.size(); ++k) {
            const Figure one = measure(contenders[k], 1);
            figures[k].seconds = std::min(figures[k].seconds, one.seconds);
            figures[k].maxRssKiB = std::max(figures[k].maxRssKiB, one.maxRssKiB);
            figures[k].ok = figures[k].ok && one.ok;
        }
    return figures;
}

void report(const char* what, const Figure& ours, const Figure& curl) {
    std::printf("%-34s  Orvex %8.1f ms %7.1f MiB   curl %8.1f ms %7.1f MiB   ratio %.2f%s\n", what,
                ours.seconds * 1e3, ours.maxRssKiB / 1024.0, curl.seconds * 1e3, curl.maxRssKiB / 1024.0,
                ours.seconds / curl.seconds, ours.ok && curl.ok ? "" : "   (a run failed)");
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (!test::NginxServer::Available()) {
        std::puts("nginx is not installed; nothing to compare");
        return 0;
    }
    test::NginxServer nginx;
    constexpr std::size_t kBig = 64u << 20;
    {
        std::string body(kBig, 'x');
        for (std::size_t i = 0; i < body.size(); i += 61)
            body[i] = '\n';
        nginx.WriteFile("big.bin", body);
        nginx.WriteFile("small.html", "<html><body>small page</body></html>\n");
    }
    std::printf("HTTP GET over loopback from nginx, best of %d runs; memory is the peak resident set\n",
                runs);

    const struct {
        const char* name;
        const char* path;
        const char* version;
    } bodies[] = {
        {"64 MiB, Content-Length", "/big.bin", "1.1"},
        {"64 MiB, chunked", "/ssi/big.bin", "1.1"},
        {"64 MiB, until close", "/ssi/big.bin", "1.0"},
    };
    for (const auto& b : bodies) {
        const std::string url = nginx.Url(b.path);
        const std::vector<Figure> f =
            alternate({[&] {
                           return runCurl({"-s", "-f", "-o", "/dev/null",
                                           std::string(b.version) == "1.0" ? "--http1.0" : "--http1.1", url});
                       },
                       [&] {
                           TNxHTTP http;
                           http.ProtocolVersion = b.version;
                           DiscardStream out;
                           http.FetchUrl(url, out);
                           return out.Bytes == kBig ? 0 : 1;
                       },
                       [&] {
                           TNxHTTP http;
                           http.ProtocolVersion = b.version;
                           return http.FetchUrl(url).size() == kBig ? 0 : 1;
                       }},
                      runs);
        const Figure &curl = f[0], &discard = f[1], &text = f[2];
        report((std::string(b.name) + " -> stream").c_str(), discard, curl);
        report((std::string(b.name) + " -> text").c_str(), text, curl);
    }

    constexpr int kRequests = 1000;
    const std::string small = nginx.Url("/small.html");
    char configPath[] = "/tmp/orvex-curl-XXXXXX";
    const int fd = ::mkstemp(configPath);
    {
        std::ofstream config(configPath);
        for (int i = 0; i < kRequests; ++i)
            config << "url = \"" << small << "\"\noutput = \"/dev/null\"\n";
    }
    const std::vector<Figure> f = alternate({[&] {
                                                 return runCurl({"-s", "-f", "--http1.1", "-K", configPath});
                                             },
                                             [&] {
                                                 TNxHTTP http;
                                                 for (int i = 0; i < kRequests; ++i)
                                                     if (http.FetchUrl(small).empty()) return 1;
                                                 return 0;
                                             }},
                                            runs);
    const Figure &curl = f[0], &ours = f[1];
    ::close(fd);
    ::unlink(configPath);
    report("1000 keep-alive GETs, small page", ours, curl);
    std::printf("%-34s  Orvex %8.0f req/s            curl %8.0f req/s\n", "  request rate",
                kRequests / ours.seconds, kRequests / curl.seconds);
    return 0;
}
