// The route tracer on a real path of namespaces (route-chain.sh: client, three routers, target),
// through `orvex --route` as a user runs it, beside tracepath and mtr on the same path. Root only;
// skips with the reason otherwise.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Output {
    std::string text;
    int status = -1;
};

Output run(const std::string& command) {
    Output out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

const std::string kNobody = "setpriv --reuid 65534 --regid 65534 --clear-groups ";

// One path for every test of a suite; brought up with the suite's options.
class Chain {
public:
    explicit Chain(const std::string& options)
        : name_("oxr" + std::to_string(::getpid()) + std::to_string(++count_)) {
        if (::geteuid() != 0) {
            why_ = "needs root (network namespaces)";
            return;
        }
        const Output up = run("TUN_LINK=" + env("ORVEX_BINARY_DIR") + "/tests/trace/tun_link bash " +
                              script() + " up " + name_ + " " + options + " 2>&1");
        if (up.status != 0) why_ = "the namespace path could not be built: " + up.text;
    }
    ~Chain() { run("bash " + script() + " down " + name_); }
    const std::string& skipReason() const { return why_; }
    // command run in the client namespace
    Output client(const std::string& command) const {
        return run("ip netns exec " + name_ + "-c " + command);
    }
    Output orvex(const std::string& arguments, const std::string& as = "") const {
        return client(as + env("ORVEX_BINARY_DIR") + "/app/orvex " + arguments + " 2>&1");
    }

private:
    static std::string script() { return env("ORVEX_SOURCE_DIR") + "/tests/trace/route-chain.sh"; }
    static inline int count_ = 0;
    std::string name_;
    std::string why_;
};

std::vector<std::string> matches(const std::string& text, const std::string& pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

// Hop addresses of our JSON report, "null" for a silent hop.
std::vector<std::string> ourHops(const std::string& json) {
    return matches(json, R"("address": "?([0-9a-f.:]+|null))");
}

double lossOf(const std::string& json, int hop) {
    const auto losses = matches(json, R"("loss_pct": ([0-9.]+))");
    return hop <= int(losses.size()) ? std::stod(losses[std::size_t(hop - 1)]) : -1;
}

struct Family {
    const char* target;
    std::vector<std::string> hops;
};
const Family kFamilies[] = {
    {"10.201.4.2", {"10.201.1.1", "10.201.2.2", "10.201.3.2", "10.201.4.2"}},
    {"fd20:4::2", {"fd20:1::1", "fd20:2::2", "fd20:3::2", "fd20:4::2"}},
};

// The plain path, shared by the tests that change nothing on it.
class PlainChain : public ::testing::Test {
protected:
    static void SetUpTestSuite() { chain_ = new Chain(""); }
    static void TearDownTestSuite() {
        delete chain_;
        chain_ = nullptr;
    }
    static inline Chain* chain_ = nullptr;
};

#define SKIP_WITHOUT(chain)                                                                                  \
    if (!(chain).skipReason().empty()) GTEST_SKIP() << (chain).skipReason()

// The same hops as tracepath -n and mtr -n --report, for every way of probing: root (raw
// sockets), nobody with ICMP datagram sockets, nobody without them (UDP).
TEST_F(PlainChain, HopsEqualTracepathAndMtrForEveryProbeMethod) {
    const Chain& chain = *chain_;
    SKIP_WITHOUT(chain);
    Chain closed("pinggroups=none");
    SKIP_WITHOUT(closed);
    if (chain.client(kNobody + "test -x " + env("ORVEX_BINARY_DIR") + "/app/orvex").status != 0)
        GTEST_SKIP() << "user nobody cannot run the build's orvex (folder permissions)";
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.target);
        const Output tracepath = chain.client(std::string("tracepath -n ") + f.target);
        std::vector<std::string> peer;
        for (const std::string& hop : matches(tracepath.text, R"(\n ?\d+:  ([0-9a-f.:]+) )"))
            if (peer.empty() || peer.back() != hop) peer.push_back(hop);
        EXPECT_EQ(peer, f.hops) << tracepath.text;
        const Output mtr = chain.client(std::string("mtr -n --report -c 2 -i 0.2 -G 0.3 ") + f.target);
        EXPECT_EQ(matches(mtr.text, R"(\d+\.\|-- ([0-9a-f.:]+))"), f.hops) << mtr.text;

        struct Way {
            const Chain& chain;
            std::string as;
            const char* method;
        } ways[] = {{chain, "", "ICMP (Raw-Socket)"},
                    {chain, kNobody, "ICMP (Datagramm-Socket)"},
                    {closed, kNobody, "UDP"}};
        for (const Way& way : ways) {
            SCOPED_TRACE(way.method);
            const Output ours = way.chain.orvex(
                std::string("--route ") + f.target + " --rounds 5 --interval 20 --json", way.as);
            EXPECT_EQ(ours.status, 0) << ours.text;
            EXPECT_NE(ours.text.find(std::string("\"method\": \"") + way.method + "\""), std::string::npos)
                << ours.text;
            EXPECT_EQ(ourHops(ours.text), f.hops) << ours.text;
            // Names come from the client's hosts file, never from a DNS server.
            EXPECT_NE(ours.text.find("\"name\": \"r2.orvex.test\""), std::string::npos) << ours.text;
        }
    }
}

