#include "tcphistory/XlsExport.h"
#include "platform/Exception.h"
#include "tests/tcphistory/FakeTcpTable.h"
#include "tests/tcphistory/HistoryPoll.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace orvex;
namespace fs = std::filesystem;
using Row = ConnectionHistory::Row;

namespace {

// Runs an independent reader of the file (a shell command) and collects what it prints; true when
// it ran and ended with status 0.
bool runReader(const std::string& command, std::string& output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        output += line;
    return ::pclose(pipe) == 0;
}

class FixedClock : public HistoryClock {
public:
    std::string date = "07.12.26";
    std::string time = "10:15:00";
    std::string dateText() override { return date; }
    std::string timeText() override { return time; }
};

std::string hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02x ", c);
        out += b;
    }
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Record {
    unsigned type, row, column;
    std::string text;
};

// An independent walk over the records: type, length, and for labels row, column, format, text.
std::vector<Record> parse(const std::string& bytes) {
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes.at(at)) |
                                     static_cast<unsigned char>(bytes.at(at + 1)) << 8);
    };
    std::vector<Record> records;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const unsigned type = u16(at), length = u16(at + 2);
        Record record{type, 0, 0, {}};
        if (type == 0x0204) {
            record.row = u16(at + 4);
            record.column = u16(at + 6);
            EXPECT_EQ(u16(at + 8), 0u);
            EXPECT_EQ(u16(at + 10) + 8, length);
            record.text = bytes.substr(at + 12, u16(at + 10));
        }
        records.push_back(record);
        at += 4 + length;
    }
    EXPECT_EQ(at, bytes.size());
    return records;
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("orvex-xls-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

} // namespace

TEST(XlsExport, FreshHistoryExactBytes) {
    test::FakeTcpTable table;
    FixedClock clock;
    ConnectionHistory history(clock);
    ConnectionReader reader(table, false);
    history.create();
    const std::string bytes = xlsBytes(history.rows());

    std::string expected("\x09\x08\x08\x00\x00\x00\x10\x00\x00\x00\x00\x00", 12);
    const char* titles[] = {"Date", "Time", "Local-IP", "Local Port", "Remote IP", "Rem.Port", "Status"};
    std::size_t titleBytes = 0;
    for (char column = 0; column < 7; ++column) {
        const std::string title = titles[static_cast<int>(column)];
        titleBytes += title.size();
        const char n = static_cast<char>(title.size());
        expected +=
            std::string{'\x04', '\x02', static_cast<char>(8 + n), 0, 0, 0, column, 0, 0, 0, n, 0} + title;
        expected += std::string{'\x04', '\x02', 8, 0, 1, 0, column, 0, 0, 0, 0, 0};
    }
    expected += std::string("\x0a\x00\x00\x00", 4);
    EXPECT_EQ(hex(bytes), hex(expected));
    EXPECT_EQ(bytes.size(), 16u + 168u + titleBytes);
}

TEST(XlsExport, RecordsRunColumnByColumnInWindows1252) {
    std::vector<Row> rows(4);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < 7; ++c)
            rows[r][c] = "r" + std::to_string(r) + "c" + std::to_string(c);
    rows[2][0] = "06.März.2026"; // ä-free German month with a non-ASCII neighbour below
    rows[3][6] = "Straße €";     // ß and the euro sign are single Windows-1252 bytes
    rows[3][5] = "";

    const std::string bytes = xlsBytes(rows);
    const auto records = parse(bytes);
    ASSERT_EQ(records.size(), 2u + 7u * 4u);
    EXPECT_EQ(records.front().type, 0x0809u);
    EXPECT_EQ(records.back().type, 0x000Au);
    std::size_t textBytes = 0;
    for (std::size_t i = 1; i + 1 < records.size(); ++i) {
        const std::size_t column = (i - 1) / 4, row = (i - 1) % 4;
        EXPECT_EQ(records[i].column, column);
        EXPECT_EQ(records[i].row, row);
        textBytes += records[i].text.size();
    }
    EXPECT_EQ(records[1 + 2].text, "06.M\xe4rz.2026");
    EXPECT_EQ(records[1 + 6 * 4 + 3].text, "Stra\xdf\x65 \x80");
    EXPECT_EQ(records[1 + 5 * 4 + 3].text, "");
    EXPECT_EQ(bytes.size(), 16 + 7 * 4 * 12 + textBytes);
}

