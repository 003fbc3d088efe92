#include "controls/FormSizeRules.h"

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

LoadedPlacement loadPlacement(const ValueReader& read, const LoadRequest& request) {
    LoadedPlacement result;
    auto stored = [&](const char* name) -> std::optional<int> {
        const std::optional<std::string> text = read(name);
        if (!text) return std::nullopt;
        std::optional<int> value = parseDecimal(*text);
        if (value) result.fromStore = true;
        return value;
    };

    WindowRect r = request.current;
    if (request.savePosition) {
        r.left = stored(kLeft).value_or(r.left);
        r.top = stored(kTop).value_or(r.top);
    }
    if (request.saveSize) {
        r.right = stored(kRight).value_or(r.right);
        r.bottom = stored(kBottom).value_or(r.bottom);
    } else {
        r.right = r.left + request.current.width();
        r.bottom = r.top + request.current.height();
    }
    // Read whatever saveSize says: a value left by an earlier configuration still counts.
    const std::optional<int> maximized = stored(kMaximized);
    result.maximized = maximized ? *maximized != 0 : request.currentlyMaximized;

    // Without screens (none reported yet) there is no desktop to hold the window to.
    if (request.desktopWidth <= 0 || request.desktopHeight <= 0) {
        result.bounds = r;
        return result;
    }
    // Only the right and bottom edges are held to the desktop; a window partly off the left or top
    // edge stays where it was put (a monitor may lie there).
    if (r.right > request.desktopWidth) {
        r.left -= r.right - request.desktopWidth;
        r.right = request.desktopWidth;
    }
    if (r.bottom > request.desktopHeight) {
        r.top -= r.bottom - request.desktopHeight;
        r.bottom = request.desktopHeight;
    }
    if (result.maximized) r = WindowRect{0, 0, request.desktopWidth, request.desktopHeight};
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
    Point p = proposed;
    if (p.x < limits.left + distance) p.x = limits.left;
    if (p.y < limits.top + distance) p.y = limits.top;
    if (p.y + height > limits.bottom - distance) p.y = limits.bottom - height;
    if (p.x + width > limits.right - distance) p.x = limits.right - width;
    return p;
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
