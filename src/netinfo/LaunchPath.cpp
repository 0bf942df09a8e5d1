#include "netinfo/LaunchPath.h"

#include "platform/Launcher.h"

namespace netinfo {

std::int32_t LaunchPath(const std::string& path) {
    if (!path.empty()) {
        platform::OpenWithDefaultApplication(path);
    }
    return 0;
}

}  // namespace netinfo
