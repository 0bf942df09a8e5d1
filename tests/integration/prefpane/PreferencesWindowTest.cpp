// The preferences window as the user meets it: Qt Widgets (offscreen, or on
// Xvfb for the screenshot), the settings file, a loopback SMTP server and,
// in a private session bus, gnome-keyring for the password.
// libsecret first: Qt's "signals" macro would break glib's headers.
#include <libsecret/secret.h>
// clang-format off
#include <QApplication>
#include <QPushButton>
#include <QTest>
// clang-format on
#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "integration/shared/PrivateSession.h"
#include "integration/shared/SmtpTestServer.h"
#include "mail/SSMTP.h"
#include "mail/SenderSettings.h"
#include "prefpane/DefaultServices.h"
#include "prefpane/PreferencesWindow.h"
#include "settings/Preferences.h"
#include "support/FileText.h"
#include "support/ManualRunLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using mail::SSMTP;

namespace prefpane {
namespace {

using namespace std::chrono_literals;

QApplication& App() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "prefpane_window_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own clean-up at exit would outlive it.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A fresh settings folder, the window over it and what it asks of the
// program, written down.
class WindowTest : public ::testing::Test {
protected:
    // Test mails report to loop_: they end before it does.
    void TearDown() override { mail::EndConversations(loop_); }

    void SetUp() override {
        App();
        auto services = DefaultPrefPaneServices("OrbalenStatus", "1.4.0");
        services.publishedState = [] {
            return controller::AddressState{
                {"192.168.1.20", "10.0.0.7"}, "203.0.113.9", {}, {}, {}};
        };
        services.postNotification = [this](std::string_view name, std::string_view) {
            posts_.emplace_back(name);
        };
        services.startMail = [this](const controller::MailAlert& alert,
                                    PrefPaneServices::MailProgressHandler progress) {
            auto sender = SSMTP::create(loop_);
            sender->setProgressHandler(std::move(progress));
            sender->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient, alert.message);
        };
        const auto play = services.playSound;
        services.playSound = [this, play](const Sound& sound) {
            played_.push_back(sound.resourceName);
            play(sound);  // no audio device here: must stay silent
        };
        window_ = std::make_unique<PreferencesWindow>(std::move(services));
    }

    nlohmann::json File() const {
        const auto file = folder_ / "OrbalenStatus" / "com.kestrune.OrbalenStatus.json";
        return std::filesystem::exists(file)
                   ? nlohmann::json::parse(testing_support::ReadText(file))
                   : nlohmann::json::object();
    }

    void Type(TextField field, const QString& text) {
        QLineEdit* edit = window_->field(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    testing_support::TempFolder folder_{"prefpane"};
    testing_support::ScopedEnv config_{"XDG_CONFIG_HOME", folder_.path().c_str()};
    testing_support::ScopedEnv system_{"XDG_CONFIG_DIRS", (folder_ / "none").c_str()};
    testing_support::ManualRunLoop loop_{testing_support::ManualRunLoop::Clock::Real};
    std::unique_ptr<PreferencesWindow> window_;
    std::vector<std::string> posts_;
    std::vector<std::string> played_;
};

// The window as it opens, then the keyboard and mouse on its fields and boxes.
TEST_F(WindowTest, OpensWithTheDefaultsAndAnswersKeysAndClicks) {
    window_->present();
    EXPECT_EQ(window_->field(TextField::LastIPAddress)->text(), "192.168.1.20");
    EXPECT_TRUE(window_->pane().completionSound() && window_->pane().incompletionSound())
        << "the program ships its sounds";

    QApplication::setActiveWindow(window_.get());
    window_->field(TextField::MailServer)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window_->field(TextField::Port)) << "tab order";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window_->authentication());

    Type(TextField::Port, "70000");
    EXPECT_FALSE(window_->problemLabel(TextField::Port)->text().isEmpty()) << "while typing";
    Type(TextField::Port, "465");
    EXPECT_TRUE(window_->problemLabel(TextField::Port)->text().isEmpty());

    // A box is stored when clicked, by mouse or keyboard, and posts nothing.
    QCheckBox* box = window_->checkBox(CheckBox::IncludeMachineName);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(File()["IncludeMachineName"], true);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(File()["IncludeMachineName"], false);
    EXPECT_TRUE(posts_.empty());

    // Start at login: an autostart entry of the user's that starts this very
    // program, and none again once unticked (there is no system entry).
    const auto entry = folder_ / "autostart" / "com.kestrune.OrbalenStatus.desktop";
    box = window_->checkBox(CheckBox::StartAtLogin);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_TRUE(box->isChecked());
    EXPECT_NE(testing_support::ReadText(entry).find(
                  "\nExec=" + std::filesystem::read_symlink("/proc/self/exe").string() + "\n"),
              std::string::npos);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_FALSE(box->isChecked() || std::filesystem::exists(entry));
}

// The button whose text holds text.
QPushButton* Button(PreferencesWindow& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text().contains(text)) {
            return button;
        }
    }
    return nullptr;
}

TEST_F(WindowTest, EveryWayOfClosingSavesTheTypedFieldsAndPostsOnce) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Escape", [this] { QTest::keyClick(window_.get(), Qt::Key_Escape); }},
        {"WindowManager", [this] { window_->close(); }},
        {"CloseButton", [this] { Button(*window_, "Close")->click(); }}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(ways[i].first);
        posts_.clear();
        window_->present();
        const std::string server = "smtp" + std::to_string(i) + ".example.org";
        Type(TextField::MailServer, QString::fromStdString(server));
        window_->authentication()->setCurrentIndex((i + 1) % 3);
        ways[i].second();
        EXPECT_FALSE(window_->isVisible());
        const auto file = File();
        EXPECT_EQ(file["MailServer"], server);
        EXPECT_EQ(file["Authentication"], (i + 1) % 3);
        EXPECT_EQ(posts_, std::vector<std::string>{"Preferences Changed"});
    }
}

