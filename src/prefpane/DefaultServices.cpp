#include "prefpane/DefaultServices.h"

#include "mail/SenderSettings.h"
#include "prefpane/SoundFiles.h"

namespace prefpane {

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
    return services;
}

}  // namespace prefpane
