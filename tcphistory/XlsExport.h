// The history table as a spreadsheet file of BIFF records: a beginning-of-file record, one label
// record per cell (column by column, top to bottom), an end-of-file record. Plain C++.
#pragma once

#include "tcphistory/ConnectionHistory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::biff {

// Every record: 16-bit type, 16-bit length of the data that follows, the data; little-endian.
constexpr std::uint16_t kBofRecord = 0x0809;
constexpr std::uint16_t kBofLength = 8;
constexpr std::uint16_t kBofVersion = 0;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kLabelRecord = 0x0204;
constexpr std::uint16_t kLabelFixedLength = 8; // row, column, format index, text length
constexpr std::uint16_t kLabelFormat = 0;
constexpr std::uint16_t kEofRecord = 0x000A;
constexpr std::size_t kBofSize = 12;
constexpr std::size_t kLabelHeaderSize = 12;
constexpr std::size_t kEofSize = 4;

} // namespace orvex::biff

namespace orvex {

// The file's bytes. Cell texts are UTF-8 and are written in Windows-1252.
std::string xlsBytes(const std::vector<ConnectionHistory::Row>& rows);

// Writes the table to fileName, replacing any file of that name. The bytes go to a new file in the
// same folder first, which is renamed over fileName only when complete, so a failure never leaves
// half a file where a good one was; the new file keeps the permission bits of the one it replaces.
// Throws orvex::Exception
// "Datei "<fileName>" kann nicht erstellt werden. <system text>" when the file cannot be written.
// Returns true (the window does not look at the result).
bool SaveGridAsXls(const std::vector<ConnectionHistory::Row>& rows, const std::string& fileName);

// The same way of writing for any export: bytes to fileName through a new file renamed over it;
// throws the same Exception.
void saveWholeFile(const std::string& bytes, const std::string& fileName);

} // namespace orvex
