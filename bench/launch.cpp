// bench_launch: runs two or more programs the same way, side by side, and reports how long they
// take. Every run is a fresh process started with fork and exec (no shell), standard input and
// output on /dev/null, standard error read by the launcher. For each run it records
//   - wall time from just before the fork to the end of the process (or, with --mark, to the
//     moment the program reports on standard error, see below),
//   - processor time (user + system) and the peak resident set, both from the child's own rusage.
// Rounds are interleaved and the order of the sides alternates from round to round, so a busy
// moment of the machine falls on every side alike. Reported: the median and the middle half
// (first to third quartile) of each figure, the ratio of the medians (first side over each other
// side), and the load average before and after. No best-of.
//
//   bench_launch [--rounds N] [--title TEXT] [--target TEXT] [--unit s|ms|us] [--mark]
//                [--markdown FILE]
//                --side NAME OPS [--env K=V]... [--target TEXT] -- PROGRAM ARGS...
//                --side NAME OPS [--env K=V]... [--target TEXT] -- PROGRAM ARGS...
//
// OPS divides the times of that side (exchanges, ticks or requests per process); 1 for a whole
// run. With --mark, a side's time ends at the first line "first-paint-ns N cpu-us C rss-kib R" on
// its standard error, N being CLOCK_MONOTONIC in nanoseconds when the program had painted its
// first window; C and R, the program's own processor time and peak resident set at that moment,
// then replace the figures of the whole process. A failed
// run (exit status not 0, or no mark) is counted and reported; its figures are left out.
// --markdown appends one table row per compared side to FILE; a side's own --target replaces the
// run's in its row (a yardstick that only explains a figure has none to meet).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Side {
    std::string name;
    double ops = 1;
    std::vector<std::string> env;
    std::string target; // this side's row's target, when it differs from the run's
    std::vector<std::string> argv;
    std::vector<double> wall, cpu, rssMiB;
    int failures = 0;
    std::string lastError;
};

long long nowNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr,
                 "bench_launch: %s\nusage: bench_launch [--rounds N] [--title T] [--target T] "
                 "[--unit s|ms|us] [--mark] [--markdown FILE] --side NAME OPS [--env K=V]... [--target T] -- "
                 "PROGRAM ARGS... (two or more sides)\n",
                 why);
    std::exit(2);
}

