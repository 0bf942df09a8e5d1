#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace testing_support {

// A private folder for one test under the system temporary folder, removed with
// everything in it when the test is done.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "orbalen") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX"));
        path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    }
    ~TempFolder() {
        std::error_code ignored;  // an empty path removes nothing
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
