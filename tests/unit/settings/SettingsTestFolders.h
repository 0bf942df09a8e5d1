#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Points the user and all-users settings folders at fresh temporary folders
// for each test, so no test touches the real home or another test's files.
class SettingsTestFolders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/settings-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        std::filesystem::create_directories(root_ / "config");
        std::filesystem::create_directories(root_ / "system");
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (root_ / "system").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::filesystem::path userFolder() const { return root_ / "config" / "OrbalenStatus"; }
    std::filesystem::path userFile() const {
        return userFolder() / "com.kestrune.OrbalenStatus.json";
    }
    std::filesystem::path systemFile() const {
        return root_ / "system" / "OrbalenStatus" / "com.kestrune.OrbalenStatus.json";
    }

    // Stands in for another process: writes the file the way a writer does,
    // through a new file renamed into place.
    static void ReplaceFile(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        const auto temp = file.string() + ".new";
        std::ofstream(temp) << text;
        std::filesystem::rename(temp, file);
    }
    static std::string ReadText(const std::filesystem::path& file) {
        std::stringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }

    std::filesystem::path root_;
};
