#include "tcphistory/XlsExport.h"

#include "platform/Cp1252.h"
#include "platform/Exception.h"
#include "platform/Fd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

void put16(std::string& out, std::size_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8 & 0xff));
}

// A label's text length and the record length must both fit in 16 bits.
constexpr std::size_t kMaxLabelText = 0xffff - biff::kLabelFixedLength;

std::string systemErrorText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer); // GNU: returns the text
}

[[noreturn]] void cannotCreate(const std::string& fileName, int error) {
    throw Exception("Datei \"" + fileName + "\" kann nicht erstellt werden. " + systemErrorText(error));
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A new, empty file beside target. It takes the permission bits of the file it will replace, so a
// private file stays private (it is created no wider than those, and set to them exactly before
// any byte is written); without one, the usual permissions (0666 less the umask).
Fd createSibling(const std::string& target, std::string& name) {
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    const mode_t mode = replacing ? existing.st_mode & 0777 : 0666;
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x~", static_cast<unsigned>(random()));
        name = target + suffix;
        Fd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd.valid() && replacing && ::fchmod(fd.get(), mode) != 0) {
            const int error = errno;
            fd.reset();
            ::unlink(name.c_str());
            errno = error;
            return Fd();
        }
        if (fd.valid() || errno != EEXIST) return fd;
    }
    return Fd();
}

} // namespace

std::string xlsBytes(const std::vector<ConnectionHistory::Row>& rows) {
    std::string out;
    std::size_t textBytes = 0;
    for (const auto& row : rows)
        for (const auto& cell : row)
            textBytes += cell.size();
    out.reserve(biff::kBofSize + biff::kEofSize +
                rows.size() * ConnectionHistory::kColumns * biff::kLabelHeaderSize + textBytes);

    put16(out, biff::kBofRecord);
    put16(out, biff::kBofLength);
    put16(out, biff::kBofVersion);
    put16(out, biff::kBofWorksheet);
    put16(out, 0);
    put16(out, 0);

    for (std::size_t column = 0; column < ConnectionHistory::kColumns; ++column) {
        for (std::size_t row = 0; row < rows.size(); ++row) {
            std::string text = utf8ToCp1252(rows[row][column]);
            if (text.size() > kMaxLabelText) text.resize(kMaxLabelText);
            put16(out, biff::kLabelRecord);
            put16(out, biff::kLabelFixedLength + text.size());
            put16(out, row);
            put16(out, column);
            put16(out, biff::kLabelFormat);
            put16(out, text.size());
            out += text;
        }
    }

    put16(out, biff::kEofRecord);
    put16(out, 0);
    return out;
}

bool SaveGridAsXls(const std::vector<ConnectionHistory::Row>& rows, const std::string& fileName) {
    saveWholeFile(xlsBytes(rows), fileName);
    return true;
}

void saveWholeFile(const std::string& bytes, const std::string& fileName) {
    std::string temporary;
    Fd fd = createSibling(fileName, temporary);
    if (!fd.valid()) cannotCreate(fileName, errno);
    auto fail = [&](int error) {
        fd.reset();
        ::unlink(temporary.c_str());
        cannotCreate(fileName, error);
    };
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) fail(errno);
    if (::close(fd.release()) != 0) fail(errno);
    if (::rename(temporary.c_str(), fileName.c_str()) != 0) fail(errno);
}

} // namespace orvex
