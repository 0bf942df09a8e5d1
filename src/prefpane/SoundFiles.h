#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace prefpane {

// The file of the sound resource name ("Mail Sent.aiff"): the first of
// name's stem with .oga, .wav or its own extension found in folders, in
// order.
std::optional<std::string> FindSoundFile(std::string_view name,
                                         const std::vector<std::filesystem::path>& folders);

// The program's sound folders: share/orbalenstatus/sounds beside the running
// program, the configured install folder, then the source tree's (for a
// program run from its build folder).
std::vector<std::filesystem::path> ProgramSoundFolders();

// Plays the file through libcanberra and returns at once; without an audio
// device nothing is heard and nothing is reported.
void PlaySoundFile(const std::string& path);

}  // namespace prefpane
