#include "prefpane/DefaultServices.h"

#include <filesystem>
#include <memory>

#include "mail/SenderSettings.h"
#include "platform/Autostart.h"
#include "prefpane/SoundFiles.h"

namespace prefpane {

namespace {

// The entry the session reads at login; the same name as the system-wide
// one installed with the program, so ours stands for it.
constexpr const char* kAutostartFile = "com.kestrune.OrbalenStatus.desktop";

std::optional<std::string> AutostartEntryText() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto exec = error ? std::nullopt : platform::AutostartExec(program);
    if (!exec) {
        return std::nullopt;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=OrbalenStatus\n"
           "Comment=Shows this machine's IPv4 address in the panel and tells you when it changes\n"
           "Exec=" +
           *exec +
           "\n"
           "Icon=orbalenstatus-panel\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n"
           "X-GNOME-Autostart-Delay=5\n";
}

}  // namespace

PrefPaneServices DefaultPrefPaneServices(std::string bundleName, std::string version) {
    PrefPaneServices services;
    services.bundleName = std::move(bundleName);
    services.bundleShortVersion = std::move(version);
    services.pathForSoundResource = [](std::string_view name) {
        return FindSoundFile(name, ProgramSoundFolders());
    };
    services.playSound = [](const Sound& sound) { PlaySoundFile(sound.path); };
    services.findPassword = mail::FindStoredPassword;
    services.keepPassword = mail::KeepPasswordInStore;
    services.forgetPassword = mail::ForgetStoredPassword;
    const auto entryText = AutostartEntryText();
    const auto autostart = std::make_shared<platform::AutostartEntry>(
        platform::DefaultAutostartFolders(), kAutostartFile, entryText.value_or(""));
    services.startsAtLogin = [autostart] { return autostart->enabled(); };
    services.setStartAtLogin = [autostart, known = entryText.has_value()](bool on) {
        return known ? autostart->setEnabled(on)
                     : std::optional<std::string>("The program's own path is not known.");
    };
    return services;
}

}  // namespace prefpane
