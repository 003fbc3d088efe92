// The history with every fact of every row, for other programs: CSV (RFC 4180, UTF-8, one header
// line, CRLF line ends) and JSON Lines exports, and the journal, which appends each row to a CSV
// file the user chose as it is written, so the automatic clear loses nothing. Plain C++.
#pragma once

#include "tcphistory/ConnectionHistory.h"

#include <cstddef>
#include <string>
#include <vector>

namespace orvex {

// The CSV columns: the seven texts of the table, then the facts. The journal adds "event" first.
extern const std::vector<std::string> kHistoryCsvColumns;

// One row as a CSV line (with CRLF) and as one JSON object (with LF). Times are ISO 8601; facts
// not known are empty fields in CSV and null in JSON.
std::string historyCsvLine(const ConnectionHistory::Row& row, const ConnectionHistory::RowDetails& details);
std::string historyJsonLine(const ConnectionHistory::Row& row, const ConnectionHistory::RowDetails& details);

// The whole history (title row and empty last row left out); throw the Exception SaveGridAsXls does.
std::string historyCsv(const ConnectionHistory& history);
std::string historyJsonLines(const ConnectionHistory& history);
void SaveHistoryAsCsv(const ConnectionHistory& history, const std::string& fileName);
void SaveHistoryAsJsonLines(const ConnectionHistory& history, const std::string& fileName);

// "Mitschnitt in Datei": an append-only CSV file. A row is written as "seen" when it enters the
// history and once more as "closed", with its final counters, when its connection is seen closing.
// Each poll's lines go out in one write; a failed write or a file that was removed stops the
// journal with a message.
class HistoryJournal {
public:
    ~HistoryJournal();
    // Opens fileName for appending, creating it readable and writable by its owner only, and
    // writes the header line into an empty file. Throws Exception with the message to show.
    void open(const std::string& fileName);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& fileName() const { return fileName_; }
    void close();

    // Appends rows [first, last) as "seen" and the rows in `closed` as "closed". False (journal
    // closed, message in error()) when the lines could not be written.
    bool append(const ConnectionHistory& history, std::size_t first, std::size_t last,
                const std::vector<std::size_t>& closed);
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string fileName_;
    std::string error_;
    std::string pending_;
};

} // namespace orvex
