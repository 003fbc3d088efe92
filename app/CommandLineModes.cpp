// The table of command-line modes. Each mode lives in a file of its own and adds one row here.
#include "app/CommandLine.h"

namespace orvex {

const std::vector<CommandLineMode>& commandLineModes() {
    static const std::vector<CommandLineMode> modes = {};
    return modes;
}

} // namespace orvex