// One run of a side. Returns false when it failed.
bool runOnce(Side& side, bool mark) {
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        side.lastError = std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    for (auto& a : side.argv)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const long long start = nowNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(errPipe[1], 2);
        for (const auto& kv : side.env)
            ::putenv(const_cast<char*>(kv.c_str()));
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "exec %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(errPipe[1]);
    if (pid < 0) {
        ::close(errPipe[0]);
        side.lastError = std::strerror(errno);
        return false;
    }
    std::string errText;
    char buffer[4096];
    long long markNs = -1, markCpuUs = -1;
    long markRssKiB = -1;
    while (true) {
        const ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        errText.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(errPipe[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const long long end = nowNs();

    if (mark) {
        const std::size_t at = errText.find("first-paint-ns ");
        if (at != std::string::npos) {
            long long ns = 0, cpu = -1;
            long rss = -1;
            if (std::sscanf(errText.c_str() + at, "first-paint-ns %lld cpu-us %lld rss-kib %ld", &ns, &cpu,
                            &rss) >= 1) {
                markNs = ns;
                markCpuUs = cpu;
                markRssKiB = rss;
            }
        }
    }
    const bool exitedOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!exitedOk || (mark && markNs <= 0)) {
        std::ostringstream why;
        if (!exitedOk)
            why << (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                      : "signal " + std::to_string(WTERMSIG(status)));
        else
            why << "no first-paint mark";
        why << "; stderr: " << errText.substr(0, 400);
        side.lastError = why.str();
        return false;
    }
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    const long long stop = mark ? markNs : end;
    side.wall.push_back(static_cast<double>(stop - start) / 1e9 / side.ops);
    const bool atMark = mark && markCpuUs >= 0 && markRssKiB >= 0;
    side.cpu.push_back(
        (atMark ? static_cast<double>(markCpuUs) / 1e6 : seconds(usage.ru_utime) + seconds(usage.ru_stime)) /
        side.ops);
    side.rssMiB.push_back(static_cast<double>(atMark ? markRssKiB : usage.ru_maxrss) / 1024.0);
    return true;
}

struct Summary {
    double median = 0, q1 = 0, q3 = 0;
};

// Quartiles by linear interpolation between the order statistics.
Summary summarize(std::vector<double> v) {
    Summary s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) {
        const double pos = q * static_cast<double>(v.size() - 1);
        const auto lo = static_cast<std::size_t>(pos);
        const std::size_t hi = std::min(lo + 1, v.size() - 1);
        return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
    };
    s.median = at(0.5);
    s.q1 = at(0.25);
    s.q3 = at(0.75);
    return s;
}

std::string quoted(const std::vector<std::string>& argv) {
    std::string out;
    for (const auto& a : argv) {
        if (!out.empty()) out += ' ';
        const bool plain = !a.empty() && a.find_first_of(" \t'\"$\\*?|&;<>()") == std::string::npos;
        out += plain ? a : "'" + a + "'";
    }
    return out;
}

std::string commandText(const Side& s) {
    return s.env.empty() ? quoted(s.argv) : quoted(s.env) + " " + quoted(s.argv);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 11;
    bool mark = false;
    std::string title = "run", target, unit = "ms", markdown;
    std::vector<Side> sides;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) usage(("missing value after " + a).c_str());
            return argv[++i];
        };
        if (a == "--rounds")
            rounds = std::atoi(next().c_str());
        else if (a == "--title")
            title = next();
        else if (a == "--target")
            target = next();
        else if (a == "--unit")
            unit = next();
        else if (a == "--mark")
            mark = true;
        else if (a == "--markdown")
            markdown = next();
        else if (a == "--side") {
            Side side;
            side.name = next();
            side.ops = std::atof(next().c_str());
            if (side.ops <= 0) usage("OPS must be positive");
            while (i + 1 < argc) {
                const std::string option = argv[i + 1];
                if (option != "--env" && option != "--target") break;
                ++i;
                if (option == "--env")
                    side.env.push_back(next());
                else
                    side.target = next();
            }
            if (i + 1 >= argc || std::string(argv[++i]) != "--") usage("expected -- before the program");
            while (i + 1 < argc && std::string(argv[i + 1]) != "--side")
                side.argv.push_back(argv[++i]);
            if (side.argv.empty()) usage("a side without a program");
            sides.push_back(std::move(side));
        } else
            usage(("unknown option " + a).c_str());
    }
    if (sides.size() < 2) usage("at least two sides are needed");
    if (rounds < 1) usage("rounds must be at least 1");
    const double scale = unit == "s" ? 1 : unit == "us" ? 1e6 : 1e3;

    const std::string loadBefore = loadAverage();
    for (int r = 0; r < rounds; ++r)
        for (std::size_t k = 0; k < sides.size(); ++k) {
            // Even rounds run the sides in order, odd rounds in reverse.
            Side& side = sides[r % 2 == 0 ? k : sides.size() - 1 - k];
            if (!runOnce(side, mark)) ++side.failures;
        }
    const std::string loadAfter = loadAverage();

    std::printf("== %s: %d rounds, interleaved, order alternated; load average %s before, %s after\n",
                title.c_str(), rounds, loadBefore.c_str(), loadAfter.c_str());
    const Summary base = summarize(sides[0].wall);
    for (const Side& s : sides) {
        const Summary w = summarize(s.wall), c = summarize(s.cpu), m = summarize(s.rssMiB);
        std::printf("  %-10s wall %9.3f %s (IQR %.3f-%.3f)  cpu %9.3f %s (IQR %.3f-%.3f)  peak RSS %7.1f MiB "
                    "(IQR %.1f-%.1f)",
                    s.name.c_str(), w.median * scale, unit.c_str(), w.q1 * scale, w.q3 * scale,
                    c.median * scale, unit.c_str(), c.q1 * scale, c.q3 * scale, m.median, m.q1, m.q3);
        if (&s != &sides[0] && w.median > 0) std::printf("  ratio %.2f", base.median / w.median);
        if (s.failures) std::printf("  [%d of %d runs failed: %s]", s.failures, rounds, s.lastError.c_str());
        std::printf("\n");
        std::printf("             %s\n", commandText(s).c_str());
    }
    std::printf("  ratio = %s median wall / other median wall%s%s\n", sides[0].name.c_str(),
                target.empty() ? "" : "; target ", target.c_str());

    if (!markdown.empty()) {
        std::ofstream md(markdown, std::ios::app);
        auto fmt = [&](const Summary& x, double sc, int prec) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%.*f (%.*f-%.*f)", prec, x.median * sc, prec, x.q1 * sc, prec,
                          x.q3 * sc);
            return std::string(buf);
        };
        const Side& ours = sides[0];
        const Summary ow = summarize(ours.wall), oc = summarize(ours.cpu), om = summarize(ours.rssMiB);
        const int prec = unit == "us" ? 1 : unit == "s" ? 3 : 2;
        for (std::size_t k = 1; k < sides.size(); ++k) {
            const Side& peer = sides[k];
            const Summary pw = summarize(peer.wall), pc = summarize(peer.cpu), pm = summarize(peer.rssMiB);
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.2f", pw.median > 0 ? ow.median / pw.median : 0.0);
            std::string failed;
            if (ours.failures || peer.failures)
                failed = " (failed runs: " + std::to_string(ours.failures) + "/" +
                         std::to_string(peer.failures) + ")";
            md << "| " << title << " | " << fmt(ow, scale, prec) << " " << unit << " | "
               << fmt(oc, scale, prec) << " " << unit << " | " << fmt(om, 1, 1) << " | " << peer.name << " | "
               << fmt(pw, scale, prec) << " " << unit << " | " << fmt(pc, scale, prec) << " " << unit << " | "
               << fmt(pm, 1, 1) << " | **" << ratio << "**" << failed << " | "
               << (peer.target.empty() ? target : peer.target) << " | " << rounds << " | " << loadBefore
               << " | `" << commandText(ours) << "` vs `" << commandText(peer) << "` |\n";
        }
    }
    int failures = 0;
    for (const Side& s : sides)
        failures += s.failures;
    return failures == rounds * static_cast<int>(sides.size()) ? 1 : 0;
}
