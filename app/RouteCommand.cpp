// `orvex --route HOST [--rounds N] [--interval MS] [--numeric] [--json]`: the route window's trace
// without a window; prints the per-hop report after N rounds. Exit 0 when the target answered,
// 1 when it did not, 2 on bad input.
#include "app/CommandLine.h"
#include "app/TraceCommands.h"
#include "trace/RouteReport.h"

#include <cstdlib>
#include <map>

namespace orvex {

namespace {

// A whole number in [least, most], or nullopt.
std::optional<int> number(const std::string& text, int least, int most) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::atoi(text.c_str());
    if (value < least || value > most) return std::nullopt;
    return value;
}

} // namespace

std::optional<int> commandLineNumber(const std::vector<std::string>& arguments, std::size_t& i,
                                     std::FILE* err, int least, int most, int& status) {
    const std::string& option = arguments[i];
    if (i + 1 >= arguments.size()) {
        status = badCommandLine(err, option + " braucht eine Zahl");
        return std::nullopt;
    }
    const std::string& text = arguments[++i];
    if (auto value = number(text, least, most)) return value;
    status = badCommandLine(err, option + " " + text + ": erwartet wird eine Zahl von " +
                                     std::to_string(least) + " bis " + std::to_string(most));
    return std::nullopt;
}

int runRouteCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    std::string host;
    RouteOptions options;
    options.rounds = 10;
    bool json = false, numeric = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        int status = 0;
        if (a == "--rounds" || a == "--interval") {
            const auto value = commandLineNumber(arguments, i, err, a == "--rounds" ? 1 : 10,
                                                 a == "--rounds" ? 100000 : 60000, status);
            if (!value) return status;
            (a == "--rounds" ? options.rounds : options.intervalMs) = *value;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--numeric" || a == "-n") {
            numeric = true;
        } else if (!a.empty() && a[0] == '-') {
            return badCommandLine(err, "--route kennt die Option '" + a + "' nicht");
        } else if (host.empty()) {
            host = a;
        } else {
            return badCommandLine(err, "--route nimmt nur einen Host, nicht auch '" + a + "'");
        }
    }
    if (host.empty()) return badCommandLine(err, "--route braucht einen Host (Name oder Adresse)");
    std::string error;
    const auto target = resolveTraceTarget(host, error);
    if (!target) return badCommandLine(err, error);
    auto socket = ProbeSocket::open(*target, std::nullopt, error);
    if (!socket) {
        std::fprintf(err, "orvex: %s\n", error.c_str());
        return 1;
    }
    RouteTrace trace(host, std::move(socket), options);
    trace.run({}, {});
    RouteSnapshot route = trace.snapshot();
    if (!numeric) {
        std::map<std::string, std::string> names;
        for (HopStats& hop : route.hops) {
            if (hop.address.empty()) continue;
            auto [it, fresh] = names.try_emplace(hop.address);
            if (fresh) it->second = reverseName(hop.address);
            hop.name = it->second;
        }
    }
    std::fputs((json ? routeReportJson(route) : routeReportText(route)).c_str(), out);
    return route.reached ? 0 : 1;
}

} // namespace orvex
