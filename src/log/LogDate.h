#pragma once

#include <chrono>
#include <string>

namespace eventlog {

// Any moment in the form the log's lines carry, local time:
// "2024-05-01 13:45:10 +0200".
std::string LogDateDescriptionAt(std::chrono::system_clock::time_point when);

}  // namespace eventlog
