// The decisions behind the window-placement component, free of Qt so they can be tested alone:
// the section name, how stored values are read and which are written, where the load puts the
// window, where the magnet lets it go, and where the stores live on disk.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::formsize {

// A window's outer rectangle (frame included) in desktop pixels; right and bottom are exclusive.
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const WindowRect&) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Names of the values in a section.
inline constexpr const char* kLeft = "Left";
inline constexpr const char* kTop = "Top";
inline constexpr const char* kRight = "Right";
inline constexpr const char* kBottom = "Bottom";
inline constexpr const char* kMaximized = "Maximized";

// saveKey, then "-" and the user name when saveUser, then "-" and the computer name when saveMachine.
std::string sectionName(const std::string& saveKey, bool saveUser, const std::string& user, bool saveMachine,
                        const std::string& computer);

// A stored decimal integer: an optional sign and at least one digit, nothing else, within 32 bits.
std::optional<int> parseDecimal(std::string_view text);

// One stored value by name; nullopt when it is missing or cannot be read.
using ValueReader = std::function<std::optional<std::string>(const std::string& name)>;

struct LoadRequest {
    WindowRect current; // the window's bounds now
    bool currentlyMaximized = false;
    bool savePosition = true;
    bool saveSize = true;
    int desktopWidth = 0; // the virtual desktop, all monitors; 0 when no screen is known
    int desktopHeight = 0;
};

struct LoadedPlacement {
    WindowRect bounds;
    bool maximized = false;
    // Whether any usable Left/Top/Right/Bottom/Maximized value was found. When none was, the
    // window should be left where the platform put it.
    bool fromStore = false;
};

// Reads "Left"/"Top" (with savePosition), "Right"/"Bottom" (with saveSize) and always "Maximized";
// a value that is missing or not a decimal integer leaves the current one. The result is kept
// inside the desktop on the right and at the bottom only; a maximized window covers the desktop.
LoadedPlacement loadPlacement(const ValueReader& read, const LoadRequest& request);

struct NamedValue {
    std::string name;
    std::string value;
    bool operator==(const NamedValue&) const = default;
};

// The values the save writes from the window's normal (restored) rectangle, in writing order.
std::vector<NamedValue> placementValues(const WindowRect& normal, bool maximized, bool savePosition,
                                        bool saveSize);

// The part of the primary screen the magnet keeps windows in: the screen less its panels.
struct MagnetLimits {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// screen is the primary screen's rectangle, available the same screen without its panels (taskbar,
// docks); each edge where a panel takes space moves inwards by that panel's thickness.
MagnetLimits magnetLimits(const WindowRect& screen, const WindowRect& available);

// Where a window of the given size proposed at `proposed` is put by the magnet with distance d.
// The rules run left, top, bottom, right, so a window larger than the space ends up on the bottom
// and right limits.
Point magnetPosition(Point proposed, int width, int height, const MagnetLimits& limits, int distance);

// The file that stands for a registry key path (backslash-separated) under the per-user store
// folder: each key becomes a folder level, the last one the file. Empty and "." keys add no level;
// ".." and other names that a file system would read specially are escaped, so the file always lies
// inside storeFolder. Returns an empty string when no key name is left.
std::string registryKeyFile(const std::string& storeFolder, std::string_view keyPath);

// The file an INI store name refers to; backslashes separate folders as on the system the names
// were written for, and a relative name resolves against currentDir.
std::string iniFilePath(const std::string& currentDir, std::string_view saveName);

} // namespace orvex::formsize
