#pragma once

#include <string_view>

// Every key of the settings domain, exactly as stored (case and blanks count),
// and the notification that tells the program its settings were edited.
namespace settings::keys {

// Display and title flags (booleans)
inline constexpr std::string_view kTitleIconOnly = "TitleIconOnly";
inline constexpr std::string_view kDisplayChangedIcon =
    "DisplayChangedIconWhenAddressChangeDetected";
inline constexpr std::string_view kIncludeMachineName = "IncludeMachineName";
inline constexpr std::string_view kIncludeCurrentWirelessNetwork = "IncludeCurrentWirelessNetwork";
inline constexpr std::string_view kIncludeExternalIP = "IncludeExternalIP";

// E-mail notification
inline constexpr std::string_view kSendEmailNotifications = "SendEmailNotifications";  // boolean
inline constexpr std::string_view kEmail = "Email";            // string, recipients split at ","
inline constexpr std::string_view kMailServer = "MailServer";  // string
inline constexpr std::string_view kPort = "Port";              // string of digits, or number
inline constexpr std::string_view kAuthentication =
    "Authentication";                                      // number: 0 none, 1 PLAIN, else LOGIN
inline constexpr std::string_view kUsername = "Username";  // string
inline constexpr std::string_view kUserPassword = "UserPassword";  // string

// External address monitor
inline constexpr std::string_view kEmailChangesToExternalIPAddress =
    "EmailChangesToExternalIPAddress";                                   // boolean
inline constexpr std::string_view kMinutesInterval = "MinutesInterval";  // number

// Remembered addresses (strings, written by the program)
inline constexpr std::string_view kLastIPAddress = "LastIPAddress";
inline constexpr std::string_view kLastExternalIPAddress = "LastExternalIPAddress";

// User defaults: no window edits these
inline constexpr std::string_view kInitialRefresh = "Initial Refresh";         // number, seconds
inline constexpr std::string_view kUseSSL = "useSSL";                          // boolean
inline constexpr std::string_view kLogToSystemConsole = "logToSystemConsole";  // boolean
inline constexpr std::string_view kLogToPrivateConsoleLog = "logToPrivateConsoleLog";  // boolean
inline constexpr std::string_view kExternalIPLookupURL = "ExternalIPLookupURL";        // string
inline constexpr std::string_view kAllowUntrustedCertificates =
    "allowUntrustedCertificates";                                                    // boolean
inline constexpr std::string_view kNotifyDesktopOnChange = "NotifyDesktopOnChange";  // boolean

// Posted on the distributed notification centre once edited settings are saved.
inline constexpr std::string_view kPreferencesChangedName = "Preferences Changed";
inline constexpr std::string_view kPreferencesChangedObject =
    "com.kestrune.preference.OrbalenStatus";

// Mail sender address for submission servers that accept only the account's
// own (string, user default; absent: the recipient's address)
inline constexpr std::string_view kEmailFrom = "EmailFrom";

}  // namespace settings::keys