// The family as the ping box decides it: a name with both kinds of address goes to IPv4, a name
// with only an IPv6 address to IPv6; an address in brackets is an IPv6 address.
TEST_F(PlainChain, HostNamesDecideTheFamily) {
    const Chain& chain = *chain_;
    SKIP_WITHOUT(chain);
    const struct {
        const char* host;
        const char* target;
    } cases[] = {{"t.orvex.test", "\"target\": \"10.201.4.2\", \"family\": \"ipv4\""},
                 {"v6.orvex.test", "\"target\": \"fd20:4::2\", \"family\": \"ipv6\""},
                 {"[fd20:4::2]", "\"target\": \"fd20:4::2\", \"family\": \"ipv6\""}};
    for (const auto& c : cases) {
        const Output ours = chain.orvex(std::string("--route ") + c.host + " --rounds 1 --json -n");
        EXPECT_EQ(ours.status, 0) << ours.text;
        EXPECT_EQ(ours.text.rfind(std::string("{") + c.target, 0), 0u) << ours.text;
    }
    const Output unknown = chain.orvex("--route nowhere.orvex.test --rounds 1");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.text,
              "orvex: Host nicht gefunden: nowhere.orvex.test\n'orvex --help' zeigt die Optionen.\n");
}

// 20 % loss on the link r2 -> r3 over 200 rounds: hops 3 and 4 lose within four standard
// deviations of 20 % (±11.3 points), hops 1 and 2 nothing. Router 1 sends no time-exceeded
// messages: its hop stays silent, the hops behind it answer.
TEST(RouteChain, LossOnOneLinkAndASilentRouter) {
    Chain chain("loss=20 silent=1");
    SKIP_WITHOUT(chain);
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.target);
        const Output ours =
            chain.orvex(std::string("--route ") + f.target + " --rounds 200 --interval 10 --json -n");
        EXPECT_EQ(ours.status, 0) << ours.text;
        std::vector<std::string> hops = f.hops;
        hops[0] = "null";
        EXPECT_EQ(ourHops(ours.text), hops) << ours.text;
        EXPECT_DOUBLE_EQ(lossOf(ours.text, 1), 100.0);
        EXPECT_DOUBLE_EQ(lossOf(ours.text, 2), 0.0);
        for (int hop : {3, 4})
            EXPECT_NEAR(lossOf(ours.text, hop), 20.0, 11.3) << "hop " << hop << "\n" << ours.text;
        EXPECT_NE(ours.text.find("\"sent\": 200"), std::string::npos) << ours.text;
    }
    // The text report names the silent hop and the target answered.
    const Output text = chain.orvex("--route 10.201.4.2 --rounds 3 --interval 10 -n");
    EXPECT_NE(text.text.find("  1.  ???  "), std::string::npos) << text.text;
    EXPECT_NE(text.text.find("Ziel erreicht."), std::string::npos) << text.text;
}

// Router 2 keeps the kernel's ICMP rate limit: with a probe every 10 ms most of its time-exceeded
// answers are held back, while the target loses nothing. The report marks that hop as likely rate
// limiting, the others not.
TEST(RouteChain, RateLimitingRouterIsMarked) {
    Chain chain("ratelimit=2");
    SKIP_WITHOUT(chain);
    const Output ours = chain.orvex("--route 10.201.4.2 --rounds 60 --interval 10 -n");
    EXPECT_EQ(ours.status, 0) << ours.text;
    const auto notes = matches(ours.text, R"(\n +([0-9]+)\. .*  Ratenbegrenzung wahrscheinlich\n)");
    EXPECT_EQ(notes, std::vector<std::string>{"2"}) << ours.text;
    EXPECT_NE(ours.text.find(" 0.0 %    60 "), std::string::npos) << ours.text;
}

