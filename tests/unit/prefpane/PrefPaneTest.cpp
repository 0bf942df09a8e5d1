#include "prefpane/OrbalenStatusPrefPane.h"

#include <nlohmann/json.hpp>

#include "RecordedControls.h"
#include "SettingsTestFolders.h"
#include "netinfo/Keychain.h"
#include "support/CaseName.h"

namespace prefpane {
namespace {

// The pane over recorded controls, with every service written down.
class PrefPaneTest : public SettingsTestFolders {
protected:
    PrefPaneTest() {
        state_.addresses = {"192.168.1.20", "10.0.0.2"};
        state_.externalAddress = "203.0.113.9";
    }

    PrefPaneServices Services() {
        PrefPaneServices services;
        services.bundleName = "OrbalenStatus";
        services.bundleShortVersion = "1.2.3";
        services.publishedState = [this] { return state_; };
        services.postNotification = [this](std::string_view name, std::string_view object) {
            // What a receiver reading the file would find at that moment.
            posts_.push_back(std::string(name) + "|" + std::string(object));
            fileAtPost_ = ReadText(userFile());
        };
        services.startMail = [this](const controller::MailAlert& alert,
                                    PrefPaneServices::MailProgressHandler progress) {
            mails_.push_back(alert);
            progress_.push_back(std::move(progress));
        };
        services.pathForSoundResource = [](std::string_view name) {
            return std::optional<std::string>("/sounds/" + std::string(name));
        };
        services.playSound = [this](const Sound& sound) { played_.push_back(sound.resourceName); };
        services.findPassword = [this](const std::string& server, const std::string& user) {
            const auto found = keychain_.find(server + ":" + user);
            if (keychainStatus_ != 0 || found == keychain_.end()) {
                return mail::StoredPassword{
                    keychainStatus_ != 0 ? keychainStatus_ : netinfo::kKeychainItemNotFound, ""};
            }
            return mail::StoredPassword{0, found->second};
        };
        services.keepPassword = [this](const std::string& server, const std::string& user,
                                       const std::string& password) {
            if (keychainStatus_ == 0) {
                keychain_[server + ":" + user] = password;
            }
            return keychainStatus_;
        };
        services.forgetPassword = [this](const std::string& server, const std::string& user) {
            if (keychainStatus_ == 0) {
                keychain_.erase(server + ":" + user);
            }
            return keychainStatus_;
        };
        return services;
    }

    OrbalenStatusPrefPane& Open() {
        pane_.emplace(controls_, Services());
        pane_->awakeFromNib();
        return *pane_;
    }

    static void Store(std::string_view key, Value value) {
        SetAppValue(key, std::move(value));
        settings::AppSynchronize();
    }

    nlohmann::json File() const { return nlohmann::json::parse(ReadText(userFile())); }

