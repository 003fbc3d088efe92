// Orvex's command-line modes: `orvex --help` and the modes that answer one question and end
// (`--connections`, `--route`, `--port`), without a window and without a display. They run before
// the application object exists, so nothing in a mode may need Qt's GUI.
//
// Exit status: 0 success (as the mode defines it), 1 a negative answer (nothing open, the target
// not reached), 2 bad input, with a message on standard error that names what was wrong.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

struct CommandLineMode {
    const char* option; // "--connections"
    const char* usage;  // its lines in `orvex --help`, each ending in '\n'
    // Runs the mode with the arguments after its option; returns the exit status.
    int (*run)(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);
};

// The modes `orvex --help` lists, in that order.
const std::vector<CommandLineMode>& commandLineModes();

// Runs the mode that argv names and returns its exit status; std::nullopt when argv names no mode
// and holds no option Orvex does not know (the window starts then; Qt's own options such as
// `-platform offscreen` pass through).
std::optional<int> runCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);

// For a mode's own argument checks: writes "orvex: MESSAGE" and the hint to `orvex --help` to err
// and returns 2.
int badCommandLine(std::FILE* err, const std::string& message);

} // namespace orvex
