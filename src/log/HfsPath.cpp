#include "log/HfsPath.h"

#include <algorithm>

namespace {

constexpr std::string_view kRootVolume = "Root";

}  // namespace

std::optional<std::string> ConvertHFSPathToPosixPath(std::string_view hfsPath) {
    if (!hfsPath.empty() && hfsPath.front() == '/') {
        return std::string(hfsPath);
    }
    if (hfsPath.substr(0, kRootVolume.size()) != kRootVolume) {
        return std::nullopt;
    }
    std::string_view rest = hfsPath.substr(kRootVolume.size());
    if (rest.empty()) {
        return std::string("/");
    }
    if (rest.front() != ':') {
        return std::nullopt;  // another volume, such as "Rootless:x"
    }
    std::string posix;
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the ":" before each name
        const std::string_view name = rest.substr(0, rest.find(':'));
        if (name.empty()) {
            return std::nullopt;
        }
        std::string part(name);
        std::replace(part.begin(), part.end(), '/', ':');
        posix += '/' + part;
        rest.remove_prefix(name.size());
    }
    return posix;
}
