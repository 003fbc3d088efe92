#include "tcphistory/HistoryFiles.h"

#include "platform/Exception.h"
#include "platform/JsonText.h"
#include "tcphistory/XlsExport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

const std::vector<std::string> kHistoryCsvColumns = {
    "date",   "time",       "local_ip",       "local_port", "remote_ip", "remote_port",
    "status", "seen",       "program",        "pid",        "processes", "user",
    "uid",    "bytes_sent", "bytes_received", "rtt_ms",     "closed"};

namespace {

using Row = ConnectionHistory::Row;
using Details = ConnectionHistory::RowDetails;

// The fields after the seven texts, as text; empty where not known.
std::vector<std::string> factFields(const Details& details) {
    const ConnectionFacts& f = details.Facts;
    const bool traffic = details.Entry && f.HasTraffic;
    return {
        details.Seen == WallTime{} ? std::string() : isoTime(details.Seen),
        f.Program,
        f.Pid != 0 ? std::to_string(f.Pid) : std::string(),
        f.Pid != 0 ? std::to_string(1 + f.OtherProcesses) : std::string(),
        f.User,
        f.Uid != kUnknownUid ? std::to_string(f.Uid) : std::string(),
        traffic ? std::to_string(f.BytesSent) : std::string(),
        traffic ? std::to_string(f.BytesReceived) : std::string(),
        traffic ? rttMsText(f) : std::string(),
        f.Closed ? isoTime(*f.Closed) : std::string(),
    };
}

void putCsvField(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string csvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        putCsvField(out, fields[i]);
    }
    out += "\r\n";
    return out;
}

std::vector<std::string> rowFields(const Row& row, const Details& details) {
    std::vector<std::string> fields(row.begin(), row.end());
    for (std::string& fact : factFields(details))
        fields.push_back(std::move(fact));
    return fields;
}

} // namespace

std::string historyCsvLine(const Row& row, const Details& details) {
    return csvLine(rowFields(row, details));
}

std::string historyJsonLine(const Row& row, const Details& details) {
    const std::vector<std::string> fields = rowFields(row, details);
    // Numbers stay numbers; unknown facts are null.
    auto isNumber = [](const std::string& column) {
        return column == "pid" || column == "processes" || column == "uid" || column == "bytes_sent" ||
               column == "bytes_received" || column == "rtt_ms";
    };
    std::string out = "{";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += jsonString(kHistoryCsvColumns[i]);
        out += ':';
        if (i >= ConnectionHistory::kColumns && fields[i].empty())
            out += "null";
        else if (isNumber(kHistoryCsvColumns[i]))
            out += fields[i];
        else
            out += jsonString(fields[i]);
    }
    out += "}\n";
    return out;
}

std::string historyCsv(const ConnectionHistory& history) {
    std::string out = csvLine(kHistoryCsvColumns);
    for (std::size_t row = 1; row + 1 < history.rows().size(); ++row)
        out += historyCsvLine(history.rows()[row], history.details()[row]);
    return out;
}

std::string historyJsonLines(const ConnectionHistory& history) {
    std::string out;
    for (std::size_t row = 1; row + 1 < history.rows().size(); ++row)
        out += historyJsonLine(history.rows()[row], history.details()[row]);
    return out;
}

void SaveHistoryAsCsv(const ConnectionHistory& history, const std::string& fileName) {
    saveWholeFile(historyCsv(history), fileName);
}

void SaveHistoryAsJsonLines(const ConnectionHistory& history, const std::string& fileName) {
    saveWholeFile(historyJsonLines(history), fileName);
}

HistoryJournal::~HistoryJournal() {
    close();
}

void HistoryJournal::open(const std::string& fileName) {
    close();
    // It lists what the machine talked to: readable by its owner only.
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    struct stat file {};
    if (fd < 0 || ::fstat(fd, &file) != 0) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw Exception("Mitschnitt-Datei \"" + fileName + "\" kann nicht geöffnet werden. " +
                        std::strerror(error) + ".");
    }
    fd_ = fd;
    fileName_ = fileName;
    error_.clear();
    pending_.clear();
    if (file.st_size == 0) {
        std::vector<std::string> header = kHistoryCsvColumns;
        header.insert(header.begin(), "event");
        pending_ = csvLine(header);
    }
}

void HistoryJournal::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool HistoryJournal::append(const ConnectionHistory& history, std::size_t first, std::size_t last,
                            const std::vector<std::size_t>& closed) {
    if (fd_ < 0) return false;
    auto put = [&](const char* event, std::size_t row) {
        if (row == 0 || row + 1 >= history.rows().size()) return;
        std::vector<std::string> fields = rowFields(history.rows()[row], history.details()[row]);
        fields.insert(fields.begin(), event);
        pending_ += csvLine(fields);
    };
    for (std::size_t row = first; row < last; ++row)
        put("seen", row);
    for (std::size_t row : closed)
        put("closed", row);
    if (pending_.empty()) return true;

    auto stop = [&](const std::string& why) {
        error_ = "Der Mitschnitt in \"" + fileName_ + "\" wurde beendet: " + why;
        pending_.clear();
        close();
        return false;
    };
    struct stat file {};
    if (::fstat(fd_, &file) != 0 || file.st_nlink == 0) return stop("die Datei ist nicht mehr da.");
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return stop(std::string(std::strerror(n == 0 ? EIO : errno)) + ".");
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
    return true;
}

} // namespace orvex
