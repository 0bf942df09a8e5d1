#include "prefpane/OrbalenStatusPrefPane.h"

#include <nlohmann/json.hpp>

#include "RecordedControls.h"
#include "SettingsTestFolders.h"
#include "netinfo/Keychain.h"
#include "support/CaseName.h"

namespace prefpane {
namespace {

using F = TextField;
using B = CheckBox;
using P = OrbalenStatusPrefPane;
constexpr std::int32_t kLocked = netinfo::kKeychainLocked;
constexpr std::int32_t kNoKeyring = netinfo::kKeychainNotAvailable;

// The pane over recorded controls, with every service written down; the
// keyring answers keyring_ (0: it works).
class PrefPaneTest : public SettingsTestFolders {
protected:
    PrefPaneServices Services() {
        PrefPaneServices s;
        s.bundleName = "OrbalenStatus";
        s.bundleShortVersion = "1.2.3";
        s.publishedState = [this] { return state_; };
        s.postNotification = [this](std::string_view name, std::string_view object) {
            // What a receiver reading the file would find at that moment.
            posts_.push_back(std::string(name) + "|" + std::string(object));
            fileAtPost_ = ReadText(userFile());
        };
        s.startMail = [this](const controller::MailAlert& alert, auto progress) {
            mails_.push_back(alert);
            progress_.push_back(std::move(progress));
        };
        s.pathForSoundResource = [](std::string_view name) {
            return std::optional<std::string>("/sounds/" + std::string(name));
        };
        s.playSound = [this](const Sound& sound) { played_.push_back(sound.resourceName); };
        s.findPassword = [this](const std::string& server, const std::string& user) {
            const auto found = keychain_.find(server + ":" + user);
            return keyring_ != 0 || found == keychain_.end()
                       ? mail::StoredPassword{keyring_ ? keyring_ : netinfo::kKeychainItemNotFound,
                                              ""}
                       : mail::StoredPassword{0, found->second};
        };
        s.keepPassword = [this](const std::string& server, const std::string& user,
                                const std::string& password) {
            return keyring_ ? keyring_ : (keychain_[server + ":" + user] = password, 0);
        };
        s.forgetPassword = [this](const std::string& server, const std::string& user) {
            return keyring_ ? keyring_ : (keychain_.erase(server + ":" + user), 0);
        };
        return s;
    }

    void Open(std::optional<PrefPaneServices> services = std::nullopt) {
        pane_.emplace(controls_, services ? std::move(*services) : Services());
        pane_->awakeFromNib();
    }

    static void Store(std::string_view key, Value value) {
        SetAppValue(key, std::move(value));
        settings::AppSynchronize();
    }

    nlohmann::json File() const { return nlohmann::json::parse(ReadText(userFile())); }

