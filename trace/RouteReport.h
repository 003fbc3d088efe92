// The route as text and as JSON: what `orvex --route` prints, what "Kopieren" puts on the
// clipboard, and the lines of the route window's table. Plain C++.
#pragma once

#include "trace/RouteTrace.h"

#include <string>

namespace orvex {

// "Route zu HOST (ADDRESS), IPv4, ICMP (Datagramm-Socket), 10 Runden"
std::string routeHeadline(const RouteSnapshot& route);
// The figures of one hop as the table shows them: "0.1" ms with one decimal, loss "10.0 %";
// a hop that never answered shows "???" as its address and "-" for its times.
std::string routeMs(double ms);
std::string routeLoss(const HopStats& hop);
// "keine Antwort", "Ziel unerreichbar", "Ratenbegrenzung wahrscheinlich" or empty.
std::string routeHopNote(const RouteSnapshot& route, std::size_t hopIndex);

// The whole report: headline, column titles, one line per hop, and a closing line that says
// whether the target answered.
std::string routeReportText(const RouteSnapshot& route);
// {"target", "family", "method", "rounds", "reached", "hops": [{"hop", "address", "name", "loss_pct", "sent",
// "last_ms", "avg_ms", "best_ms", "worst_ms", "stdev_ms"}]}; address, name and the times are null for a
// hop that never answered (name also for one without a reverse name).
std::string routeReportJson(const RouteSnapshot& route);

} // namespace orvex
