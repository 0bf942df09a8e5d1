#pragma once

#include <string>

namespace prefpane {

// The window's text fields, by the setting they show.
enum class TextField {
    VersionInfo,
    LastIPAddress,
    LastExternalIPAddress,
    MailServer,
    Port,
    Username,
    Password,
    Email,
    MinutesInterval,
};

// The window's check boxes, by the setting each one stores.
enum class CheckBox {
    SendEmailNotifications,
    IncludeExternalIP,
    IncludeMachineName,
    IncludeCurrentWirelessNetwork,
    EmailChangesToExternalIPAddress,
    TitleIconOnly,
    DisplayChangedIcon,
    // Not a setting: the user's choice to keep the SMTP password in the
    // settings file rather than in the keyring.
    PasswordInFile,
    // Not a setting either: whether the session starts the program at login
    // (its autostart entry).
    StartAtLogin,
};

// The controls the preferences logic reads and fills. The Qt window is one;
// tests use a plain record.
class PrefControls {
public:
    virtual ~PrefControls() = default;

    virtual std::string text(TextField field) const = 0;
    virtual void setText(TextField field, const std::string& text) = 0;
    virtual bool isChecked(CheckBox box) const = 0;
    virtual void setChecked(CheckBox box, bool on) = 0;
    // The authentication pop-up: 0 none, 1 PLAIN, 2 LOGIN.
    virtual int authenticationIndex() const = 0;
    virtual void selectAuthentication(int index) = 0;
    // A message beside field; empty clears it.
    virtual void showProblem(TextField field, const std::string& message) = 0;
    // A message under box; empty clears it.
    virtual void showProblem(CheckBox box, const std::string& message) = 0;
    // How the test e-mails are going, one line per recipient.
    virtual void showMailStatus(const std::string& lines) = 0;
};

}  // namespace prefpane
