#include "prefpane/SoundFiles.h"

#include <canberra.h>

#include <system_error>

namespace prefpane {

std::optional<std::string> FindSoundFile(std::string_view name,
                                         const std::vector<std::filesystem::path>& folders) {
    const std::filesystem::path resource{std::string(name)};
    const std::filesystem::path stem = resource.stem();
    for (const auto& folder : folders) {
        for (const auto& extension :
             {std::string(".oga"), std::string(".wav"), resource.extension().string()}) {
            std::filesystem::path candidate = folder / stem;
            candidate += extension;
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error)) {
                return candidate.string();
            }
        }
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> ProgramSoundFolders() {
    std::vector<std::filesystem::path> folders;
    // Beside the running program first, so an install under any --prefix
    // finds its own sounds whatever prefix the build was configured with.
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(program.parent_path().parent_path() / "share/orbalenstatus/sounds");
    }
    folders.emplace_back(ORBALEN_SOUNDS_INSTALL_DIR);
    folders.emplace_back(ORBALEN_SOUNDS_SOURCE_DIR);
    return folders;
}

void PlaySoundFile(const std::string& path) {
    // One context for the program's life: libcanberra plays asynchronously
    // and the context must outlive the sound.
    static ca_context* context = [] {
        ca_context* made = nullptr;
        if (ca_context_create(&made) != CA_SUCCESS) {
            return static_cast<ca_context*>(nullptr);
        }
        ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "OrbalenStatus",
                                CA_PROP_APPLICATION_ID, "com.kestrune.OrbalenStatus", nullptr);
        return made;
    }();
    if (context) {
        // A missing device answers an error code; there is nothing to tell
        // the user that silence has not already told them.
        ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(), CA_PROP_EVENT_DESCRIPTION,
                        "OrbalenStatus test e-mail", nullptr);
    }
}

}  // namespace prefpane
