#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controller/AppControllerServices.h"
#include "controller/Desktop.h"
#include "mail/SSMTP.h"
#include "mail/SenderSettings.h"
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
    // Starts one sender and lets it go; progress, when set, is called on the
    // GUI thread as its conversation goes, while the window exists.
    using MailProgressHandler = std::function<void(const mail::MailProgress&)>;
    std::function<void(const controller::MailAlert&, MailProgressHandler progress)> startMail;
    // The file of a sound resource, if the program has it.
    std::function<std::optional<std::string>(std::string_view resourceName)> pathForSoundResource;
    std::function<void(const Sound&)> playSound;
    // The secret store's answer for server and user (never prompts).
    std::function<mail::StoredPassword(const std::string& server, const std::string& user)>
        findPassword;
    // Keeps the password in the secret store (the service may prompt to
    // unlock); the keychain status, 0 when kept.
    std::function<std::int32_t(const std::string& server, const std::string& user,
                               const std::string& password)>
        keepPassword;
    // Removes the stored password; 0 also when there was none.
    std::function<std::int32_t(const std::string& server, const std::string& user)> forgetPassword;
    // Whether the session starts the program at login, and the change of it
    // (an error message, or nothing once done).
    std::function<bool()> startsAtLogin;
    std::function<std::optional<std::string>(bool on)> setStartAtLogin;
};

// The preferences window's logic: fills its controls from the settings
// domain each time the window becomes key, stores each check box when
// clicked, stores the fields the user changed when the window closes (what
// other programs wrote meanwhile survives) and tells the controller, and
// sends the test e-mail, showing how each conversation goes.
//
// The SMTP password lives in the keyring unless the user chose the settings
// file; a password the keyring refused is never written to the file behind
// the user's back: the window says why and stays open.
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
    // The window is closing: save what changed and post. False when the typed
    // password could not be kept: its note says why and the window stays
    // open, the password still in its field.
    bool windowWillClose();

    void sendEmailNotificationsButtonClicked();
    void externalIPButtonClicked();
    void includeCurrentWirelessNetworkButtonClicked();
    void machineNameButtonClicked();
    void emailChangesToExternalIPAddressButtonClicked();
    void titleIconOnlyButtonClicked();
    void displayChangedIconWhenAddressChangeDetected();
    void startAtLoginButtonClicked();

    void testEmail();

    // The message for field's current text, or nothing when it may be stored;
    // also shown beside the field.
    std::optional<std::string> checkField(TextField field);

private:
    // What the controls were filled with, to tell the user's changes.
    struct Shown {
        std::map<TextField, std::string> texts;
        std::map<CheckBox, bool> boxes;
        int authentication = 0;
        bool authenticationStored = false;  // else "None" is shown, not stored
    };

    void fillPassword(const std::optional<std::string>& server,
                      const std::optional<std::string>& user);
    void storeCheckBox(CheckBox box);
    void showStartAtLogin(const std::string& problem);
    void storeTypedFields();
    bool changed(TextField field) const;
    bool storePassword();
    bool refused(std::int32_t status);
    void mailProgress(unsigned test, std::size_t index, const mail::MailProgress& progress);
    void showMailStatus();
    std::optional<Sound> loadSound(std::string_view resourceName) const;
    void play(const std::optional<Sound>& sound) const;

    std::string m_appID;
    PrefControls& m_window;
    PrefPaneServices services_;
    std::optional<Sound> mailSentSound;
    std::optional<Sound> mailNotSentSound;
    Shown shown_;
    // The last test: each recipient and how its conversation goes.
    unsigned test_ = 0;
    std::vector<std::pair<std::string, std::string>> mailStatus_;
};

}  // namespace prefpane
