#include "net/TNxHeaderList.h"

#include "net/NxStr.h"

namespace orvex {

using namespace nxstr;

namespace {

bool isContinuation(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

} // namespace

std::string_view TNxHeaderList::NameOf(std::string_view line) {
    return before(line, ':');
}

std::size_t TNxHeaderList::IndexOfName(std::string_view name) const {
    for (std::size_t i = 0; i < Lines.size(); ++i)
        if (!isContinuation(Lines[i]) && sameText(NameOf(Lines[i]), name)) return i;
    return Lines.size();
}

std::size_t TNxHeaderList::ContinuationEnd(std::size_t index) const {
    std::size_t end = index + 1;
    while (end < Lines.size() && isContinuation(Lines[end]))
        ++end;
    return end;
}

std::string TNxHeaderList::ValueAt(std::size_t index) const {
    std::string value(trim(after(Lines[index], ':')));
    const std::size_t end = ContinuationEnd(index);
    for (std::size_t i = index + 1; i < end; ++i) {
        value += ' ';
        value += trim(Lines[i]);
    }
    return std::string(trim(value));
}

std::string TNxHeaderList::Values(std::string_view name) const {
    const std::size_t i = IndexOfName(name);
    return i < Lines.size() ? ValueAt(i) : std::string();
}

std::vector<std::string> TNxHeaderList::AllValues(std::string_view name) const {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < Lines.size(); ++i)
        if (!isContinuation(Lines[i]) && sameText(NameOf(Lines[i]), name)) values.push_back(ValueAt(i));
    return values;
}

bool TNxHeaderList::Has(std::string_view name) const {
    return IndexOfName(name) < Lines.size();
}

void TNxHeaderList::SetValue(std::string_view name, std::string_view value) {
    std::size_t at = IndexOfName(name);
    if (at < Lines.size()) {
        Lines.erase(Lines.begin() + static_cast<std::ptrdiff_t>(at),
                    Lines.begin() + static_cast<std::ptrdiff_t>(ContinuationEnd(at)));
    }
    if (value.empty()) return;
    std::string line(name);
    line += ": ";
    line += value;
    std::vector<std::string> pieces = Fold(line, FoldLength);
    Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(at), pieces.begin(), pieces.end());
}

std::vector<std::string> TNxHeaderList::Fold(std::string_view line, std::size_t length) {
    std::vector<std::string> pieces;
    std::string rest(line);
    while (rest.size() > length) {
        // Break positions: before a blank or tab, after a comma; never inside double quotes.
        std::size_t best = std::string::npos, firstBeyond = std::string::npos;
        bool quoted = false;
        // Never break between a name and its value, nor at a continuation's own leading blank.
        const std::size_t nameEnd = pieces.empty() ? rest.find(": ") : std::string::npos;
        const std::size_t from = nameEnd == std::string::npos ? 1 : nameEnd + 2;
        for (std::size_t i = from; i < rest.size(); ++i) {
            const char c = rest[i];
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            std::size_t cut = std::string::npos;
            if (c == ' ' || c == '\t')
                cut = i;
            else if (c == ',' && i + 1 < rest.size())
                cut = i + 1;
            if (cut == std::string::npos) continue;
            if (cut <= length)
                best = cut;
            else {
                firstBeyond = cut;
                break;
            }
        }
        std::size_t cut = best != std::string::npos ? best : firstBeyond;
        if (cut == std::string::npos) break;
        std::string head(trimRight(std::string_view(rest).substr(0, cut)));
        std::string_view tail = trimLeft(std::string_view(rest).substr(cut));
        if (head.empty() || tail.empty()) break;
        pieces.push_back(std::move(head));
        std::string next(1, ' '); // tail views rest: build the new rest apart
        next.append(tail);
        rest = std::move(next);
    }
    pieces.push_back(std::string(trimRight(rest)));
    return pieces;
}

} // namespace orvex
