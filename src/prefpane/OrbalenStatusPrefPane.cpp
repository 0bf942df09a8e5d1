#include "prefpane/OrbalenStatusPrefPane.h"

#include <cmath>
#include <limits>
#include <utility>

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
    if (const auto mode = settings::CopyAppValue(keys::kAuthentication, m_appID)) {
        if (const auto index = AuthenticationIndex(*mode)) {
            m_window.selectAuthentication(*index);
        }
    }
    const auto user = StringSetting(keys::kUsername, m_appID);
    m_window.setText(TextField::Username, user.value_or(""));
    std::optional<std::string> password;
    if (server && user && services_.findPassword) {
        password = services_.findPassword(*server, *user);
    }
    if (!password) {
        password = StringSetting(keys::kUserPassword, m_appID);
    }
    m_window.setText(TextField::Password, password.value_or(""));
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
}

void OrbalenStatusPrefPane::windowDidBecomeKey() {
    initControls();
}

void OrbalenStatusPrefPane::windowWillClose() {
    storeTypedFields();
    settings::AppSynchronize(m_appID);
    if (services_.postNotification) {
        services_.postNotification(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
    }
    windowDidBecomeKey();
}

void OrbalenStatusPrefPane::storeTypedFields() {
    const auto store = [this](std::string_view key, settings::Value value) {
        settings::SetAppValue(key, std::move(value), m_appID);
    };
    store(keys::kMailServer, m_window.text(TextField::MailServer));
    // Input that would make a setting unusable is not stored; the field's
    // message says why and the stored value stays.
    if (!checkField(TextField::Port)) {
        store(keys::kPort, m_window.text(TextField::Port));
    }
    store(keys::kAuthentication, std::int64_t{m_window.authenticationIndex()});
    store(keys::kUsername, m_window.text(TextField::Username));
    storePassword();
    if (!checkField(TextField::Email)) {
        store(keys::kEmail, m_window.text(TextField::Email));
    }
    for (const BoxKey& entry : kBoxesSavedOnClose) {
        store(entry.key, m_window.isChecked(entry.box));
    }
    if (const auto minutes = ParseInterval(m_window.text(TextField::MinutesInterval))) {
        store(keys::kMinutesInterval, std::int64_t{*minutes});
    } else {
        checkField(TextField::MinutesInterval);
    }
}

// The secret store when there is one, so the password is not kept in a
// plain file; the settings file otherwise.
void OrbalenStatusPrefPane::storePassword() {
    const std::string server = m_window.text(TextField::MailServer);
    const std::string user = m_window.text(TextField::Username);
    const std::string password = m_window.text(TextField::Password);
    const bool kept = !server.empty() && !user.empty() && !password.empty() &&
                      services_.keepPassword && services_.keepPassword(server, user, password);
    settings::SetAppValue(keys::kUserPassword,
                          kept ? std::nullopt : std::optional<settings::Value>(password), m_appID);
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
// sender was started; how each conversation went is in the event log.
void OrbalenStatusPrefPane::testEmail() {
    bool started = false;
    if (const auto recipients = StringSetting(keys::kEmail, m_appID)) {
        std::size_t start = 0;
        while (start <= recipients->size()) {
            const std::size_t comma = std::min(recipients->find(',', start), recipients->size());
            std::string piece = recipients->substr(start, comma - start);
            if (!piece.empty() && services_.startMail) {
                services_.startMail(
                    controller::MailAlert{"This is a test email.", "-.-.-.-", std::move(piece),
                                          "If you are reading this, the test passed."});
                started = true;
            }
            start = comma + 1;
        }
    }
    play(started ? mailSentSound : mailNotSentSound);
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
