// `orvex --port HOST PORTS [--count N] [--timeout MS] [--json]`: the route window's port check
// without a window. PORTS is a port, a range or a list ("22", "8000-8010", "22,80,443").
// Exit 0 when at least one port is open, 1 when none is, 2 on bad input.
#include "app/CommandLine.h"
#include "app/TraceCommands.h"
#include "trace/PortCheck.h"

namespace orvex {

int runPortCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    std::vector<std::string> words;
    PortCheckOptions options;
    bool json = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        int status = 0;
        if (a == "--count" || a == "--timeout") {
            const auto value = commandLineNumber(arguments, i, err, a == "--count" ? 1 : 10,
                                                 a == "--count" ? 1000 : 60000, status);
            if (!value) return status;
            (a == "--count" ? options.count : options.timeoutMs) = *value;
        } else if (a == "--json") {
            json = true;
        } else if (!a.empty() && a[0] == '-') {
            return badCommandLine(err, "--port kennt die Option '" + a + "' nicht");
        } else {
            words.push_back(a);
        }
    }
    if (words.empty())
        return badCommandLine(err, "--port braucht einen Host und einen Port (z.B. --port localhost 22)");
    if (words.size() == 1)
        return badCommandLine(err, "--port braucht nach dem Host einen Port oder Port-Bereich");
    if (words.size() > 2)
        return badCommandLine(err,
                              "--port nimmt einen Host und eine Port-Angabe, nicht auch '" + words[2] + "'");
    std::string error;
    const auto ports = parsePortList(words[1], error);
    if (!ports) return badCommandLine(err, error);
    const auto target = resolveTraceTarget(words[0], error);
    if (!target) return badCommandLine(err, error);
    const std::vector<PortResult> results = runPortCheck(*target, *ports, options, {});
    std::fputs(
        (json ? portReportJson(results) : portReportText(words[0], *target, results, options.timeoutMs))
            .c_str(),
        out);
    for (const PortResult& r : results)
        if (r.state() == PortState::Open) return 0;
    return 1;
}

} // namespace orvex
