#include "prefpane/OrbalenStatusPrefPane.h"

#include <nlohmann/json.hpp>

#include "SettingsTestFolders.h"
#include "netinfo/Keychain.h"
#include "support/CaseName.h"

namespace prefpane {
namespace {

using F = TextField;
using B = CheckBox;
constexpr std::int32_t kLocked = netinfo::kKeychainLocked;

// Controls as plain values, for driving the logic without a window.
class RecordedControls : public PrefControls {
public:
    std::string text(F field) const override {
        return texts.contains(field) ? texts.at(field) : "";
    }
    void setText(F field, const std::string& text) override { texts[field] = text; }
    bool isChecked(B box) const override { return boxes.contains(box) && boxes.at(box); }
    void setChecked(B box, bool on) override { boxes[box] = on; }
    int authenticationIndex() const override { return authentication; }
    void selectAuthentication(int index) override { authentication = index; }
    void showProblem(F field, const std::string& message) override { problems[field] = message; }
    void showProblem(B, const std::string&) override {}
    void showMailStatus(const std::string& lines) override { mailStatus = lines; }

    std::map<F, std::string> texts;
    std::map<B, bool> boxes;
    std::map<F, std::string> problems;
    std::string mailStatus;
    int authentication = 0;
};

// The pane over recorded controls, with every service written down: the
// keyring answers keyring_ (0: it works) and only "Mail Sent" has a sound.
class PrefPaneTest : public SettingsTestFolders {
protected:
    void Open() {
        PrefPaneServices s;
        s.bundleName = "OrbalenStatus";
        s.bundleShortVersion = "1.2.3";
        s.publishedState = [] {
            return controller::AddressState{
                {"192.168.1.20", "10.0.0.2"}, "203.0.113.9", {}, {}, {}};
        };
        s.postNotification = [this](std::string_view name, std::string_view object) {
            // What a receiver reading the file would find at that moment.
            posts_.push_back(std::string(name) + "|" + std::string(object));
            fileAtPost_ = ReadText(userFile());
        };
        s.startMail = [this](const controller::MailAlert& alert, auto progress) {
            mails_.push_back(alert);
            progress_.push_back(std::move(progress));
        };
        s.pathForSoundResource = [](std::string_view name) -> std::optional<std::string> {
            return name == "Mail Sent.aiff" ? std::optional<std::string>("/s/a") : std::nullopt;
        };
        s.playSound = [this](const Sound& sound) { played_.push_back(sound.resourceName); };
        s.findPassword = [this](const std::string& server, const std::string& user) {
            return mail::StoredPassword{keyring_, keyring_ ? "" : keychain_[server + ":" + user]};
        };
        s.keepPassword = [this](const std::string& server, const std::string& user,
                                const std::string& password) {
            return keyring_ ? keyring_ : (keychain_[server + ":" + user] = password, 0);
        };
        s.forgetPassword = [this](const std::string& server, const std::string& user) {
            return keyring_ ? keyring_ : (keychain_.erase(server + ":" + user), 0);
        };
        pane_.emplace(controls_, std::move(s));
        pane_->awakeFromNib();
    }

    static void Store(std::string_view key, Value value) {
        SetAppValue(key, std::move(value));
        settings::AppSynchronize();
    }

