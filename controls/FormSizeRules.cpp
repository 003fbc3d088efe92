#include "controls/FormSizeRules.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace orvex::formsize {

std::string sectionName(const std::string& saveKey, bool saveUser, const std::string& user, bool saveMachine,
                        const std::string& computer) {
    std::string section = saveKey;
    if (saveUser) section += "-" + user;
    if (saveMachine) section += "-" + computer;
    return section;
}

std::optional<int> parseDecimal(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

namespace {

// Beyond the size of any desktop (and the largest window the toolkit makes), yet far from the
// limits of int: sizes are held below it and edges stay within a few times it, so no sum of an
// edge and a size overflows, here or in the window system.
constexpr std::int64_t kFarthest = std::int64_t{1} << 24;

int toInt(std::int64_t value) {
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

LoadedPlacement loadPlacement(const ValueReader& read, const LoadRequest& request) {
    LoadedPlacement result;
    auto stored = [&](const char* name) -> std::optional<int> {
        const std::optional<std::string> text = read(name);
        if (!text) return std::nullopt;
        std::optional<int> value = parseDecimal(*text);
        if (value) result.fromStore = true;
        return value;
    };

    // Edges are worked out in 64 bits: stored numbers can be anything a 32-bit integer holds.
    const WindowRect& current = request.current;
    std::int64_t left = current.left, top = current.top, right = current.right, bottom = current.bottom;
    if (request.savePosition) {
        left = stored(kLeft).value_or(current.left);
        top = stored(kTop).value_or(current.top);
    }
    if (request.saveSize) {
        right = stored(kRight).value_or(current.right);
        bottom = stored(kBottom).value_or(current.bottom);
    } else {
        right = left + (std::int64_t{current.right} - current.left);
        bottom = top + (std::int64_t{current.bottom} - current.top);
    }
    // Read whatever saveSize says: a value left by an earlier configuration still counts.
    const std::optional<int> maximized = stored(kMaximized);
    result.maximized = maximized ? *maximized != 0 : request.currentlyMaximized;

    const std::int64_t width = std::clamp<std::int64_t>(right - left, 0, kFarthest);
    const std::int64_t height = std::clamp<std::int64_t>(bottom - top, 0, kFarthest);
    // Without screens (none reported yet) there is no desktop to hold the window to.
    if (request.desktopWidth <= 0 || request.desktopHeight <= 0) {
        left = std::clamp(left, -kFarthest, kFarthest);
        top = std::clamp(top, -kFarthest, kFarthest);
    } else {
        // The right and bottom edges are held to the desktop (a window of no size keeps its corner
        // on it). A window partly off the left or top edge stays where it was put; one wholly off
        // it comes back to that edge.
        const std::int64_t desktopWidth = request.desktopWidth, desktopHeight = request.desktopHeight;
        left = std::min(left, desktopWidth - std::max<std::int64_t>(width, 1));
        top = std::min(top, desktopHeight - std::max<std::int64_t>(height, 1));
        if (left + width <= 0) left = 0;
        if (top + height <= 0) top = 0;
    }
    WindowRect r{toInt(left), toInt(top), toInt(left + width), toInt(top + height)};
    if (result.maximized && request.desktopWidth > 0 && request.desktopHeight > 0)
        r = WindowRect{0, 0, request.desktopWidth, request.desktopHeight};
    result.bounds = r;
    return result;
}

std::vector<NamedValue> placementValues(const WindowRect& normal, bool maximized, bool savePosition,
                                        bool saveSize) {
    std::vector<NamedValue> values;
    if (savePosition) {
        values.push_back({kLeft, std::to_string(normal.left)});
        values.push_back({kTop, std::to_string(normal.top)});
    }
    if (saveSize) {
        values.push_back({kRight, std::to_string(normal.right)});
        values.push_back({kBottom, std::to_string(normal.bottom)});
        values.push_back({kMaximized, maximized ? "1" : "0"});
    }
    return values;
}

MagnetLimits magnetLimits(const WindowRect& screen, const WindowRect& available) {
    MagnetLimits limits{screen.left, screen.top, screen.right, screen.bottom};
    if (available.left > screen.left) limits.left = available.left;
    if (available.top > screen.top) limits.top = available.top;
    if (available.right < screen.right) limits.right = available.right;
    if (available.bottom < screen.bottom) limits.bottom = available.bottom;
    return limits;
}

Point magnetPosition(Point proposed, int width, int height, const MagnetLimits& limits, int distance) {
    std::int64_t x = proposed.x, y = proposed.y;
    const std::int64_t d = distance;
    if (x < limits.left + d) x = limits.left;
    if (y < limits.top + d) y = limits.top;
    if (y + height > limits.bottom - d) y = std::int64_t{limits.bottom} - height;
    if (x + width > limits.right - d) x = std::int64_t{limits.right} - width;
    return {toInt(x), toInt(y)};
}

namespace {

// Keeps a key name a single, ordinary file-name component.
std::string escapedKeyName(std::string_view name) {
    if (name == "..") return "%2E%2E";
    std::string out;
    for (char c : name) {
        if (c == '/' || c == '%' || c == '\0') {
            static const char hex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string joined(std::string folder, const std::string& relative) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + relative;
}

} // namespace

std::string registryKeyFile(const std::string& storeFolder, std::string_view keyPath) {
    std::string relative;
    std::size_t start = 0;
    while (start <= keyPath.size()) {
        std::size_t end = keyPath.find('\\', start);
        if (end == std::string_view::npos) end = keyPath.size();
        const std::string_view key = keyPath.substr(start, end - start);
        if (!key.empty() && key != ".") {
            if (!relative.empty()) relative += '/';
            relative += escapedKeyName(key);
        }
        start = end + 1;
    }
    if (relative.empty()) return {};
    return joined(storeFolder, relative);
}

std::string iniFilePath(const std::string& currentDir, std::string_view saveName) {
    std::string path(saveName);
    for (char& c : path)
        if (c == '\\') c = '/';
    if (!path.empty() && path.front() == '/') return path;
    return joined(currentDir, path);
}

} // namespace orvex::formsize
