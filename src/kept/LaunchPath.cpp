#include "kept/LaunchPath.h"

#include "platform/Launcher.h"

namespace kept {

std::int32_t LaunchPath(const std::string& path) {
    if (!path.empty()) {
        platform::OpenWithDefaultApplication(path);
    }
    return 0;
}

}  // namespace kept
