#pragma once

#include <string_view>

#include "settings/SettingsKeys.h"

// Every key the program reads, in one table: its stored type, the default a
// reader applies when it is absent, who reads and writes it, and what it
// means. The defaults tool checks writes against it, and README.md and the
// orbalenstatus(1) page carry it word for word (a test compares them), so
// a key added here is documented, and a key documented is one the program
// reads. Several readers of one key may apply different rules (see
// Readers.h): "defaultText" is the one a user meets.
namespace settings {

enum class SettingType {
    Boolean,
    Integer,
    String,
    // Digits as text, as the preferences window stores it, or a number.
    StringOrInteger,
};

struct SettingInfo {
    std::string_view key;
    SettingType type;
    std::string_view defaultText;
    std::string_view readers;
    std::string_view writers;
    std::string_view meaning;
};

// The writer names a user meets.
inline constexpr std::string_view kByWindow = "the preferences window";
inline constexpr std::string_view kByProgram = "the program";
inline constexpr std::string_view kByHand = "orbalenstatus-defaults";

// In the order README.md shows them. No meaning holds "|", a backslash or a
// line break: both documents carry it unchanged.
inline constexpr SettingInfo kSettingsTable[] = {
    {keys::kTitleIconOnly, SettingType::Boolean, "NO", "controller/Title.cpp", kByWindow,
     "Show the icon alone, without the address beside it."},
    {keys::kDisplayChangedIcon, SettingType::Boolean, "NO", "controller/Title.cpp", kByWindow,
     "Swap the icon for the change icon when an address changes."},
    {keys::kIncludeMachineName, SettingType::Boolean, "NO", "controller/Title.cpp", kByWindow,
     "Add the machine name to the title."},
    {keys::kIncludeCurrentWirelessNetwork, SettingType::Boolean, "NO", "controller/Title.cpp",
     kByWindow, "Add the wireless network's name to the title."},
    {keys::kIncludeExternalIP, SettingType::Boolean, "NO", "controller/Menu.cpp", kByWindow,
     "Show the external address and its DNS name in the menu."},
    {keys::kSendEmailNotifications, SettingType::Boolean, "NO", "controller/ExternalMonitor.cpp",
     kByWindow, "E-mail every address change to the recipients in Email."},
    {keys::kEmail, SettingType::String, "(none)", "controller/MailAlerts.cpp", kByWindow,
     "Recipients, separated by commas."},
    {keys::kEmailFrom, SettingType::String, "(the recipient)", "mail/SSMTP.cpp", kByHand,
     "Sender address, for a server that accepts only the account's own."},
    {keys::kMailServer, SettingType::String, "(none)", "mail/SSMTP.cpp, mail/SenderSettings.cpp",
     kByWindow, "SMTP server host name; no e-mail is sent without one."},
    {keys::kPort, SettingType::StringOrInteger, "25", "mail/SSMTP.cpp", kByWindow,
     "SMTP server port, 1-65535; 465 starts TLS at once."},
    {keys::kAuthentication, SettingType::Integer, "(none)", "mail/SSMTP.cpp", kByWindow,
     "0 sends without logging in, 1 logs in with PLAIN, any other number with LOGIN; "
     "without it the server is only greeted and no e-mail is sent."},
    {keys::kUsername, SettingType::String, "(none)", "mail/SSMTP.cpp, mail/SenderSettings.cpp",
     kByWindow, "SMTP user name."},
    {keys::kUserPassword, SettingType::String, "(none)", "mail/SenderSettings.cpp", kByWindow,
     "SMTP password kept in the settings file (plain text); without it the keyring's is used."},
    {keys::kUseSSL, SettingType::Boolean, "YES", "mail/SSMTP.cpp", kByHand,
     "Secure the mail connection with STARTTLS before logging in (port 465 is always secure)."},
    {keys::kAllowUntrustedCertificates, SettingType::Boolean, "NO", "mail/SSMTP.cpp", kByHand,
     "Accept a mail server certificate that cannot be verified, such as a self-signed one."},
    {keys::kEmailChangesToExternalIPAddress, SettingType::Boolean, "NO",
     "controller/ExternalMonitor.cpp", kByWindow,
     "Watch the external address (and e-mail its changes when SendEmailNotifications is on)."},
    {keys::kMinutesInterval, SettingType::Integer, "6", "controller/ExternalMonitor.cpp", kByWindow,
     "Minutes between external address checks, used between 6 and 546."},
    {keys::kExternalIPLookupURL, SettingType::String, "http://checkip.dyndns.org/",
     "controller/ExternalMonitor.cpp", kByHand,
     "Lookup services for the external address, separated by blanks, asked in order."},
    {keys::kNotifyDesktopOnChange, SettingType::Boolean, "NO", "controller/ChangeNotices.cpp",
     kByHand, "Show a desktop notification when an address changes."},
    {keys::kInitialRefresh, SettingType::Integer, "20", "controller/StartUp.cpp", kByProgram,
     "Seconds from start to the first full refresh (stored with 20 when absent)."},
    {keys::kLogToSystemConsole, SettingType::Boolean, "YES", "log/EventLog.cpp", kByHand,
     "Also send each event log line to the system journal."},
    {keys::kLogToPrivateConsoleLog, SettingType::Boolean, "YES", "log/EventLog.cpp", kByHand,
     "Write each event log line to the log file."},
    {keys::kLastIPAddress, SettingType::String, "(none)", "controller/RefreshCycle.cpp", kByProgram,
     "The first internal address the last refresh saw."},
    {keys::kLastExternalIPAddress, SettingType::String, "0.0.0.0", "controller/ExternalMonitor.cpp",
     kByProgram, "The external address the last check saw."},
};

// The entry of key (exact, case and blanks count), or nullptr for a key the
// program does not read.
constexpr const SettingInfo* FindSetting(std::string_view key) {
    for (const SettingInfo& entry : kSettingsTable) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// "boolean", "integer", "string", "string or integer".
std::string_view TypeName(SettingType type);

}  // namespace settings
