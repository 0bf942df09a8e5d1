#include "app/CommandLine.h"

#include <string_view>

#include "app/AppInfo.h"

namespace app {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--standby") {
            line.standby = true;
        } else if (arg.starts_with("--") && line.unknownOption.empty()) {
            line.unknownOption = arg;
        }
    }
    return line;
}

std::string UsageText() {
    return std::string("usage: orbalenstatus [--headless] [--standby] [--help] [--version]\n\n") +
           kSummary +
           "\n\n"
           "  --headless  run without a panel item: monitoring, logging and e-mail only\n"
           "              (also the case without a display or with QT_QPA_PLATFORM=offscreen)\n"
           "  --standby   when another instance runs, wait for it to end, then start\n"
           "              (an instance without a panel item also steps aside this way\n"
           "              when one with a panel item starts, and comes back after it)\n"
           "  --help      show this text and exit\n"
           "  --version   show the version and exit\n\n"
           "Settings: orbalenstatus-defaults; after editing them, `orbalenstatus-defaults notify`\n"
           "makes a running instance reload them. One instance runs per user session.\n";
}

}  // namespace app
