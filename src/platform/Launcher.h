#pragma once

#include <filesystem>

namespace platform {

// Opens a file or folder with the desktop's default application for it
// (xdg-open semantics), without a shell. Returns false when the opener could
// not be started.
bool OpenWithDefaultApplication(const std::filesystem::path& item);

}  // namespace platform
