#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controller/AppControllerServices.h"
#include "controller/Desktop.h"
#include "prefpane/PrefControls.h"

namespace prefpane {

// A sound the window plays: the resource it was asked for and its file.
struct Sound {
    std::string resourceName;
    std::string path;
};

// What the preferences logic needs from the rest of the program. Every
// member is called on the GUI thread and returns at once.
struct PrefPaneServices {
    std::string bundleName;
    std::string bundleShortVersion;
    // The controller's last published state; never waits for the controller.
    std::function<controller::AddressState()> publishedState;
    // Posts a notification through the program's notification centre.
    std::function<void(std::string_view name, std::string_view object)> postNotification;
    // Starts one sender and lets it go.
    std::function<void(const controller::MailAlert&)> startMail;
    // The file of a sound resource, if the program has it.
    std::function<std::optional<std::string>(std::string_view resourceName)> pathForSoundResource;
    std::function<void(const Sound&)> playSound;
    // The SMTP password of server and user from the secret store, if any.
    std::function<std::optional<std::string>(const std::string& server, const std::string& user)>
        findPassword;
    // Keeps the password in the secret store; false when there is none, and
    // the password then goes to the settings file.
    std::function<bool(const std::string& server, const std::string& user,
                       const std::string& password)>
        keepPassword;
};

// The preferences window's logic: fills its controls from the settings
// domain, stores each check box when clicked, stores the other fields when a
// window closes and tells the controller, and sends the test e-mail.
class OrbalenStatusPrefPane {
public:
    OrbalenStatusPrefPane(PrefControls& controls, PrefPaneServices services);

    const std::optional<Sound>& completionSound() const { return mailSentSound; }
    const std::optional<Sound>& incompletionSound() const { return mailNotSentSound; }
    PrefControls& window() { return m_window; }

    // Once the window exists: fill it and load the sounds.
    void awakeFromNib();
    void initControls();
    void windowDidBecomeKey();
    // Any window of the program is closing: save, post, then refill (the
    // save must come first or the user's edits would be lost).
    void windowWillClose();

    void sendEmailNotificationsButtonClicked();
    void externalIPButtonClicked();
    void includeCurrentWirelessNetworkButtonClicked();
    void machineNameButtonClicked();
    void emailChangesToExternalIPAddressButtonClicked();
    void titleIconOnlyButtonClicked();
    void displayChangedIconWhenAddressChangeDetected();

    void testEmail();

    // The message for field's current text, or nothing when it may be stored;
    // also shown beside the field.
    std::optional<std::string> checkField(TextField field);

private:
    void storeCheckBox(CheckBox box);
    void storeTypedFields();
    void storePassword();
    std::optional<Sound> loadSound(std::string_view resourceName) const;
    void play(const std::optional<Sound>& sound) const;

    std::string m_appID;
    PrefControls& m_window;
    PrefPaneServices services_;
    std::optional<Sound> mailSentSound;
    std::optional<Sound> mailNotSentSound;
};

}  // namespace prefpane
