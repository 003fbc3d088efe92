#include "app/CommandLine.h"

#include <cstring>

namespace orvex {

namespace {

// Qt's own options (QGuiApplication and QApplication take them out of argv); with a value where
// the option takes one.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"reverse", false},
    {"session", true},         {"display", true},
    {"geometry", true},        {"style", true},
    {"stylesheet", true},      {"widgetcount", false},
    {"nograb", false},         {"dograb", false},
    {"sync", false},           {"name", true},
    {"title", true},           {"visual", true},
    {"ncols", true},           {"cmap", false},
    {"graphicssystem", true},
};

const QtOption* qtOption(const char* argument) {
    const char* name = argument + 1;
    if (*name == '-') ++name;
    for (const QtOption& option : kQtOptions)
        if (std::strcmp(name, option.name) == 0) return &option;
    return nullptr;
}

int printHelp(std::FILE* out) {
    std::fputs("Aufruf: orvex [OPTION]\n"
               "Ohne Option öffnet Orvex sein Fenster. Mit einer dieser Optionen beantwortet es eine "
               "Frage auf der Konsole und endet, ohne Fenster und ohne Bildschirm:\n\n",
               out);
    for (const CommandLineMode& mode : commandLineModes())
        std::fputs(mode.usage, out);
    std::fputs("  --help\n"
               "      zeigt diese Hilfe\n\n"
               "Rückgabewert: 0 Erfolg, 1 keine positive Antwort (siehe die Option), 2 falsche Eingabe.\n",
               out);
    return 0;
}

} // namespace

int badCommandLine(std::FILE* err, const std::string& message) {
    std::fprintf(err, "orvex: %s\n'orvex --help' zeigt die Optionen.\n", message.c_str());
    return 2;
}

std::optional<int> runCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) return std::nullopt;
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") return printHelp(out);
    for (const CommandLineMode& mode : commandLineModes()) {
        if (first == mode.option) return mode.run({argv + 2, argv + argc}, out, err);
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || argv[i][1] == '\0') continue;
        const QtOption* option = qtOption(argv[i]);
        if (option == nullptr) return badCommandLine(err, "unbekannte Option '" + std::string(argv[i]) + "'");
        if (option->takesValue) ++i;
    }
    return std::nullopt;
}

} // namespace orvex
