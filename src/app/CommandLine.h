#pragma once

#include <string>

namespace app {

// The options the program itself answers; anything with a single dash is
// left to Qt (-platform, -display, ...).
struct CommandLine {
    bool headless = false;
    bool standby = false;  // wait for a running instance to end, then start
    bool help = false;
    bool version = false;
    std::string unknownOption;  // the first option we do not know, if any
};

CommandLine ParseCommandLine(int argc, const char* const* argv);
std::string UsageText();

}  // namespace app
