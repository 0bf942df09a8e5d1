#include "prefpane/OrbalenStatusPrefPane.h"

#include <cmath>
#include <limits>
#include <utility>

#include "netinfo/Keychain.h"
#include "prefpane/FieldChecks.h"
#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"

namespace prefpane {

namespace keys = settings::keys;

namespace {

constexpr std::string_view kMailSentSound = "Mail Sent.aiff";
constexpr std::string_view kMailNotSentSound = "Mail Not Sent.aiff";

struct BoxKey {
    CheckBox box;
    std::string_view key;
};

// In the order the controls are filled.
constexpr BoxKey kBoxesToFill[] = {
    {CheckBox::TitleIconOnly, keys::kTitleIconOnly},
    {CheckBox::DisplayChangedIcon, keys::kDisplayChangedIcon},
    {CheckBox::SendEmailNotifications, keys::kSendEmailNotifications},
    {CheckBox::IncludeExternalIP, keys::kIncludeExternalIP},
    {CheckBox::IncludeCurrentWirelessNetwork, keys::kIncludeCurrentWirelessNetwork},
    {CheckBox::IncludeMachineName, keys::kIncludeMachineName},
    {CheckBox::EmailChangesToExternalIPAddress, keys::kEmailChangesToExternalIPAddress},
};

// The check boxes a closing window stores, in that order; the other two are
// stored only by their own clicks.
constexpr BoxKey kBoxesSavedOnClose[] = {
    {CheckBox::SendEmailNotifications, keys::kSendEmailNotifications},
    {CheckBox::IncludeExternalIP, keys::kIncludeExternalIP},
    {CheckBox::IncludeMachineName, keys::kIncludeMachineName},
    {CheckBox::IncludeCurrentWirelessNetwork, keys::kIncludeCurrentWirelessNetwork},
    {CheckBox::EmailChangesToExternalIPAddress, keys::kEmailChangesToExternalIPAddress},
};

constexpr TextField kTextFields[] = {
    TextField::MailServer, TextField::Port,  TextField::Username,
    TextField::Password,   TextField::Email, TextField::MinutesInterval,
};
constexpr CheckBox kAllBoxes[] = {
    CheckBox::SendEmailNotifications,
    CheckBox::IncludeExternalIP,
    CheckBox::IncludeMachineName,
    CheckBox::IncludeCurrentWirelessNetwork,
    CheckBox::EmailChangesToExternalIPAddress,
    CheckBox::TitleIconOnly,
    CheckBox::DisplayChangedIcon,
    CheckBox::PasswordInFile,
};

std::string_view KeyOf(CheckBox box) {
    for (const BoxKey& entry : kBoxesToFill) {
        if (entry.box == box) {
            return entry.key;
        }
    }
    return {};
}

std::optional<std::string> StringSetting(std::string_view key, std::string_view domain) {
    const auto value = settings::CopyAppValue(key, domain);
    if (const auto* text = value ? std::get_if<std::string>(&*value) : nullptr) {
        return *text;
    }
    return std::nullopt;
}

bool IsNumber(const settings::Value& value) {
    return std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value);
}

// A stored number read exactly as a 16-bit integer, or nothing.
std::optional<std::int16_t> Exact16(const settings::Value& value) {
    using Limits = std::numeric_limits<std::int16_t>;
    double number = 0;
    if (const auto* whole = std::get_if<std::int64_t>(&value)) {
        number = static_cast<double>(*whole);
    } else if (const auto* real = std::get_if<double>(&value)) {
        number = *real;
    }
    if (number != std::trunc(number) || number < Limits::min() || number > Limits::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(number);
}

// The pop-up's index for a stored number: any mode past LOGIN means LOGIN.
std::optional<int> AuthenticationIndex(const settings::Value& value) {
    double number = 0;
    if (const auto* whole = std::get_if<std::int64_t>(&value)) {
        number = static_cast<double>(*whole);
    } else if (const auto* real = std::get_if<double>(&value)) {
        number = *real;
    } else {
        return std::nullopt;
    }
    if (!(number >= 0)) {
        return std::nullopt;
    }
    return number >= 2 ? 2 : static_cast<int>(number);
}

}  // namespace

OrbalenStatusPrefPane::OrbalenStatusPrefPane(PrefControls& controls, PrefPaneServices services)
    : m_window(controls), services_(std::move(services)) {}

void OrbalenStatusPrefPane::awakeFromNib() {
    m_appID = std::string(settings::kDomain);
    initControls();
    mailSentSound = loadSound(kMailSentSound);
    mailNotSentSound = loadSound(kMailNotSentSound);
}

void OrbalenStatusPrefPane::initControls() {
    // Picks up what other programs wrote since the window last showed.
    settings::AppSynchronize(m_appID);
    m_window.setText(TextField::VersionInfo,
                     services_.bundleName + " " + services_.bundleShortVersion);
    for (const BoxKey& entry : kBoxesToFill) {
        const auto value = settings::CopyAppValue(entry.key, m_appID);
        const auto* flag = value ? std::get_if<bool>(&*value) : nullptr;
        m_window.setChecked(entry.box, flag && *flag);
    }

    const auto interval = settings::CopyAppValue(keys::kMinutesInterval, m_appID);
    if (!interval || !IsNumber(*interval)) {
        m_window.setText(TextField::MinutesInterval, "6");
    } else if (const auto minutes = Exact16(*interval)) {
        m_window.setText(TextField::MinutesInterval, std::to_string(*minutes));
    }

    const auto server = StringSetting(keys::kMailServer, m_appID);
    m_window.setText(TextField::MailServer, server.value_or(""));
    m_window.setText(TextField::Port, StringSetting(keys::kPort, m_appID).value_or("25"));
    shown_.authenticationStored = false;
    if (const auto mode = settings::CopyAppValue(keys::kAuthentication, m_appID)) {
        if (const auto index = AuthenticationIndex(*mode)) {
            m_window.selectAuthentication(*index);
            shown_.authenticationStored = true;
        }
    }
    const auto user = StringSetting(keys::kUsername, m_appID);
    m_window.setText(TextField::Username, user.value_or(""));
    fillPassword(server, user);
    m_window.setText(TextField::Email, StringSetting(keys::kEmail, m_appID).value_or(""));

    // The controller's state only when the store has none.
    const controller::AddressState state =
        services_.publishedState ? services_.publishedState() : controller::AddressState{};
    auto lastAddress = StringSetting(keys::kLastIPAddress, m_appID);
    if (!lastAddress && !state.addresses.empty()) {
        lastAddress = state.addresses.front();
    }
    m_window.setText(TextField::LastIPAddress, lastAddress.value_or(""));
    auto lastExternal = StringSetting(keys::kLastExternalIPAddress, m_appID);
    m_window.setText(TextField::LastExternalIPAddress,
                     lastExternal ? *lastExternal : state.externalAddress.value_or(""));

    for (TextField field : {TextField::Port, TextField::MinutesInterval, TextField::Email}) {
        m_window.showProblem(field, "");
    }
    for (TextField field : kTextFields) {
        shown_.texts[field] = m_window.text(field);
    }
    for (CheckBox box : kAllBoxes) {
        shown_.boxes[box] = m_window.isChecked(box);
    }
    shown_.authentication = m_window.authenticationIndex();
    showStartAtLogin("");
}

// The box shows what the session will do, whatever was asked.
void OrbalenStatusPrefPane::showStartAtLogin(const std::string& problem) {
    m_window.setChecked(CheckBox::StartAtLogin,
                        services_.startsAtLogin && services_.startsAtLogin());
    m_window.showProblem(CheckBox::StartAtLogin, problem);
}

// A password in the file is shown as the user's choice of the file; else
// the keyring's, which is never unlocked just to show it.
void OrbalenStatusPrefPane::fillPassword(const std::optional<std::string>& server,
                                         const std::optional<std::string>& user) {
    const auto inFile = StringSetting(keys::kUserPassword, m_appID);
    const bool fileHasOne = inFile && !inFile->empty();
    m_window.setChecked(CheckBox::PasswordInFile, fileHasOne);
    std::string note;
    std::string password = fileHasOne ? *inFile : "";
    if (!fileHasOne && server && user && !server->empty() && !user->empty() &&
        services_.findPassword) {
        const mail::StoredPassword stored = services_.findPassword(*server, *user);
        if (stored.status == 0) {
            password = stored.password;
        } else if (stored.status == netinfo::kKeychainLocked) {
            note =
                "The keyring is locked, so its password is not shown. A password typed here "
                "replaces it (the keyring asks to be unlocked).";
        } else if (stored.status != netinfo::kKeychainItemNotFound) {
            note =
                "No keyring answered: a password typed here can only be kept in the "
                "settings file.";
        }
    }
    m_window.setText(TextField::Password, password);
    m_window.showProblem(TextField::Password, note);
}

void OrbalenStatusPrefPane::windowDidBecomeKey() {
    initControls();
}

bool OrbalenStatusPrefPane::windowWillClose() {
    storeTypedFields();
    const bool kept = storePassword();
    settings::AppSynchronize(m_appID);
    if (services_.postNotification) {
        services_.postNotification(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
    }
    return kept;
}

bool OrbalenStatusPrefPane::changed(TextField field) const {
    const auto shown = shown_.texts.find(field);
    return shown == shown_.texts.end() || shown->second != m_window.text(field);
}

// Only what the user changed since the window was filled, so values other
// programs wrote meanwhile survive.
void OrbalenStatusPrefPane::storeTypedFields() {
    const auto store = [this](std::string_view key, settings::Value value) {
        settings::SetAppValue(key, std::move(value), m_appID);
    };
    if (changed(TextField::MailServer)) {
        store(keys::kMailServer, m_window.text(TextField::MailServer));
    }
    // Input that would make a setting unusable is not stored; the field's
    // message says why and the stored value stays.
    if (changed(TextField::Port) && !checkField(TextField::Port)) {
        store(keys::kPort, m_window.text(TextField::Port));
    }
    // "None" shown for a missing setting is what the user accepts on closing:
    // without it stored, the sender would never send.
    if (m_window.authenticationIndex() != shown_.authentication || !shown_.authenticationStored) {
        store(keys::kAuthentication, std::int64_t{m_window.authenticationIndex()});
    }
    if (changed(TextField::Username)) {
        store(keys::kUsername, m_window.text(TextField::Username));
    }
    if (changed(TextField::Email) && !checkField(TextField::Email)) {
        store(keys::kEmail, m_window.text(TextField::Email));
    }
    for (const BoxKey& entry : kBoxesSavedOnClose) {
        if (m_window.isChecked(entry.box) != shown_.boxes[entry.box]) {
            store(entry.key, m_window.isChecked(entry.box));
        }
    }
    if (changed(TextField::MinutesInterval)) {
        if (const auto minutes = ParseInterval(m_window.text(TextField::MinutesInterval))) {
            store(keys::kMinutesInterval, std::int64_t{*minutes});
        } else {
            checkField(TextField::MinutesInterval);
        }
    }
}

// The password goes where the user chose: the settings file (which then
// wins) or the keyring (and then leaves the file). A password the user did
// not touch, for the same account and place, is not written at all. False
// when the keyring refused it; it is then kept nowhere but in its field.
bool OrbalenStatusPrefPane::storePassword() {
    const std::string server = m_window.text(TextField::MailServer);
    const std::string user = m_window.text(TextField::Username);
    const std::string password = m_window.text(TextField::Password);
    const bool inFile = m_window.isChecked(CheckBox::PasswordInFile);
    const bool shownInFile = shown_.boxes[CheckBox::PasswordInFile];
    const bool moved = changed(TextField::MailServer) || changed(TextField::Username);
    if (!changed(TextField::Password) && inFile == shownInFile && (!moved || password.empty())) {
        return true;  // nothing typed, and no account to carry a password to
    }
    const auto inFileValue = [this](std::optional<settings::Value> value) {
        settings::SetAppValue(keys::kUserPassword, std::move(value), m_appID);
    };
    if (inFile || password.empty()) {
        inFileValue(password.empty() ? std::nullopt : std::optional<settings::Value>(password));
        const std::string& shownServer = shown_.texts[TextField::MailServer];
        const std::string& shownUser = shown_.texts[TextField::Username];
        // Cleared: the keyring's copy goes too, or the sender would still use it.
        if (password.empty() && changed(TextField::Password) && services_.forgetPassword &&
            refused(services_.forgetPassword(shownServer, shownUser))) {
            return false;
        }
        return true;
    }
    if (server.empty() || user.empty()) {
        m_window.showProblem(TextField::Password,
                             "The keyring keeps a password for a server and user name: fill in "
                             "both, or tick \"Keep in the settings file\" (plain text).");
        return false;
    }
    if (refused(services_.keepPassword ? services_.keepPassword(server, user, password)
                                       : netinfo::kKeychainNotAvailable)) {
        return false;
    }
    inFileValue(std::nullopt);
    shown_.texts[TextField::Password] = password;
    shown_.boxes[CheckBox::PasswordInFile] = false;
    return true;
}

// Says beside the password why the keyring did not take it; true then.
bool OrbalenStatusPrefPane::refused(std::int32_t status) {
    if (status == 0) {
        m_window.showProblem(TextField::Password, "");
        return false;
    }
    const std::string why = status == netinfo::kKeychainLocked
                                ? "The keyring is locked and was not unlocked"
                                : "No keyring answered";
    m_window.showProblem(TextField::Password,
                         why +
                             ": the password is not saved. Unlock the keyring and close again, "
                             "or tick \"Keep in the settings file\" (plain text).");
    return true;
}

std::optional<std::string> OrbalenStatusPrefPane::checkField(TextField field) {
    const std::string text = m_window.text(field);
    std::optional<std::string> problem;
    switch (field) {
        case TextField::Port:
            problem = PortProblem(text);
            break;
        case TextField::MinutesInterval:
            problem = IntervalProblem(text);
            break;
        case TextField::Email:
            problem = RecipientsProblem(text);
            break;
        default:
            break;
    }
    m_window.showProblem(field, problem.value_or(""));
    return problem;
}

void OrbalenStatusPrefPane::storeCheckBox(CheckBox box) {
    settings::SetAppValue(KeyOf(box), m_window.isChecked(box), m_appID);
    settings::AppSynchronize(m_appID);
}

void OrbalenStatusPrefPane::startAtLoginButtonClicked() {
    const bool wanted = m_window.isChecked(CheckBox::StartAtLogin);
    const auto problem =
        services_.setStartAtLogin
            ? services_.setStartAtLogin(wanted)
            : std::optional<std::string>("Starting at login cannot be changed here.");
    showStartAtLogin(problem.value_or(""));
}

void OrbalenStatusPrefPane::sendEmailNotificationsButtonClicked() {
    storeCheckBox(CheckBox::SendEmailNotifications);
}
void OrbalenStatusPrefPane::externalIPButtonClicked() {
    storeCheckBox(CheckBox::IncludeExternalIP);
}
void OrbalenStatusPrefPane::includeCurrentWirelessNetworkButtonClicked() {
    storeCheckBox(CheckBox::IncludeCurrentWirelessNetwork);
}
void OrbalenStatusPrefPane::machineNameButtonClicked() {
    storeCheckBox(CheckBox::IncludeMachineName);
}
void OrbalenStatusPrefPane::emailChangesToExternalIPAddressButtonClicked() {
    storeCheckBox(CheckBox::EmailChangesToExternalIPAddress);
}
void OrbalenStatusPrefPane::titleIconOnlyButtonClicked() {
    storeCheckBox(CheckBox::TitleIconOnly);
}
void OrbalenStatusPrefPane::displayChangedIconWhenAddressChangeDetected() {
    storeCheckBox(CheckBox::DisplayChangedIcon);
}

// Goes to the stored recipients with the stored server settings, so the
// test shows what the last close saved. The sound says only whether a
// sender was started; the window shows how each conversation goes.
void OrbalenStatusPrefPane::testEmail() {
    ++test_;
    mailStatus_.clear();
    if (const auto recipients = StringSetting(keys::kEmail, m_appID)) {
        std::size_t start = 0;
        while (start <= recipients->size()) {
            const std::size_t comma = std::min(recipients->find(',', start), recipients->size());
            std::string piece = recipients->substr(start, comma - start);
            if (!piece.empty() && services_.startMail) {
                mailStatus_.emplace_back(piece, "sending...");
                controller::MailAlert alert{"This is a test email.", "-.-.-.-", std::move(piece),
                                            "If you are reading this, the test passed."};
                alert.kind = mail::MailKind::Test;
                services_.startMail(alert, [this, test = test_, index = mailStatus_.size() - 1](
                                               const mail::MailProgress& progress) {
                    mailProgress(test, index, progress);
                });
            }
            start = comma + 1;
        }
    }
    showMailStatus();
    play(mailStatus_.empty() ? mailNotSentSound : mailSentSound);
}

// Progress of an earlier test is old news once another has started.
void OrbalenStatusPrefPane::mailProgress(unsigned test, std::size_t index,
                                         const mail::MailProgress& progress) {
    if (test != test_ || index >= mailStatus_.size()) {
        return;
    }
    using Step = mail::MailProgress::Step;
    std::string& state = mailStatus_[index].second;
    switch (progress.step) {
        case Step::Sending:
            state = "sending...";
            break;
        case Step::Sent:
            state = "sent";
            break;
        case Step::NotSent:
            state = "not sent" + (progress.detail.empty() ? "" : ": " + progress.detail);
            break;
    }
    showMailStatus();
}

void OrbalenStatusPrefPane::showMailStatus() {
    std::string lines = mailStatus_.empty() ? "No recipients saved: nothing was sent." : "";
    for (const auto& [recipient, state] : mailStatus_) {
        lines += (lines.empty() ? "" : "\n") + recipient + ": " + state;
    }
    m_window.showMailStatus(lines);
}

std::optional<Sound> OrbalenStatusPrefPane::loadSound(std::string_view resourceName) const {
    if (!services_.pathForSoundResource) {
        return std::nullopt;
    }
    if (auto path = services_.pathForSoundResource(resourceName)) {
        return Sound{std::string(resourceName), std::move(*path)};
    }
    return std::nullopt;
}

void OrbalenStatusPrefPane::play(const std::optional<Sound>& sound) const {
    if (sound && services_.playSound) {
        services_.playSound(*sound);
    }
}

}  // namespace prefpane
