// The table of command-line modes. Each mode lives in a file of its own and adds one row here.
#include "app/CommandLine.h"
#include "app/TraceCommands.h"

namespace orvex {

extern const CommandLineMode kConnectionsMode;

const std::vector<CommandLineMode>& commandLineModes() {
    static const std::vector<CommandLineMode> modes = {
        kConnectionsMode,
        {"--route",
         "  --route HOST [--rounds N] [--interval MS] [--numeric] [--json]\n"
         "      verfolgt die Route zu HOST N Runden lang (Vorgabe 10, eine Runde je Sekunde)\n"
         "      und zeigt je Hop Adresse, Name, Verlust und Antwortzeiten; --numeric ohne Namen;\n"
         "      Rückgabewert 0, wenn das Ziel antwortet\n\n",
         runRouteCommand},
        {"--port",
         "  --port HOST PORT[-PORT][,PORT...] [--count N] [--timeout MS] [--json]\n"
         "      prüft die TCP-Ports von HOST (bis 1024), N Verbindungsversuche je Port (Vorgabe 3),\n"
         "      Zeitlimit MS (Vorgabe 2000); Rückgabewert 0, wenn ein Port offen ist\n\n",
         runPortCommand},
    };
    return modes;
}

} // namespace orvex
