// An ordered list of header lines "Name: value". Names compare without regard to case; a line
// that begins with a blank or a tab continues the line before it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class TNxHeaderList {
public:
    static constexpr std::size_t kDefaultFoldLength = 78;
    static constexpr std::size_t kHttpFoldLength = 1024;

    explicit TNxHeaderList(std::size_t foldLength = kDefaultFoldLength) : FoldLength(foldLength) {}

    // The value of the first line of that name with its continuation lines, trimmed; empty when
    // there is none.
    std::string Values(std::string_view name) const;
    // The values of every line of that name, in order.
    std::vector<std::string> AllValues(std::string_view name) const;
    bool Has(std::string_view name) const;

    // Replaces the first line of that name and its continuation lines, or appends one; an empty
    // value deletes the line. A line longer than FoldLength is folded.
    void SetValue(std::string_view name, std::string_view value);

    // Appends a line as it stands.
    void Add(std::string line) { Lines.push_back(std::move(line)); }
    void Clear() { Lines.clear(); }
    std::size_t Count() const { return Lines.size(); }
    const std::string& operator[](std::size_t i) const { return Lines[i]; }

    // The name of a line: its text before the first ':' (the whole line without one).
    static std::string_view NameOf(std::string_view line);
    // Splits a line into pieces of at most `length` bytes where it can, at a blank, a tab or a
    // comma outside double quotes; every piece after the first begins with one blank.
    static std::vector<std::string> Fold(std::string_view line, std::size_t length);

    std::vector<std::string> Lines;
    std::size_t FoldLength;

private:
    std::size_t IndexOfName(std::string_view name) const;
    std::string ValueAt(std::size_t index) const;
    std::size_t ContinuationEnd(std::size_t index) const;
};

} // namespace orvex