    controller::AddressState state_;
    RecordedControls controls_;
    std::optional<OrbalenStatusPrefPane> pane_;
    std::vector<std::string> posts_;
    std::string fileAtPost_;
    std::vector<controller::MailAlert> mails_;
    std::vector<PrefPaneServices::MailProgressHandler> progress_;
    std::vector<std::string> played_;
    std::map<std::string, std::string> keychain_;
    std::int32_t keychainStatus_ = 0;
};

TEST_F(PrefPaneTest, AnEmptyStoreShowsTheDefaultsAndTheControllersAddresses) {
    controls_.boxes[CheckBox::TitleIconOnly] = true;  // left over from nothing: must be cleared
    Open();
    using F = TextField;
    const std::map<F, std::string> expected{
        {F::VersionInfo, "OrbalenStatus 1.2.3"},
        {F::MinutesInterval, "6"},
        {F::MailServer, ""},
        {F::Port, "25"},
        {F::Username, ""},
        {F::Password, ""},
        {F::Email, ""},
        {F::LastIPAddress, "192.168.1.20"},
        {F::LastExternalIPAddress, "203.0.113.9"},
    };
    EXPECT_EQ(controls_.texts, expected);
    for (const auto& [box, on] : controls_.boxes) {
        EXPECT_FALSE(on) << static_cast<int>(box);
    }
    EXPECT_EQ(controls_.boxes.size(), 8u);
    EXPECT_EQ(controls_.authentication, 0);
    EXPECT_TRUE(posts_.empty());

    state_ = {};
    pane_->windowDidBecomeKey();
    EXPECT_EQ(controls_.texts[TextField::LastIPAddress], "");
    EXPECT_EQ(controls_.texts[TextField::LastExternalIPAddress], "");
}

// A stored value and what its control shows; "(kept)" means the field keeps
// what it held before.
struct ShownCase {
    const char* name;
    std::string_view key;
    Value stored;
    TextField field;
    std::string shown;
};
PRINT_CASE_BY_NAME(ShownCase)

class StoredValueShownTest : public PrefPaneTest,
                             public ::testing::WithParamInterface<ShownCase> {};

TEST_P(StoredValueShownTest, FillsItsControl) {
    controls_.texts[GetParam().field] = "(kept)";
    Store(GetParam().key, GetParam().stored);
    Open();
    EXPECT_EQ(controls_.texts[GetParam().field], GetParam().shown);
}

const ShownCase kShownCases[] = {
    {"IntervalBelowTheControllersMinimum", "MinutesInterval", std::int64_t{3},
     TextField::MinutesInterval, "3"},
    {"IntervalAsWholeReal", "MinutesInterval", 45.0, TextField::MinutesInterval, "45"},
    {"IntervalWithFraction", "MinutesInterval", 4.5, TextField::MinutesInterval, "(kept)"},
    {"IntervalBeyondSixteenBits", "MinutesInterval", std::int64_t{70000},
     TextField::MinutesInterval, "(kept)"},
    {"IntervalAsString", "MinutesInterval", std::string("9"), TextField::MinutesInterval, "6"},
    {"PortAsString", "Port", std::string("587"), TextField::Port, "587"},
    {"PortAsNumber", "Port", std::int64_t{587}, TextField::Port, "25"},
    {"ServerAsNumber", "MailServer", std::int64_t{1}, TextField::MailServer, ""},
    {"StoredInternalAddress", "LastIPAddress", std::string("172.16.0.1"), TextField::LastIPAddress,
     "172.16.0.1"},
    {"StoredExternalAddress", "LastExternalIPAddress", std::string("198.51.100.7"),
     TextField::LastExternalIPAddress, "198.51.100.7"},
    {"PasswordInTheFile", "UserPassword", std::string("old secret"), TextField::Password,
     "old secret"},
};
INSTANTIATE_TEST_SUITE_P(Stored, StoredValueShownTest, ::testing::ValuesIn(kShownCases),
                         CaseName());

TEST_F(PrefPaneTest, AuthenticationSelectsItsItemAndOnlyForNumbers) {
    controls_.authentication = 1;
    Store("Authentication", std::string("2"));
    Open();
    EXPECT_EQ(controls_.authentication, 1) << "a string leaves the selection";
    for (const auto& [stored, index] : std::vector<std::pair<Value, int>>{
             {std::int64_t{0}, 0}, {std::int64_t{2}, 2}, {std::int64_t{5}, 2}, {1.0, 1}}) {
        Store("Authentication", stored);
        pane_->windowDidBecomeKey();
        EXPECT_EQ(controls_.authentication, index);
    }
}

TEST_F(PrefPaneTest, CheckBoxesShowOnlyABooleanTrue) {
    Store("TitleIconOnly", true);
    Store("IncludeMachineName", std::int64_t{1});
    Store("SendEmailNotifications", std::string("YES"));
    Open();
    EXPECT_TRUE(controls_.boxes[CheckBox::TitleIconOnly]);
    EXPECT_FALSE(controls_.boxes[CheckBox::IncludeMachineName]);
    EXPECT_FALSE(controls_.boxes[CheckBox::SendEmailNotifications]);
}

struct ClickCase {
    const char* name;
    CheckBox box;
    void (OrbalenStatusPrefPane::*action)();
    std::string_view key;
};
PRINT_CASE_BY_NAME(ClickCase)

class CheckBoxClickTest : public PrefPaneTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(CheckBoxClickTest, StoresItsKeyAtOnceAndPostsNothing) {
    Open();
    for (bool on : {true, false}) {
        controls_.boxes[GetParam().box] = on;
        controls_.texts[TextField::MailServer] = "typed, not saved";
        (*pane_.*GetParam().action)();
        const auto file = File();
        EXPECT_EQ(file.at(std::string(GetParam().key)), on) << "synchronized to the file";
        EXPECT_EQ(file.size(), 1u) << "only its own key";
    }
    EXPECT_TRUE(posts_.empty());
}

const ClickCase kClickCases[] = {
    {"SendEmailNotifications", CheckBox::SendEmailNotifications,
     &OrbalenStatusPrefPane::sendEmailNotificationsButtonClicked, "SendEmailNotifications"},
    {"IncludeExternalIP", CheckBox::IncludeExternalIP,
     &OrbalenStatusPrefPane::externalIPButtonClicked, "IncludeExternalIP"},
    {"IncludeWirelessNetwork", CheckBox::IncludeCurrentWirelessNetwork,
     &OrbalenStatusPrefPane::includeCurrentWirelessNetworkButtonClicked,
     "IncludeCurrentWirelessNetwork"},
    {"IncludeMachineName", CheckBox::IncludeMachineName,
     &OrbalenStatusPrefPane::machineNameButtonClicked, "IncludeMachineName"},
    {"EmailExternalChanges", CheckBox::EmailChangesToExternalIPAddress,
     &OrbalenStatusPrefPane::emailChangesToExternalIPAddressButtonClicked,
     "EmailChangesToExternalIPAddress"},
    {"TitleIconOnly", CheckBox::TitleIconOnly, &OrbalenStatusPrefPane::titleIconOnlyButtonClicked,
     "TitleIconOnly"},
    {"DisplayChangedIcon", CheckBox::DisplayChangedIcon,
     &OrbalenStatusPrefPane::displayChangedIconWhenAddressChangeDetected,
     "DisplayChangedIconWhenAddressChangeDetected"},
};
INSTANTIATE_TEST_SUITE_P(Clicks, CheckBoxClickTest, ::testing::ValuesIn(kClickCases), CaseName());

void TypeEverything(RecordedControls& controls) {
    controls.texts[TextField::MailServer] = "smtp.example.org";
    controls.texts[TextField::Port] = "587";
    controls.texts[TextField::Username] = "me";
    controls.texts[TextField::Password] = "pw";
    controls.texts[TextField::Email] = "a@example.org,b@example.org";
    controls.texts[TextField::MinutesInterval] = "3";
    controls.authentication = 2;
    for (CheckBox box : {CheckBox::SendEmailNotifications, CheckBox::IncludeMachineName,
                         CheckBox::TitleIconOnly}) {
        controls.boxes[box] = true;
    }
}

TEST_F(PrefPaneTest, ClosingSavesEveryChangedFieldWithItsTypeThenPostsOnce) {
    Open();
    TypeEverything(controls_);
    controls_.texts[TextField::LastIPAddress] = "edited";
    EXPECT_TRUE(pane_->windowWillClose());

    ASSERT_EQ(posts_, std::vector<std::string>{
                          "Preferences Changed|com.kestrune.preference.OrbalenStatus"});
    const auto saved = nlohmann::json::parse(fileAtPost_);
    const nlohmann::json expected = {
        {"MailServer", "smtp.example.org"},
        {"Port", "587"},
        {"Authentication", 2},
        {"Username", "me"},
        {"Email", "a@example.org,b@example.org"},
        {"SendEmailNotifications", true},
        {"IncludeMachineName", true},
        {"MinutesInterval", 3},
    };
    EXPECT_EQ(saved, expected) << "saved and synchronized before the post; the two title "
                                  "boxes are stored only by their clicks";
    EXPECT_TRUE(saved["MinutesInterval"].is_number_integer());
    EXPECT_EQ(keychain_, (std::map<std::string, std::string>{{"smtp.example.org:me", "pw"}}));
}

// What orbalenstatus-defaults writes while the window is open shows the
// next time it becomes key, and closing it does not write it back.
TEST_F(PrefPaneTest, OtherWritersValuesSurviveAndShowWhenTheWindowBecomesKey) {
    Store("MailServer", std::string("old.example.org"));
    Open();
    ReplaceFile(userFile(), R"({"MailServer": "new.example.org", "Port": "465",
                               "SendEmailNotifications": true, "UserPassword": ""})");
    controls_.texts[TextField::Username] = "me";
    EXPECT_TRUE(pane_->windowWillClose());
    const nlohmann::json expected = {{"MailServer", "new.example.org"},
                                     {"Port", "465"},
                                     {"SendEmailNotifications", true},
                                     {"UserPassword", ""},
                                     {"Username", "me"}};
    EXPECT_EQ(File(), expected);
    pane_->windowDidBecomeKey();
    EXPECT_EQ(controls_.texts[TextField::MailServer], "new.example.org");
    EXPECT_TRUE(controls_.boxes[CheckBox::SendEmailNotifications]);
}

TEST_F(PrefPaneTest, BadInputIsExplainedAndNotStored) {
    Store("Port", std::string("2525"));
    Store("Email", std::string("old@example.org"));
    Store("MinutesInterval", std::int64_t{30});
    Open();
    TypeEverything(controls_);
    controls_.texts[TextField::Port] = "70000";
    controls_.texts[TextField::Email] = "a@example.org, not an address";
    controls_.texts[TextField::MinutesInterval] = "ten";

    for (TextField field : {TextField::Port, TextField::Email, TextField::MinutesInterval}) {
        EXPECT_TRUE(pane_->checkField(field));
        EXPECT_FALSE(controls_.problems[field].empty()) << "shown beside the field while typing";
    }
    pane_->windowWillClose();

    const auto saved = nlohmann::json::parse(fileAtPost_);
    EXPECT_EQ(saved["Port"], "2525");
    EXPECT_EQ(saved["Email"], "old@example.org");
    EXPECT_EQ(saved["MinutesInterval"], 30);
    EXPECT_EQ(saved["MailServer"], "smtp.example.org") << "good fields are still saved";
    EXPECT_EQ(posts_.size(), 1u);
}

// Where the password is before the window opens, what the keyring answers
// and what the user does; then where it is after the close.
struct PasswordCase {
    const char* name;
    std::string inFile;   // "" none
    std::string inStore;  // "" none
    std::int32_t keyring;
    std::optional<std::string> typed;
    bool tickFile;
    bool closes;
    std::string fileAfter;  // "" none
    std::string storeAfter;
};
PRINT_CASE_BY_NAME(PasswordCase)

class PasswordTest : public PrefPaneTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(PasswordTest, GoesWhereTheUserChoseAndIsNeverLost) {
    const PasswordCase& c = GetParam();
    Store("MailServer", std::string("smtp.example.org"));
    Store("Username", std::string("me"));
    if (!c.inFile.empty()) {
        Store("UserPassword", c.inFile);
    }
    if (!c.inStore.empty()) {
        keychain_["smtp.example.org:me"] = c.inStore;
    }
    keychainStatus_ = c.keyring;
    Open();
    EXPECT_EQ(controls_.boxes[CheckBox::PasswordInFile], !c.inFile.empty());
    EXPECT_EQ(controls_.problems[TextField::Password].empty(), c.keyring == 0)
        << "a keyring that cannot answer is said at once";
    if (c.typed) {
        controls_.texts[TextField::Password] = *c.typed;
    }
    controls_.boxes[CheckBox::PasswordInFile] = c.tickFile;
    EXPECT_EQ(pane_->windowWillClose(), c.closes);
    EXPECT_EQ(controls_.problems[TextField::Password].empty(), c.keyring == 0);
    EXPECT_EQ(File().value("UserPassword", ""), c.fileAfter);
    keychainStatus_ = 0;
    EXPECT_EQ(keychain_["smtp.example.org:me"], c.storeAfter);
    if (!c.closes) {
        EXPECT_EQ(controls_.texts[TextField::Password], *c.typed) << "kept for the next try";
        controls_.boxes[CheckBox::PasswordInFile] = true;
        EXPECT_TRUE(pane_->windowWillClose()) << "the user's explicit choice";
        EXPECT_EQ(File().value("UserPassword", ""), *c.typed);
    }
}

constexpr std::int32_t kLocked = netinfo::kKeychainLocked;
constexpr std::int32_t kNoKeyring = netinfo::kKeychainNotAvailable;
const PasswordCase kPasswordCases[] = {
    {"TypedGoesToTheKeyring", "", "old", 0, "new", false, true, "", "new"},
    {"TypedToAKeyringAfterTheFileLeavesTheFile", "old", "", 0, "new", false, true, "", "new"},
    {"TypedWithTheFileChosenGoesToTheFile", "", "old", 0, "new", true, true, "new", "old"},
    {"UntouchedInTheFileStaysThere", "file", "store", 0, std::nullopt, true, true, "file", "store"},
    {"UntouchedWithALockedKeyringIsNotWritten", "", "old", kLocked, std::nullopt, false, true, "",
     "old"},
    {"TypedWithALockedKeyringIsRefused", "", "old", kLocked, "new", false, false, "", "old"},
    {"TypedWithoutAKeyringIsRefused", "", "", kNoKeyring, "new", false, false, "", ""},
    {"ClearedLeavesBoth", "", "old", 0, "", false, true, "", ""},
};
INSTANTIATE_TEST_SUITE_P(Places, PasswordTest, ::testing::ValuesIn(kPasswordCases), CaseName());

TEST_F(PrefPaneTest, TestEmailGoesToEachStoredRecipientAndShowsHowEachGoes) {
    Open();
    pane_->testEmail();
    Store("Email", std::string(",,"));
    pane_->testEmail();
    EXPECT_TRUE(mails_.empty());
    EXPECT_EQ(controls_.mailStatus, "No recipients saved: nothing was sent.");
    Store("Email", std::string("a@example.org,,b@example.org,"));
    controls_.texts[TextField::Email] = "typed@example.org";  // not saved yet: not used
    pane_->testEmail();
    ASSERT_EQ(mails_.size(), 2u);
    EXPECT_EQ(mails_[1].recipient, "b@example.org");
    EXPECT_EQ(mails_[0].newAddress, "This is a test email.");
    EXPECT_EQ(mails_[0].oldAddress, "-.-.-.-");
    EXPECT_EQ(mails_[0].message, "If you are reading this, the test passed.");
    EXPECT_EQ(mails_[0].kind, mail::MailKind::Test);
    EXPECT_EQ(played_, (std::vector<std::string>{"Mail Not Sent.aiff", "Mail Not Sent.aiff",
                                                 "Mail Sent.aiff"}));
    EXPECT_EQ(controls_.mailStatus, "a@example.org: sending...\nb@example.org: sending...");

    using Step = mail::MailProgress::Step;
    progress_[1]({Step::NotSent, "535 authentication failed"});
    progress_[0]({Step::Sent, ""});
    EXPECT_EQ(controls_.mailStatus,
              "a@example.org: sent\nb@example.org: not sent: 535 authentication failed");
    pane_->testEmail();
    progress_[0]({Step::Sent, ""});
    EXPECT_EQ(controls_.mailStatus, "a@example.org: sending...\nb@example.org: sending...")
        << "an earlier test's news is not shown as this one's";
}

TEST_F(PrefPaneTest, MissingSoundsAreSilent) {
    pane_.emplace(controls_, [&] {
        auto services = Services();
        services.pathForSoundResource = [](std::string_view) { return std::nullopt; };
        return services;
    }());
    pane_->awakeFromNib();
    EXPECT_FALSE(pane_->completionSound());
    EXPECT_FALSE(pane_->incompletionSound());
    pane_->testEmail();
    EXPECT_TRUE(played_.empty());
}

}  // namespace
}  // namespace prefpane