    controller::AddressState state_{{"192.168.1.20", "10.0.0.2"}, "203.0.113.9", {}, {}, {}};
    RecordedControls controls_;
    std::optional<OrbalenStatusPrefPane> pane_;
    std::vector<std::string> posts_;
    std::string fileAtPost_;
    std::vector<controller::MailAlert> mails_;
    std::vector<PrefPaneServices::MailProgressHandler> progress_;
    std::vector<std::string> played_;
    std::map<std::string, std::string> keychain_;
    std::int32_t keyring_ = 0;
};

TEST_F(PrefPaneTest, AnEmptyStoreShowsTheDefaultsAndTheControllersAddresses) {
    controls_.boxes[B::TitleIconOnly] = true;  // left over from nothing: must be cleared
    auto services = Services();
    services.pathForSoundResource = [](std::string_view) { return std::nullopt; };
    Open(std::move(services));
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
    EXPECT_EQ(controls_.boxes.size(), 9u);
    for (const auto& [box, on] : controls_.boxes) {
        EXPECT_FALSE(on) << static_cast<int>(box);
    }
    EXPECT_EQ(controls_.authentication, 0);
    EXPECT_TRUE(posts_.empty());
    pane_->testEmail();
    EXPECT_TRUE(played_.empty()) << "missing sounds are silent";

    state_ = {};
    pane_->windowDidBecomeKey();
    EXPECT_EQ(controls_.texts[F::LastIPAddress], "");
    EXPECT_EQ(controls_.texts[F::LastExternalIPAddress], "");
}

// A stored value and what its control shows; "(kept)": the field keeps what
// it held before.
TEST_F(PrefPaneTest, EachStoredValueFillsItsControl) {
    const std::tuple<const char*, std::string_view, Value, F, std::string> cases[] = {
        {"IntervalBelowMinimum", "MinutesInterval", std::int64_t{3}, F::MinutesInterval, "3"},
        {"IntervalAsWholeReal", "MinutesInterval", 45.0, F::MinutesInterval, "45"},
        {"IntervalWithFraction", "MinutesInterval", 4.5, F::MinutesInterval, "(kept)"},
        {"IntervalBeyond16Bits", "MinutesInterval", std::int64_t{70000}, F::MinutesInterval,
         "(kept)"},
        {"IntervalAsString", "MinutesInterval", std::string("9"), F::MinutesInterval, "6"},
        {"PortAsString", "Port", std::string("587"), F::Port, "587"},
        {"PortAsNumber", "Port", std::int64_t{587}, F::Port, "25"},
        {"ServerAsNumber", "MailServer", std::int64_t{1}, F::MailServer, ""},
        {"StoredInternal", "LastIPAddress", std::string("172.16.0.1"), F::LastIPAddress,
         "172.16.0.1"},
        {"StoredExternal", "LastExternalIPAddress", std::string("198.51.100.7"),
         F::LastExternalIPAddress, "198.51.100.7"},
    };
    for (const auto& [name, key, stored, field, shown] : cases) {
        controls_.texts[field] = "(kept)";
        std::filesystem::remove(userFile());
        Store(key, stored);
        Open();
        EXPECT_EQ(controls_.texts[field], shown) << name;
    }
}

TEST_F(PrefPaneTest, BoxesShowOnlyABooleanTrueAndAuthenticationOnlyANumber) {
    controls_.authentication = 1;
    Store("Authentication", std::string("2"));
    Store("TitleIconOnly", true);
    Store("IncludeMachineName", std::int64_t{1});
    Store("SendEmailNotifications", std::string("YES"));
    Open();
    EXPECT_EQ(controls_.authentication, 1) << "a string leaves the selection";
    EXPECT_TRUE(controls_.boxes[B::TitleIconOnly]);
    EXPECT_FALSE(controls_.boxes[B::IncludeMachineName]);
    EXPECT_FALSE(controls_.boxes[B::SendEmailNotifications]);
    for (const auto& [stored, index] : std::vector<std::pair<Value, int>>{
             {std::int64_t{0}, 0}, {std::int64_t{2}, 2}, {std::int64_t{5}, 2}, {1.0, 1}}) {
        Store("Authentication", stored);
        pane_->windowDidBecomeKey();
        EXPECT_EQ(controls_.authentication, index);
    }
}

// The box shows what the session will do at login, also after a refusal.
TEST_F(PrefPaneTest, StartAtLoginShowsTheTruthAndWhyAChangeFailed) {
    bool atLogin = true;
    std::optional<std::string> refusal;
    auto services = Services();
    services.startsAtLogin = [&] { return atLogin; };
    services.setStartAtLogin = [&](bool on) { return refusal ? refusal : (atLogin = on, refusal); };
    Open(std::move(services));
    EXPECT_TRUE(controls_.boxes[B::StartAtLogin]);
    refusal = "cannot write";
    controls_.boxes[B::StartAtLogin] = false;
    pane_->startAtLoginButtonClicked();
    EXPECT_TRUE(controls_.boxes[B::StartAtLogin] && atLogin);
    EXPECT_EQ(controls_.boxProblems[B::StartAtLogin], "cannot write");
    EXPECT_FALSE(std::filesystem::exists(userFile())) << "not a setting";
}

TEST_F(PrefPaneTest, ClosingSavesEveryChangedFieldWithItsTypeThenPostsOnce) {
    Open();
    controls_.texts = {{F::MailServer, "smtp.example.org"},
                       {F::Port, "587"},
                       {F::Username, "me"},
                       {F::Password, "pw"},
                       {F::MinutesInterval, "3"},
                       {F::Email, "a@example.org,b@example.org"}};
    controls_.authentication = 2;
    for (B box : {B::SendEmailNotifications, B::IncludeMachineName, B::TitleIconOnly}) {
        controls_.boxes[box] = true;
    }
    EXPECT_TRUE(pane_->windowWillClose());
    ASSERT_EQ(posts_, std::vector<std::string>{
                          "Preferences Changed|com.kestrune.preference.OrbalenStatus"});
    nlohmann::json expected = {
        {"MailServer", "smtp.example.org"},
        {"Port", "587"},
        {"Authentication", 2},
        {"Username", "me"},
        {"Email", "a@example.org,b@example.org"},
        {"SendEmailNotifications", true},
        {"IncludeMachineName", true},
        {"MinutesInterval", 3},
    };
    EXPECT_EQ(nlohmann::json::parse(fileAtPost_), expected)
        << "saved and synchronized before the post; the two title boxes only by their clicks";
    EXPECT_EQ(keychain_, (std::map<std::string, std::string>{{"smtp.example.org:me", "pw"}}));

    // Input that would make a setting unusable is explained and not stored.
    pane_->windowDidBecomeKey();
    controls_.texts[F::Port] = "70000";
    controls_.texts[F::Email] = "a@example.org, not an address";
    controls_.texts[F::MinutesInterval] = "ten";
    controls_.texts[F::MailServer] = "smtp2.example.org";
    for (F field : {F::Port, F::Email, F::MinutesInterval}) {
        EXPECT_TRUE(pane_->checkField(field));
        EXPECT_FALSE(controls_.problems[field].empty()) << "shown beside the field while typing";
    }
    pane_->windowWillClose();
    expected["MailServer"] = "smtp2.example.org";  // good fields are still saved
    EXPECT_EQ(nlohmann::json::parse(fileAtPost_), expected);
}

// What orbalenstatus-defaults writes while the window is open shows the
// next time it becomes key, and closing it does not write it back.
TEST_F(PrefPaneTest, OtherWritersValuesSurviveAndShowWhenTheWindowBecomesKey) {
    Store("MailServer", std::string("old.example.org"));
    Open();
    const nlohmann::json theirs = {
        {"MailServer", "new.example.org"}, {"SendEmailNotifications", true}, {"UserPassword", ""}};
    ReplaceFile(userFile(), theirs.dump());
    controls_.texts[F::Username] = "me";
    EXPECT_TRUE(pane_->windowWillClose());
    nlohmann::json expected = theirs;
    expected["Username"] = "me";
    expected["Authentication"] = 0;  // "None" shown and none stored: the sender needs it
    EXPECT_EQ(File(), expected);
    pane_->windowDidBecomeKey();
    EXPECT_EQ(controls_.texts[F::MailServer], "new.example.org");
    EXPECT_TRUE(controls_.boxes[B::SendEmailNotifications]);
}

// Where the password is before the window opens, what the keyring answers
// and what the user does; then whether the window closes and where it is.
struct PasswordCase {
    const char* name;
    std::string inFile, inStore;  // "": none
    std::int32_t keyring;
    std::optional<std::string> typed;
    bool tickFile, closes;
    std::string fileAfter, storeAfter;
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
    keyring_ = c.keyring;
    Open();
    EXPECT_EQ(controls_.boxes[B::PasswordInFile], !c.inFile.empty());
    EXPECT_EQ(controls_.problems[F::Password].empty(), c.keyring == 0) << "said at once";
    if (c.typed) {
        controls_.texts[F::Password] = *c.typed;
    }
    controls_.boxes[B::PasswordInFile] = c.tickFile;
    EXPECT_EQ(pane_->windowWillClose(), c.closes);
    EXPECT_EQ(controls_.problems[F::Password].empty(), c.keyring == 0);
    EXPECT_EQ(File().value("UserPassword", ""), c.fileAfter);
    EXPECT_EQ(keychain_["smtp.example.org:me"], c.storeAfter);
    if (!c.closes) {
        EXPECT_EQ(controls_.texts[F::Password], *c.typed) << "kept for the next try";
        controls_.boxes[B::PasswordInFile] = true;
        EXPECT_TRUE(pane_->windowWillClose()) << "the user's explicit choice";
        EXPECT_EQ(File().value("UserPassword", ""), *c.typed);
    }
}

const PasswordCase kPasswordCases[] = {
    {"TypedGoesToTheKeyring", "", "old", 0, "new", false, true, "", "new"},
    {"TypedToTheKeyringLeavesTheFile", "old", "", 0, "new", false, true, "", "new"},
    {"TypedWithTheFileChosenGoesThere", "", "old", 0, "new", true, true, "new", "old"},
    {"UntouchedInTheFileStaysThere", "file", "store", 0, std::nullopt, true, true, "file", "store"},
    {"UntouchedAndLockedIsNotWritten", "", "old", kLocked, std::nullopt, false, true, "", "old"},
    {"TypedAndLockedIsRefused", "", "old", kLocked, "new", false, false, "", "old"},
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
    controls_.texts[F::Email] = "typed@example.org";  // not saved yet: not used
    pane_->testEmail();
    ASSERT_EQ(mails_.size(), 2u);
    EXPECT_EQ(mails_[1].recipient, "b@example.org");
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

}  // namespace
}  // namespace prefpane