// The recipients of the messages the server accepts while loop runs, until
// there are count of them.
std::multiset<std::string> Recipients(integration::SmtpTestServer& server,
                                      testing_support::ManualRunLoop& loop, std::size_t count) {
    std::multiset<std::string> found;
    loop.runUntil(
        [&] {
            for (const nlohmann::json& event : server.events(20ms)) {
                if (event["event"] == "message") {
                    found.insert(event["rcpt_tos"][0].get<std::string>());
                }
            }
            return found.size() >= count;
        },
        20s);
    return found;
}

void StoreServer(const std::string& port, std::int64_t authentication) {
    settings::SetAppValue("MailServer", std::string("127.0.0.1"));
    settings::SetAppValue("Port", port);
    settings::SetAppValue("Authentication", authentication);
    settings::SetAppValue("useSSL", false);
    settings::SetAppValue("Email", std::string("ann@example.org,,bob@example.org"));
    settings::AppSynchronize();
}

void LockTheKeyring() {
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, {}, {});
    GList* collections = secret_service_get_collections(service);
    secret_service_lock_sync(service, collections, nullptr, nullptr, nullptr);
    g_list_free_full(collections, g_object_unref);
    g_object_unref(service);
}

// Unlocked, the password goes to the keyring and the sender uses it; locked
// (no one here to answer the unlock prompt) a typed password is refused
// aloud, never written to the file unasked, and kept until the user chooses.
TEST_F(WindowTest, ThePasswordLivesInTheKeyringAndIsNeverWrittenInClearUnasked) {
    if (!integration::InPrivateSession("WindowTest.ThePasswordLives*")) {
        return;
    }
    ASSERT_TRUE(integration::StartKeyring()) << "gnome-keyring-daemon did not start";
    integration::SmtpTestServer server({"--mode", "plain", "--user", "ann:keyring secret"});
    StoreServer(server.port, 1);

    window_->present();
    Type(TextField::Username, "ann");
    Type(TextField::Password, "keyring secret");
    window_->close();
    EXPECT_FALSE(File().contains("UserPassword")) << "not in the settings file";
    EXPECT_EQ(mail::FindStoredPassword("127.0.0.1", "ann").password, "keyring secret");

    window_->present();
    EXPECT_EQ(window_->field(TextField::Password)->text(), "keyring secret");
    QTest::mouseClick(Button(*window_, "Test"), Qt::LeftButton);
    EXPECT_EQ(played_, std::vector<std::string>{"Mail Sent.aiff"});
    EXPECT_EQ(Recipients(server, loop_, 2),
              (std::multiset<std::string>{"ann@example.org", "bob@example.org"}))
        << "each stored recipient; the sender authenticated with the stored password";
    window_->close();

    LockTheKeyring();
    window_->present();
    EXPECT_EQ(window_->field(TextField::Password)->text(), "");
    EXPECT_FALSE(window_->problemLabel(TextField::Password)->text().isEmpty());
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(File().contains("UserPassword")) << "untouched: not written";

    window_->present();
    Type(TextField::Password, "typed last");
    window_->close();
    EXPECT_TRUE(window_->isVisible()) << "stays open to say the keyring refused it";
    EXPECT_TRUE(window_->problemLabel(TextField::Password)->text().contains("locked"));
    EXPECT_FALSE(File().contains("UserPassword"));
    window_->checkBox(CheckBox::PasswordInFile)->setChecked(true);
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(File()["UserPassword"], "typed last") << "the user's choice";
}

// Every message shown at once still leaves the whole window on a 1280x720
// screen (run again at 150%, and on Xvfb for a picture, by ctest entries).
TEST_F(WindowTest, FitsA1280x720ScreenWithEveryMessageShown) {
    StoreServer("587", 2);
    window_->present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    const QSize before = window_->frameGeometry().size();
    const TextField fields[] = {TextField::Port, TextField::Password, TextField::Email,
                                TextField::MinutesInterval};
    for (TextField field : fields) {
        window_->showProblem(field, field == TextField::Password
                                        ? "No keyring answered: the password is not saved. "
                                          "Unlock the keyring and close again, or tick \"Keep "
                                          "in the settings file\" (plain text)."
                                        : "Type a whole number between 1 and 65535, such as "
                                          "25, 465 or 587 (a mail port).");
    }
    window_->showMailStatus(
        "ann@example.org: sent\nbob@example.org: not sent: 535 5.7.8 "
        "Authentication credentials invalid\ncy@example.org: sending...");
    QTest::qWait(100);
    const QSize after = window_->frameGeometry().size();
    EXPECT_EQ(after, before) << "messages do not make the window grow";
    EXPECT_LE(after.width(), 1280);
    EXPECT_LE(after.height() + 80, 720) << "room for a title bar and a panel: " << after.height();
    for (TextField field : fields) {
        QLabel* label = window_->problemLabel(field);
        EXPECT_LE(label->heightForWidth(label->width()), label->height()) << "all of it shows";
    }
    std::filesystem::create_directories(ORBALEN_TEST_ARTIFACTS);
    EXPECT_TRUE(window_->grab().save(ORBALEN_TEST_ARTIFACTS "/preferences-window.png"));
}

}  // namespace
}  // namespace prefpane
