#pragma once

#include <filesystem>
#include <functional>

namespace platform {

// Opens a file or folder with the desktop's default application for it
// (xdg-open semantics), without a shell. Returns false when the opener could
// not be started.
bool OpenWithDefaultApplication(const std::filesystem::path& item);

// The same, and finished(opened) once the opener has ended: true when it
// reported success. finished runs on a thread of its own, and never when
// this returns false.
bool OpenWithDefaultApplication(const std::filesystem::path& item,
                                std::function<void(bool opened)> finished);

}  // namespace platform
