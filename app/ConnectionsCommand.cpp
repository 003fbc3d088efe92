// `orvex --connections [--json]`: the machine's TCP connections and listeners with their owning
// program, user, bytes and round trip, one line each (tab-separated) or one JSON object per line.
// The history window's engine (ConnectionReader) reads them.
#include "app/CommandLine.h"
#include "platform/JsonText.h"
#include "platform/TcpTable.h"
#include "tcphistory/ConnectionReader.h"

#include <cstdio>
#include <string>

namespace orvex {

namespace {

struct Fields {
    std::string family, local, localPort, remote, remotePort, state, program, pid, user, sent, received, rtt;
    bool hasRemote = false;
};

Fields fieldsOf(const PolledConnection& c) {
    Fields f;
    f.family = c.Row.Ipv6 ? "ipv6" : "ipv4";
    f.local = plainAddress(c.Row, false);
    f.localPort = std::to_string(rowHostPort(c.Row.LocalPort));
    f.hasRemote = c.Record.RemoteIP != kNoRemote;
    if (f.hasRemote) {
        f.remote = plainAddress(c.Row, true);
        f.remotePort = std::to_string(rowHostPort(c.Row.RemotePort));
    }
    f.state = c.Record.Status;
    if (c.Facts.Pid != 0) {
        f.program = c.Facts.Program;
        f.pid = std::to_string(c.Facts.Pid);
    }
    f.user = c.Facts.User;
    if (c.Facts.HasTraffic) {
        f.sent = std::to_string(c.Facts.BytesSent);
        f.received = std::to_string(c.Facts.BytesReceived);
        f.rtt = rttMsText(c.Facts);
    }
    return f;
}

std::string jsonLine(const Fields& f) {
    auto text = [](const std::string& value) {
        return value.empty() ? std::string("null") : jsonString(value);
    };
    auto number = [](const std::string& value) { return value.empty() ? std::string("null") : value; };
    return "{\"family\":" + jsonString(f.family) + ",\"local\":" + jsonString(f.local) +
           ",\"local_port\":" + f.localPort + ",\"remote\":" + text(f.remote) +
           ",\"remote_port\":" + number(f.remotePort) + ",\"state\":" + jsonString(f.state) +
           ",\"program\":" + text(f.program) + ",\"pid\":" + number(f.pid) + ",\"user\":" + text(f.user) +
           ",\"bytes_sent\":" + number(f.sent) + ",\"bytes_received\":" + number(f.received) +
           ",\"rtt_ms\":" + number(f.rtt) + "}\n";
}

std::string textLine(const Fields& f) {
    auto shown = [](const std::string& value) { return value.empty() ? std::string("-") : value; };
    auto endpoint = [&](const std::string& address, const std::string& port) {
        if (address.empty()) return std::string("*:*");
        return (f.family == "ipv6" ? "[" + address + "]" : address) + ":" + port;
    };
    return f.family + "\t" + endpoint(f.local, f.localPort) + "\t" +
           (f.hasRemote ? endpoint(f.remote, f.remotePort) : std::string("*:*")) + "\t" + f.state + "\t" +
           shown(f.program) + "\t" + shown(f.pid) + "\t" + shown(f.user) + "\t" + shown(f.sent) + "\t" +
           shown(f.received) + "\t" + shown(f.rtt) + "\n";
}

int runConnections(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
    bool json = false;
    for (const std::string& argument : arguments) {
        if (argument == "--json")
            json = true;
        else
            return badCommandLine(err, "unbekannte Option '" + argument + "'");
    }
    auto table = makeSystemTcpTable();
    ConnectionReader reader(*table);
    ConnectionPoll read;
    reader.read(read);
    if (!read.Ok) {
        std::fputs("orvex: die TCP-Tabelle lässt sich nicht lesen\n", err);
        return 1;
    }
    for (const PolledConnection& connection : read.Open) {
        const Fields fields = fieldsOf(connection);
        std::fputs((json ? jsonLine(fields) : textLine(fields)).c_str(), out);
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

} // namespace

extern const CommandLineMode kConnectionsMode = {
    "--connections",
    "  --connections [--json]\n"
    "      listet die TCP-Verbindungen und Listener des Rechners mit Programm, PID, Benutzer,\n"
    "      gesendeten und empfangenen Bytes und RTT (ms), eine Zeile je Socket (Felder durch\n"
    "      Tabulator getrennt, - wo unbekannt); mit --json ein JSON-Objekt je Zeile\n\n",
    runConnections,
};

} // namespace orvex
