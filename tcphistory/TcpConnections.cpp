#include "tcphistory/TcpConnections.h"

#include "platform/Ipv6Text.h"

#include <algorithm>

#include <arpa/inet.h>

namespace orvex {

const std::array<WellKnownPort, 29> WellKnownPorts = {{
    {0, "LOOPBACK"}, {7, "ECHO"},     {9, "DISCRD"},    {13, "DAYTIM"},  {17, "QOTD"},   {19, "CHARGEN"},
    {20, "FTP "},    {21, "FTPC"},    {23, "TELNET"},   {25, "SMTP"},    {37, "TIME"},   {43, "WHOIS"},
    {53, "DNS "},    {67, "BOOTPS"},  {68, "BOOTPC"},   {69, "TFTP"},    {70, "GOPHER"}, {79, "FING"},
    {80, "HTTP"},    {88, "KERB"},    {109, "POP2"},    {110, "POP3"},   {119, "NNTP"},  {123, "NTP "},
    {135, "LOCSVC"}, {137, "NBNAME"}, {138, "NBDGRAM"}, {139, "NBSESS"}, {161, "SNMP"},
}};

const std::array<std::string_view, 13> TcpStateNames = {
    "",          "closed",     "listening", "syn_sent", "syn_rcvd",  "established", "fin_wait1",
    "fin_wait2", "close_wait", "closing",   "last_ack", "time_wait", "delete_tcb",
};

namespace {

// Right-aligned decimal in `width` characters padded with blanks (wider numbers are not cut), as
// "%<width>u" prints it; written by hand because a poll formats tens of thousands of these.
char* putPadded(char* out, unsigned value, int width) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = width - count; pad > 0; --pad)
        *out++ = ' ';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

} // namespace

std::string FormatIPAddress(std::uint32_t address) {
    char text[16];
    char* end = text;
    for (int octet = 0; octet < 4; ++octet) {
        end = putPadded(end, address & 0xffu, 3);
        *end++ = '.';
        address >>= 8;
    }
    return std::string(text, static_cast<std::size_t>(end - text - 1)); // without the last full stop
}

std::string FormatPort(std::uint16_t port) {
    for (const auto& known : WellKnownPorts)
        if (known.Port == port) return std::string(known.Name);
    char text[8];
    const char* end = putPadded(text, port, 4);
    return std::string(text, static_cast<std::size_t>(end - text));
}

namespace {

std::uint16_t hostPort(std::uint32_t rowPort) {
    // Only the low 16 bits carry the port, in network byte order.
    return static_cast<std::uint16_t>((rowPort & 0xff) << 8 | (rowPort >> 8 & 0xff));
}

} // namespace

std::string FormatIPv6Address(const TcpIpv6Address& address) {
    return ipv6Text(address);
}

TTcpConnStatus makeTcpConnStatus(const TcpRow& row) {
    TTcpConnStatus record;
    const bool hasRemote = row.Ipv6 ? std::any_of(row.RemoteAddr6.begin(), row.RemoteAddr6.end(),
                                                  [](std::uint8_t b) { return b != 0; })
                                    : row.RemoteAddr != 0;
    record.LocalIP = row.Ipv6 ? FormatIPv6Address(row.LocalAddr6) : FormatIPAddress(row.LocalAddr);
    record.LocalPort = FormatPort(hostPort(row.LocalPort));
    if (hasRemote) {
        record.RemoteIP = row.Ipv6 ? FormatIPv6Address(row.RemoteAddr6) : FormatIPAddress(row.RemoteAddr);
        record.RemotePort = FormatPort(hostPort(row.RemotePort));
    } else {
        record.RemoteIP = kNoRemote;
        record.RemotePort = kNoRemote;
    }
    record.Status = row.State < TcpStateNames.size() ? TcpStateNames[row.State] : std::string_view();
    return record;
}

void ReadTcpConnections(TcpTable& table, std::vector<TTcpConnStatus>* list) {
    if (!list) return;
    list->clear();
    std::vector<TcpRow> rows;
    if (!table.read(rows, tcpStateBit(TcpListen) | tcpStateBit(TcpEstablished) | kIpv6Rows)) return;
    list->reserve(rows.size());
    for (const TcpRow& row : rows) {
        // The table may hand back more than was asked for (a fake, a source that cannot filter).
        if (row.State != TcpListen && row.State != TcpEstablished) continue;
        list->push_back(makeTcpConnStatus(row));
    }
}

} // namespace orvex
