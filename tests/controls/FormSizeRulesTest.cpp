#include "controls/FormSizeRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

using namespace orvex::formsize;

namespace {

ValueReader storeOf(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

} // namespace

TEST(FormSizeRules, SectionNameJoinsKeyUserAndComputer) {
    struct Case {
        bool user, machine;
        const char* expected;
    } cases[] = {
        {false, false, "Orvex"},
        {true, false, "Orvex-anna"},
        {false, true, "Orvex-WS1"},
        {true, true, "Orvex-anna-WS1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sectionName("Orvex", c.user, "anna", c.machine, "WS1"), c.expected);
    // An empty name still gets its hyphen, so the place of each part stays fixed.
    EXPECT_EQ(sectionName("Form1", true, "", true, "ws"), "Form1--ws");
}

TEST(FormSizeRules, ParseDecimalAcceptsOnlyWholeDecimalNumbers) {
    struct Case {
        const char* text;
        std::optional<int> expected;
    } cases[] = {
        {"0", 0},
        {"123", 123},
        {"-40", -40},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {" 12", std::nullopt},
        {"12 ", std::nullopt},
        {"12px", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDecimal(c.text), c.expected) << '"' << c.text << '"';
}

TEST(FormSizeRules, LoadRules) {
    // A 392 x 470 window where the platform put it, on a 1280 x 1024 desktop. Stored values are
    // written "Name=value;..."; M is whether the window ends maximized, S whether anything usable
    // was stored.
    const WindowRect current{100, 50, 492, 520};
    const WindowRect desktop{0, 0, 1280, 1024};
    struct Case {
        const char* what;
        const char* stored;
        bool saveSize, wasMaximized;
        WindowRect bounds;
        bool M, S;
    } cases[] = {
        // clang-format off
        {"nothing stored",                 "",                   false, false, current, false, false},
        {"position only keeps the size",   "Left=300;Top=200",   false, false, {300, 200, 692, 670}, false, true},
        {"right edge beyond the desktop",  "Left=1000;Top=10",   false, false, {888, 10, 1280, 480}, false, true},
        {"bottom edge beyond the desktop", "Left=10;Top=900",    false, false, {10, 554, 402, 1024}, false, true},
        {"negative left and top kept",     "Left=-300;Top=-20",  false, false, {-300, -20, 92, 450}, false, true},
        {"garbage keeps the current value", "Left=12abc;Top=77", false, false, {100, 77, 492, 547}, false, true},
        {"only garbage is nothing stored", "Left=x;Top=",        false, false, current, false, false},
        {"size ignored without SaveSize",  "Left=10;Top=20;Right=900;Bottom=800", false, false, {10, 20, 402, 490}, false, true},
        {"size read with SaveSize",        "Left=10;Top=20;Right=900;Bottom=800", true, false, {10, 20, 900, 800}, false, true},
        {"bad Right keeps the current edge", "Left=10;Top=20;Right=w;Bottom=800", true, false, {10, 20, 492, 800}, false, true},
        {"too wide hangs off the left",    "Left=0;Top=0;Right=1500;Bottom=600", true, false, {-220, 0, 1280, 600}, false, true},
        {"leftover Maximized=1 without SaveSize", "Left=10;Top=20;Maximized=1", false, false, desktop, true, true},
        {"any number but 0 is maximized",  "Maximized=-3",       false, false, desktop, true, true},
        {"a stored 0 restores",            "Maximized=0",        true, true, current, false, true},
        {"a bad Maximized keeps the state", "Maximized=yes",     true, true, desktop, true, false},
        {"largest Top comes up to the bottom", "Left=10;Top=2147483647", false, false, {10, 554, 402, 1024}, false, true},
        {"largest Left comes in from the right", "Left=2147483647;Top=10", false, false, {888, 10, 1280, 480}, false, true},
        {"smallest Top comes down to the top", "Left=10;Top=-2147483648", false, false, {10, 0, 402, 470}, false, true},
        {"smallest Left comes to the left edge", "Left=-2147483648;Top=10", false, false, {0, 10, 392, 480}, false, true},
        {"wholly off the left edge comes back", "Left=-392;Top=-470", false, false, {0, 0, 392, 470}, false, true},
        {"beyond 32 bits is not a number", "Left=99999999999;Top=-2147483649", false, false, current, false, false},
        {"extreme edges with SaveSize", "Left=-2147483648;Top=-2147483648;Right=2147483647;Bottom=2147483647", true, false, {0, 0, 1 << 24, 1 << 24}, false, true},
        {"extreme edges the other way", "Left=2147483647;Top=2147483647;Right=-2147483648;Bottom=-2147483648", true, false, {1279, 1023, 1279, 1023}, false, true},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> stored;
        std::string text = c.stored;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find(';', start);
            if (end == std::string::npos) end = text.size();
            const std::string item = text.substr(start, end - start);
            stored[item.substr(0, item.find('='))] = item.substr(item.find('=') + 1);
            start = end + 1;
        }
        LoadRequest request;
        request.current = current;
        request.currentlyMaximized = c.wasMaximized;
        request.saveSize = c.saveSize;
        request.desktopWidth = desktop.right;
        request.desktopHeight = desktop.bottom;
        const LoadedPlacement placed = loadPlacement(storeOf(stored), request);
        EXPECT_EQ(placed.bounds, c.bounds)
            << c.what << ": got " << placed.bounds.left << ',' << placed.bounds.top << ','
            << placed.bounds.right << ',' << placed.bounds.bottom;
        EXPECT_EQ(placed.maximized, c.M) << c.what;
        EXPECT_EQ(placed.fromStore, c.S) << c.what;
    }
}

TEST(FormSizeRules, LoadWithoutKnownDesktopDoesNotPullTheWindowOffScreen) {
    LoadRequest request;
    request.current = {10, 10, 410, 310};
    request.saveSize = false;
    const auto placed = loadPlacement(storeOf({{"Left", "500"}, {"Top", "400"}}), request);
    EXPECT_EQ(placed.bounds, (WindowRect{500, 400, 900, 700}));
    // Stored extremes stay far from the limits of int, so the toolkit's own sums cannot overflow.
    const auto extreme = loadPlacement(storeOf({{"Left", "2147483647"}, {"Top", "-2147483648"}}), request);
    EXPECT_EQ(extreme.bounds, (WindowRect{1 << 24, -(1 << 24), (1 << 24) + 400, -(1 << 24) + 300}));
}

TEST(FormSizeRules, SaveWritesTheAskedValuesAsDecimalText) {
    const WindowRect normal{-8, 1030, 384, 1500};
    EXPECT_EQ(placementValues(normal, false, true, false),
              (std::vector<NamedValue>{{"Left", "-8"}, {"Top", "1030"}}));
    EXPECT_EQ(
        placementValues(normal, true, true, true),
        (std::vector<NamedValue>{
            {"Left", "-8"}, {"Top", "1030"}, {"Right", "384"}, {"Bottom", "1500"}, {"Maximized", "1"}}));
    EXPECT_EQ(placementValues(normal, false, false, true),
              (std::vector<NamedValue>{{"Right", "384"}, {"Bottom", "1500"}, {"Maximized", "0"}}));
    EXPECT_TRUE(placementValues(normal, true, false, false).empty());
}

TEST(FormSizeRules, MagnetLimitsFollowThePanels) {
    const WindowRect screen{0, 0, 1280, 1024};
    struct Case {
        const char* what;
        WindowRect available;
        int left, top, right, bottom;
    } cases[] = {
        {"no panel", {0, 0, 1280, 1024}, 0, 0, 1280, 1024},
        {"panel at the bottom", {0, 0, 1280, 984}, 0, 0, 1280, 984},
        {"panel at the top", {0, 28, 1280, 1024}, 0, 28, 1280, 1024},
        {"panel on the left", {64, 0, 1280, 1024}, 64, 0, 1280, 1024},
        {"panel on the right", {0, 0, 1200, 1024}, 0, 0, 1200, 1024},
        {"top bar and left dock", {70, 27, 1280, 1024}, 70, 27, 1280, 1024},
    };
    for (const auto& c : cases) {
        const MagnetLimits limits = magnetLimits(screen, c.available);
        EXPECT_EQ(limits.left, c.left) << c.what;
        EXPECT_EQ(limits.top, c.top) << c.what;
        EXPECT_EQ(limits.right, c.right) << c.what;
        EXPECT_EQ(limits.bottom, c.bottom) << c.what;
    }
}

TEST(FormSizeRules, MagnetRules) {
    const MagnetLimits bottomPanel{0, 0, 1280, 984};
    struct Case {
        const char* what;
        Point proposed;
        int width, height;
        Point expected;
    } cases[] = {
        {"free in the middle", {400, 300}, 400, 300, {400, 300}},
        {"within 32 px of the panel: bottom rests on the panel", {400, 984 - 300 - 31}, 400, 300, {400, 684}},
        {"exactly 32 px above the panel stays", {400, 984 - 300 - 32}, 400, 300, {400, 652}},
        {"overlapping the panel is pulled up", {400, 900}, 400, 300, {400, 684}},
        {"near the left edge", {31, 300}, 400, 300, {0, 300}},
        {"32 px from the left edge stays", {32, 300}, 400, 300, {32, 300}},
        {"off the left edge", {-50, 300}, 400, 300, {0, 300}},
        {"near the top edge", {400, 10}, 400, 300, {400, 0}},
        {"near the right edge", {1280 - 400 - 5, 300}, 400, 300, {880, 300}},
        {"near a corner", {1280 - 400 - 5, 984 - 300 - 5}, 400, 300, {880, 684}},
        {"taller than the space ends on the bottom limit", {400, 100}, 400, 1100, {400, -116}},
        {"wider than the space ends on the right limit", {100, 300}, 1400, 300, {-120, 300}},
    };
    for (const auto& c : cases) {
        const Point p = magnetPosition(c.proposed, c.width, c.height, bottomPanel, 32);
        EXPECT_EQ(p, c.expected) << c.what << ": got " << p.x << ',' << p.y;
    }
    // Left and top limits come from panels on those edges.
    EXPECT_EQ(magnetPosition({80, 40}, 100, 100, MagnetLimits{64, 28, 1280, 1024}, 32), (Point{64, 28}));
    EXPECT_EQ(magnetPosition({5, 5}, 100, 100, MagnetLimits{0, 0, 1280, 1024}, 0), (Point{5, 5}));
    constexpr int kMax = std::numeric_limits<int>::max();
    EXPECT_EQ(magnetPosition({kMax, kMax}, kMax, kMax, bottomPanel, kMax), (Point{1280 - kMax, 984 - kMax}));
}

TEST(FormSizeRules, RegistryKeyPathsMapToFilesInsideTheStoreFolder) {
    struct Case {
        const char* keyPath;
        const char* expected;
    } cases[] = {
        {".\\FORM.INI", "/cfg/orvex/FORM.INI"},
        {"FORM.INI", "/cfg/orvex/FORM.INI"},
        {"Software\\Maker\\Orvex", "/cfg/orvex/Software/Maker/Orvex"},
        {"\\Software\\\\Orvex\\", "/cfg/orvex/Software/Orvex"},
        {"..\\..\\etc\\passwd", "/cfg/orvex/%2E%2E/%2E%2E/etc/passwd"},
        {"a/b", "/cfg/orvex/a%2Fb"},
        {"100%", "/cfg/orvex/100%25"},
        {"...", "/cfg/orvex/..."},
        {"", ""},
        {".", ""},
        {".\\.\\", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(registryKeyFile("/cfg/orvex", c.keyPath), c.expected) << c.keyPath;
}

TEST(FormSizeRules, IniNamesResolveAgainstTheCurrentDirectory) {
    EXPECT_EQ(iniFilePath("/home/anna", ".\\FORM.INI"), "/home/anna/./FORM.INI");
    EXPECT_EQ(iniFilePath("/home/anna/", "conf\\place.ini"), "/home/anna/conf/place.ini");
    EXPECT_EQ(iniFilePath("/home/anna", "/etc/orvex.ini"), "/etc/orvex.ini");
}
