#include "trace/RouteReport.h"

#include "platform/JsonText.h"

#include <cstdio>

namespace orvex {

namespace {

std::string format(const char* pattern, double value) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string jsonNumber(double value, bool present) {
    return present ? format("%.3f", value) : "null";
}

} // namespace

std::string routeHeadline(const RouteSnapshot& route) {
    return "Route zu " + route.host + " (" + route.target.text + "), " +
           (route.target.family == AF_INET6 ? "IPv6" : "IPv4") + ", " + probeMethodName(route.method) + ", " +
           std::to_string(route.rounds) + (route.rounds == 1 ? " Runde" : " Runden");
}

std::string routeMs(double ms) {
    return format("%.1f", ms);
}

std::string routeLoss(const HopStats& hop) {
    return format("%.1f %%", hop.lossPct());
}

std::string routeHopNote(const RouteSnapshot& route, std::size_t hopIndex) {
    const HopStats& hop = route.hops[hopIndex];
    if (hop.received == 0) return "keine Antwort";
    if (hop.unreachable) return "Ziel unerreichbar";
    if (likelyRateLimited(route, hopIndex)) return "Ratenbegrenzung wahrscheinlich";
    return {};
}

std::string routeReportText(const RouteSnapshot& route) {
    std::string out = routeHeadline(route) + "\n";
    char line[512];
    std::snprintf(line, sizeof line, "%4s  %-39s %-30s %9s %5s %7s %7s %7s %7s %8s\n", "Hop", "Adresse",
                  "Name", "Verlust", "Ges.", "Letzte", "Mittel", "Beste", "Schlech.", "Streuung");
    out += line;
    for (std::size_t i = 0; i < route.hops.size(); ++i) {
        const HopStats& hop = route.hops[i];
        const bool answered = hop.received > 0;
        auto ms = [answered](double v) { return answered ? routeMs(v) : std::string("-"); };
        std::snprintf(line, sizeof line, "%3d.  %-39s %-30s %9s %5d %7s %7s %7s %7s %8s", hop.hop,
                      answered ? hop.address.c_str() : "???", hop.name.c_str(), routeLoss(hop).c_str(),
                      hop.sent(), ms(hop.lastMs).c_str(), ms(hop.meanMs).c_str(), ms(hop.bestMs).c_str(),
                      ms(hop.worstMs).c_str(), ms(hop.stdevMs()).c_str());
        out += line;
        if (const std::string note = routeHopNote(route, i); !note.empty() && answered) out += "  " + note;
        out += "\n";
    }
    out += route.reached ? "Ziel erreicht.\n" : "Ziel nicht erreicht.\n";
    return out;
}

std::string routeReportJson(const RouteSnapshot& route) {
    // The family as `orvex --connections --json` writes it, so a script reads both the same way.
    std::string out = "{\"target\": " + jsonString(route.target.text) + ", \"family\": \"" +
                      (route.target.family == AF_INET6 ? "ipv6" : "ipv4") +
                      "\", \"method\": " + jsonString(probeMethodName(route.method)) +
                      ", \"rounds\": " + std::to_string(route.rounds) +
                      ", \"reached\": " + (route.reached ? "true" : "false") + ", \"hops\": [";
    for (std::size_t i = 0; i < route.hops.size(); ++i) {
        const HopStats& hop = route.hops[i];
        const bool answered = hop.received > 0;
        if (i > 0) out += ", ";
        out += "{\"hop\": " + std::to_string(hop.hop) +
               ", \"address\": " + (answered ? jsonString(hop.address) : "null") +
               ", \"name\": " + (hop.name.empty() ? "null" : jsonString(hop.name)) +
               ", \"loss_pct\": " + format("%.1f", hop.lossPct()) +
               ", \"sent\": " + std::to_string(hop.sent()) +
               ", \"last_ms\": " + jsonNumber(hop.lastMs, answered) +
               ", \"avg_ms\": " + jsonNumber(hop.meanMs, answered) +
               ", \"best_ms\": " + jsonNumber(hop.bestMs, answered) +
               ", \"worst_ms\": " + jsonNumber(hop.worstMs, answered) +
               ", \"stdev_ms\": " + jsonNumber(hop.stdevMs(), answered) + "}";
    }
    return out + "]}\n";
}

} // namespace orvex
