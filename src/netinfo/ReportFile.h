#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace netinfo {

// The wireless report is kept in "systemDump_forOrbalen.txt" inside the
// private "orbalen" folder of the user's temporary folder. The folder is made
// 0700 when missing; an "orbalen" that is a link, not a folder, or someone
// else's is refused, and the file is reached only through the opened folder,
// so nobody can redirect the write elsewhere.

// Replaces the report file with report. False when it could not be written.
bool WriteReportFile(const std::filesystem::path& temporaryFolder, std::string_view report);

// The report file's bytes (at most 1 MiB), or nothing.
std::optional<std::string> ReadReportFile(const std::filesystem::path& temporaryFolder);

}  // namespace netinfo