// The r3-t link holds each packet 20 ms each way (tun_link): the target's round trip is 40 ms plus
// little, the routers' stay far below it. Also as nobody, whose datagram sockets time the same.
TEST(RouteChain, RoundTripFollowsTheDelayOfOneLink) {
    Chain chain("delay=20");
    SKIP_WITHOUT(chain);
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.target);
        const Output ours =
            chain.orvex(std::string("--route ") + f.target + " --rounds 20 --interval 20 --json -n");
        EXPECT_EQ(ours.status, 0) << ours.text;
        EXPECT_EQ(ourHops(ours.text), f.hops) << ours.text;
        // The link is a user-space process: on a busy machine one packet may wait for it a scheduler
        // slice longer, so the bounds stand on the best round trip, and the averages only have to
        // keep their order.
        const auto averages = matches(ours.text, R"("avg_ms": ([0-9.]+))");
        const auto best = matches(ours.text, R"("best_ms": ([0-9.]+))");
        ASSERT_EQ(averages.size(), 4u) << ours.text;
        ASSERT_EQ(best.size(), 4u) << ours.text;
        for (std::size_t hop = 0; hop < 3; ++hop) {
            EXPECT_LT(std::stod(best[hop]), 10.0) << ours.text;
            EXPECT_LT(std::stod(averages[hop]), 40.0) << ours.text;
        }
        EXPECT_GE(std::stod(best[3]), 40.0) << ours.text;
        EXPECT_LT(std::stod(best[3]), 46.0) << ours.text;
        EXPECT_GE(std::stod(averages[3]), std::stod(best[3])) << ours.text;
    }
}

// A target behind the path that nothing answers: exit 1, the report ends after the last router
// with one silent hop. A network router 1 refuses as unreachable: the route ends one hop behind
// router 1 with the note, and the port check says "unerreichbar", for IPv4 and IPv6.
TEST_F(PlainChain, UnreachedTarget) {
    const Chain& chain = *chain_;
    SKIP_WITHOUT(chain);
    for (const char* host : {"10.201.99.1", "fd20:99::1"}) {
        SCOPED_TRACE(host);
        const Output route = chain.orvex(std::string("--route ") + host + " --rounds 2 --interval 20 -n");
        EXPECT_EQ(route.status, 1) << route.text;
        EXPECT_NE(route.text.find("  Ziel unerreichbar\nZiel nicht erreicht.\n"), std::string::npos)
            << route.text;
        // Hop 1 runs out at router 1, every later probe is refused there.
        const std::string r1 = std::string(host).find(':') != std::string::npos ? "fd20:1::1" : "10.201.1.1";
        EXPECT_EQ(matches(route.text, R"(\n +[0-9]+\.  ([0-9a-f.:]+) )"), (std::vector<std::string>{r1, r1}))
            << route.text;
        const Output port = chain.orvex(std::string("--port ") + host + " 80 --count 2 --json");
        EXPECT_EQ(port.status, 1) << port.text;
        EXPECT_EQ(port.text, "[{\"port\": 80, \"state\": \"unreachable\", \"sent\": 2, \"answered\": 0, "
                             "\"avg_ms\": null}]\n");
    }
    const Output gone = chain.orvex("--route 10.201.4.99 --rounds 2 --interval 20 --json -n");
    EXPECT_EQ(gone.status, 1) << gone.text;
    EXPECT_EQ(ourHops(gone.text),
              (std::vector<std::string>{"10.201.1.1", "10.201.2.2", "10.201.3.2", "null"}))
        << gone.text;
}

// Input the modes cannot use: exit 2 and the message, before anything is sent.
TEST(RouteCommandLine, BadInputExitsTwoWithTheReason) {
    const std::string orvex = env("ORVEX_BINARY_DIR") + "/app/orvex ";
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--route", "orvex: --route braucht einen Host (Name oder Adresse)\n"},
        {"--route 127.0.0.1 --rounds 0", "orvex: --rounds 0: erwartet wird eine Zahl von 1 bis 100000\n"},
        {"--route 127.0.0.1 --rounds", "orvex: --rounds braucht eine Zahl\n"},
        {"--route 127.0.0.1 --wide", "orvex: --route kennt die Option '--wide' nicht\n"},
        {"--route ::zz", "orvex: '::zz' ist keine gültige IPv6-Adresse\n"},
        {"--port", "orvex: --port braucht einen Host und einen Port (z.B. --port localhost 22)\n"},
        {"--port 127.0.0.1", "orvex: --port braucht nach dem Host einen Port oder Port-Bereich\n"},
        {"--port 127.0.0.1 0", "orvex: Port 0 liegt nicht zwischen 1 und 65535\n"},
        {"--port 127.0.0.1 70000", "orvex: Port 70000 liegt nicht zwischen 1 und 65535\n"},
        {"--port 127.0.0.1 1-1025", "orvex: mehr als 1024 Ports\n"},
        {"--port 127.0.0.1 22 --count 0", "orvex: --count 0: erwartet wird eine Zahl von 1 bis 1000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Output out = run(orvex + c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(out.status, 2);
        EXPECT_EQ(out.text, std::string(c.message) + "'orvex --help' zeigt die Optionen.\n");
    }
    const Output help = run(orvex + "--help");
    EXPECT_NE(help.text.find("  --route HOST [--rounds N]"), std::string::npos);
    EXPECT_NE(help.text.find("  --port HOST PORT[-PORT]"), std::string::npos);
}

} // namespace
