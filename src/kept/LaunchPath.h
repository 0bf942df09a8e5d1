#pragma once

#include <cstdint>
#include <string>

namespace kept {

// Opens the file at a POSIX path with its default application. The open's
// own outcome is not waited for; an empty path does nothing. Always 0.
std::int32_t LaunchPath(const std::string& path);

}  // namespace kept
