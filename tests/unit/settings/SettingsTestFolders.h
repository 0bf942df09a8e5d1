#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/Preferences.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using settings::AppSynchronize;
using settings::CopyAppValue;
using settings::SetAppValue;
using settings::Value;
using testing_support::ReadText;

// Points the user and all-users settings folders at a fresh temporary folder
// for each test, so no test touches the real home or another test's files.
class SettingsTestFolders : public ::testing::Test {
protected:
    std::filesystem::path userFolder() const { return root_ / "config" / "OrbalenStatus"; }
    std::filesystem::path userFile() const {
        return userFolder() / "com.kestrune.OrbalenStatus.json";
    }

    // Stands in for another process: writes the file the way a writer does,
    // through a new file renamed into place.
    static void ReplaceFile(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        testing_support::WriteText(file.string() + ".new", text);
        std::filesystem::rename(file.string() + ".new", file);
    }

    testing_support::TempFolder root_{"settings-test"};
    testing_support::ScopedEnv config_{"XDG_CONFIG_HOME", (root_ / "config").c_str()};
    testing_support::ScopedEnv system_{"XDG_CONFIG_DIRS", (root_ / "system").c_str()};
};
