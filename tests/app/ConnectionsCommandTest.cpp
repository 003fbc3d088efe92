// `orvex --connections [--json]` through the program's own command-line entry: a listener and a
// connection of this process in the output with their facts, JSON Lines that Python parses, and
// the answers to a wrong argument.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvex;

namespace {

struct Output {
    int code = -1;
    std::string out, err;
};

Output run(std::vector<std::string> arguments) {
    std::vector<char*> argv{const_cast<char*>("orvex")};
    for (std::string& a : arguments)
        argv.push_back(a.data());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Output result;
    result.code = runCommandLine(static_cast<int>(argv.size()), argv.data(), out, err).value_or(-1);
    for (auto [file, text] : {std::pair{out, &result.out}, std::pair{err, &result.err}}) {
        std::rewind(file);
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
            text->append(buffer, n);
        std::fclose(file);
    }
    return result;
}

std::uint16_t portOf(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

} // namespace

TEST(ConnectionsCommand, ListsTheTestsSocketsWithTheirFacts) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = sizeof where;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&where), &length);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    const int server = ::accept(listener, nullptr, nullptr);
    const std::string pid = std::to_string(::getpid());
    const std::string listenPort = std::to_string(portOf(listener));
    const std::string clientPort = std::to_string(portOf(client));

    const Output text = run({"--connections"});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("ipv4\t127.0.0.1:" + listenPort + "\t*:*\tlistening\t"), std::string::npos);
    const std::string line =
        "ipv4\t127.0.0.1:" + clientPort + "\t127.0.0.1:" + listenPort + "\testablished\t";
    const auto at = text.out.find(line);
    ASSERT_NE(at, std::string::npos) << text.out;
    EXPECT_NE(text.out.substr(at, text.out.find('\n', at) - at).find("\t" + pid + "\t"), std::string::npos);

    const Output json = run({"--connections", "--json"});
    EXPECT_EQ(json.code, 0);
    char path[] = "/tmp/orvex-connections-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_EQ(::write(fd, json.out.data(), json.out.size()), static_cast<ssize_t>(json.out.size()));
    ::close(fd);
    // Every line parses; the client's object has these keys and values.
    const std::string script =
        "import json, sys\n"
        "rows = [json.loads(l) for l in open(sys.argv[1])]\n"
        "c = [r for r in rows if r[\"local_port\"] == " +
        clientPort +
        " and r[\"state\"] == \"established\"][0]\n"
        "print(sorted(c), c[\"family\"], c[\"remote\"], c[\"remote_port\"], c[\"pid\"], c[\"bytes_sent\"])\n";
    std::string output;
    if (FILE* pipe =
            ::popen(("S='" + script + "'; /usr/bin/python3 -c \"$S\" " + path + " 2>&1").c_str(), "r")) {
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        ::pclose(pipe);
    }
    ::unlink(path);
    EXPECT_EQ(output, "['bytes_received', 'bytes_sent', 'family', 'local', 'local_port', 'pid', 'program', "
                      "'remote', 'remote_port', 'rtt_ms', 'state', 'user'] ipv4 127.0.0.1 " +
                          listenPort + " " + pid + " 0\n");
    ::close(server);
    ::close(client);
    ::close(listener);
}

TEST(ConnectionsCommand, UnknownArgumentExitsTwoNamingItAndHelpListsTheMode) {
    const Output bad = run({"--connections", "--xml"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.err, "orvex: unbekannte Option '--xml'\n'orvex --help' zeigt die Optionen.\n");
    EXPECT_TRUE(bad.out.empty());
    const Output help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("  --connections [--json]\n"), std::string::npos);
}