TEST(XlsExport, IndependentReaderSeesEveryCell) {
    test::FakeTcpTable table;
    FixedClock clock;
    ConnectionHistory history(clock);
    ConnectionReader reader(table, false);
    history.create();
    history.setListening(true);
    table.rows = {test::listening(135), test::established(50123, 20, 443)};
    test::pollHistory(history, reader);
    clock.date = "31.12.26";
    table.rows.push_back(test::established(20, 21, 8080));
    test::pollHistory(history, reader);

    TempDir dir;
    const fs::path file = dir.path / "history.xls";
    ASSERT_TRUE(SaveGridAsXls(history.rows(), file.string()));
    // xlrd prints each cell as repr() so trailing and leading blanks stay visible.
    const std::string command =
        "/usr/bin/python3 -c \"import sys, xlrd; s = xlrd.open_workbook(sys.argv[1], "
        "encoding_override='cp1252', logfile=open('/dev/null', 'w')).sheet_by_index(0); "
        "print(s.nrows, s.ncols); [print(repr(s.cell_value(r, c))) for r in range(s.nrows) "
        "for c in range(s.ncols)]\" " +
        file.string() + " 2>&1";
    std::string output;
    ASSERT_TRUE(runReader(command, output)) << output;

    std::string expected = std::to_string(history.rows().size()) + " 7\n";
    for (const Row& row : history.rows())
        for (const std::string& cell : row)
            expected += "'" + cell + "'\n";
    EXPECT_EQ(output, expected);
    EXPECT_NE(output.find("'FTP '"), std::string::npos);
}

TEST(XlsExport, ReplacesAnExistingFileWithoutAsking) {
    TempDir dir;
    const fs::path file = dir.path / "h.xls";
    std::ofstream(file) << std::string(5000, 'x');
    std::vector<Row> rows(2);
    rows[0][0] = "date";
    ASSERT_TRUE(SaveGridAsXls(rows, file.string()));
    EXPECT_EQ(readFile(file), xlsBytes(rows));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(XlsExport, ReplacedFileKeepsItsPermissionBitsAndANewOneFollowsTheUmask) {
    const mode_t previousUmask = ::umask(022);
    const struct {
        int existing; // -1: no file yet
        int expected;
    } cases[] = {{0600, 0600}, {0640, 0640}, {0664, 0664}, {0444, 0444}, {-1, 0644}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing);
        TempDir dir;
        const fs::path file = dir.path / "h.xls";
        if (c.existing >= 0) {
            std::ofstream(file) << "private history";
            ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(c.existing)), 0);
        }
        ASSERT_TRUE(SaveGridAsXls(std::vector<Row>(1), file.string()));
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, static_cast<mode_t>(c.expected));
        EXPECT_EQ(readFile(file), xlsBytes(std::vector<Row>(1)));
    }
    ::umask(previousUmask);
}

TEST(XlsExport, FailuresReportTheFileAndKeepTheOldOne) {
    TempDir dir;
    std::vector<Row> rows(50);
    rows[0][0] = "date";

    const std::string missing = (dir.path / "no-such-folder" / "h.xls").string();
    try {
        SaveGridAsXls(rows, missing);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message,
                  "Datei \"" + missing + "\" kann nicht erstellt werden. No such file or directory");
    }

    // A write that runs out of room (here: the file-size limit, which also binds root) must leave
    // the previous export in place and no partial file beside it.
    const fs::path file = dir.path / "good.xls";
    std::ofstream(file) << "previous export";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        SaveGridAsXls(rows, file.string());
    } catch (const Exception& e) {
        message = e.Message;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(message, "Datei \"" + file.string() + "\" kann nicht erstellt werden. File too large");
    EXPECT_EQ(readFile(file), "previous export");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    // The name is a folder: nothing can replace it, and nothing is left behind.
    const fs::path folder = dir.path / "folder.xls";
    fs::create_directory(folder);
    EXPECT_THROW(SaveGridAsXls(rows, folder.string()), Exception);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(XlsExport, Ipv6RowsAreTextCellsForAnIndependentReader) {
    test::FakeTcpTable table;
    FixedClock clock;
    ConnectionHistory history(clock);
    ConnectionReader reader(table, false);
    history.create();
    history.setListening(true);
    table.rows = {test::listening(135), test::ipv6Row(TcpListen, {}, 22),
                  test::ipv6Row(TcpEstablished, test::kIpv6Doc, 443, test::kIpv6Loopback, 50123)};
    test::pollHistory(history, reader);
    ASSERT_EQ(history.rows().size(), 6u); // titles, marker, three records, empty last row

    TempDir dir;
    const fs::path file = dir.path / "history6.xls";
    ASSERT_TRUE(SaveGridAsXls(history.rows(), file.string()));
    // Cell type 1 is text.
    const std::string command = "/usr/bin/python3 -c \"import sys, xlrd; s = xlrd.open_workbook(sys.argv[1], "
                                "logfile=open('/dev/null', 'w')).sheet_by_index(0); "
                                "[print(s.cell_type(r, c), repr(s.cell_value(r, c))) for r in (3, 4) "
                                "for c in range(2, 6)]\" " +
                                file.string() + " 2>&1";
    std::string output;
    ASSERT_TRUE(runReader(command, output)) << output;
    EXPECT_EQ(output, "1 '::'\n1 '  22'\n1 '...'\n1 '...'\n"
                      "1 '2001:db8::10'\n1 ' 443'\n1 '::1'\n1 '50123'\n");
}