    nlohmann::json File() const { return nlohmann::json::parse(ReadText(userFile())); }

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

// Nothing stored, or a value of another type, shows the default; the
// addresses come from the controller while the store has none.
TEST_F(PrefPaneTest, AnEmptyStoreOrAnotherTypeShowsTheDefaults) {
    Store("MinutesInterval", std::string("9"));
    Store("Port", std::int64_t{587});
    Store("IncludeMachineName", std::int64_t{1});
    Open();
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

    Store("Authentication", std::int64_t{5});
    pane_->windowDidBecomeKey();
    EXPECT_EQ(controls_.authentication, 2) << "a mode past LOGIN shows LOGIN";
}

// Typed input a setting could not use is explained beside its field and
// not stored; what the user changed is stored with its type, and then posted.
TEST_F(PrefPaneTest, ClosingSavesWhatTheUserChangedAndItsSettingCanUseThenPosts) {
    Open();
    const std::tuple<F, std::vector<const char*>, std::vector<const char*>> fields[] = {
        {F::Port,
         {"1", "65535", " 587 ", "+465"},
         {"", "0", "65536", "2 5", "99999999999999999999"}},
        // A whole number that fits 16 bits; the reader raises -1 to the minimum.
        {F::MinutesInterval, {" 60 ", "-1", "32767"}, {"six", "6.5", "32768"}},
        // Each piece is an address (the address check itself is the mail's).
        {F::Email, {"", "a@x.org, b@y.org", "a@x.org,,", " , "}, {"a@x.org, nobody"}},
    };
    for (const auto& [field, good, bad] : fields) {
        for (const bool refused : {false, true}) {
            for (const char* text : refused ? bad : good) {
                controls_.texts[field] = text;
                EXPECT_EQ(pane_->checkField(field).has_value(), refused) << text;
                EXPECT_EQ(controls_.problems[field].empty(), !refused) << text;
            }
        }
    }
    controls_.texts[F::Username] = "me";
    EXPECT_TRUE(pane_->windowWillClose());
    EXPECT_EQ(File(), (nlohmann::json{{"Username", "me"}, {"Authentication", 0}}))
        << "the refused texts last in their fields are not";

    pane_->windowDidBecomeKey();
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
    posts_.clear();
    EXPECT_TRUE(pane_->windowWillClose());
    ASSERT_EQ(posts_, std::vector<std::string>{
                          "Preferences Changed|com.kestrune.preference.OrbalenStatus"});
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
    EXPECT_EQ(nlohmann::json::parse(fileAtPost_), expected)
        << "saved and synchronized before the post; the two title boxes only by their clicks";
    EXPECT_EQ(keychain_, (std::map<std::string, std::string>{{"smtp.example.org:me", "pw"}}));
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

// Where the password is before the window opens ("": none), what the keyring
// answers and what the user does; then whether the window closes and where
// the password is.
struct PasswordCase {
    const char* name;
    std::string inFile, inStore;
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
    Store("UserPassword", c.inFile);
    keychain_["smtp.example.org:me"] = c.inStore;
    keyring_ = c.keyring;
    Open();
    EXPECT_EQ(controls_.boxes[B::PasswordInFile], !c.inFile.empty());
    EXPECT_EQ(controls_.problems[F::Password].empty(), c.keyring == 0) << "said at once";
    if (c.typed) {
        controls_.texts[F::Password] = *c.typed;
    }
    controls_.boxes[B::PasswordInFile] = c.tickFile;
    EXPECT_EQ(pane_->windowWillClose(), c.closes);
    EXPECT_EQ(File().value("UserPassword", ""), c.fileAfter);
    EXPECT_EQ(keychain_["smtp.example.org:me"], c.storeAfter);
}

const PasswordCase kPasswordCases[] = {
    {"TypedToTheKeyringLeavesTheFile", "old", "", 0, "new", false, true, "", "new"},
    {"TypedWithTheFileChosenGoesThere", "", "old", 0, "new", true, true, "new", "old"},
    {"UntouchedInTheFileStaysThere", "file", "store", 0, std::nullopt, true, true, "file", "store"},
    {"UntouchedAndLockedIsNotWritten", "", "old", kLocked, std::nullopt, false, true, "", "old"},
    {"TypedAndLockedIsRefused", "", "old", kLocked, "new", false, false, "", "old"},
    {"ClearedLeavesBoth", "", "old", 0, "", false, true, "", ""},
};
INSTANTIATE_TEST_SUITE_P(Places, PasswordTest, ::testing::ValuesIn(kPasswordCases), CaseName());

TEST_F(PrefPaneTest, TestEmailGoesToEachStoredRecipientAndShowsHowEachGoes) {
    Open();
    Store("Email", std::string(",,"));
    pane_->testEmail();
    EXPECT_TRUE(mails_.empty());
    EXPECT_EQ(controls_.mailStatus, "No recipients saved: nothing was sent.");
    Store("Email", std::string("a@example.org,,b@example.org,"));
    controls_.texts[F::Email] = "typed@example.org";  // not saved yet: not used
    pane_->testEmail();
    ASSERT_EQ(mails_.size(), 2u);
    EXPECT_EQ(mails_[1].recipient, "b@example.org");
    EXPECT_EQ(played_, std::vector<std::string>{"Mail Sent.aiff"}) << "a missing sound is silent";

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
