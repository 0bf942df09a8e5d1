// The preferences window as the user meets it: Qt Widgets (offscreen, or on
// Xvfb for the screenshot), the settings file, a loopback SMTP server and,
// in a private session bus, gnome-keyring for the password.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include <gtest/gtest.h>

#include "mail/SSMTP.h"
#include "mail/SenderSettings.h"
#include "platform/ManualRunLoop.h"
#include "prefpane/DefaultServices.h"
#include "prefpane/PreferencesWindow.h"
#include "settings/Preferences.h"
#include "support/ChildProcess.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace prefpane {
namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

constexpr const char* kInsideSession = "ORBALEN_PREFPANE_SESSION";

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
        services.startMail = [this](const controller::MailAlert& alert) {
            SSMTP::create(loop_)->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient,
                                              alert.message);
            ++mailsStarted_;
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
    platform::ManualRunLoop loop_{platform::ManualRunLoop::Clock::Real};
    std::unique_ptr<PreferencesWindow> window_;
    std::vector<std::string> posts_;
    std::vector<std::string> played_;
    int mailsStarted_ = 0;
};

TEST_F(WindowTest, OpensWithTheDefaultsAndTheControllersAddresses) {
    window_->present();
    EXPECT_EQ(window_->field(TextField::MinutesInterval)->text(), "6");
    EXPECT_EQ(window_->field(TextField::Port)->text(), "25");
    EXPECT_EQ(window_->field(TextField::LastIPAddress)->text(), "192.168.1.20");
    EXPECT_EQ(window_->field(TextField::LastExternalIPAddress)->text(), "203.0.113.9");
    EXPECT_TRUE(window_->field(TextField::LastIPAddress)->isReadOnly());
    EXPECT_EQ(window_->field(TextField::Password)->echoMode(), QLineEdit::Password);
    QStringList items;
    for (int i = 0; i < window_->authentication()->count(); ++i) {
        items << window_->authentication()->itemText(i);
    }
    EXPECT_EQ(items, (QStringList{"None", "PLAIN", "LOGIN"}));
    EXPECT_TRUE(window_->pane().completionSound()) << "the program ships its sounds";
}

TEST_F(WindowTest, ACheckBoxIsStoredWhenClickedWithoutANotification) {
    window_->present();
    QCheckBox* box = window_->checkBox(CheckBox::IncludeMachineName);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(File()["IncludeMachineName"], true);
    QTest::keyClick(window_->checkBox(CheckBox::IncludeMachineName), Qt::Key_Space);
    EXPECT_EQ(File()["IncludeMachineName"], false) << "the keyboard works too";
    EXPECT_TRUE(posts_.empty());
}

enum class CloseWay { Escape, WindowManager, CloseButton };

std::string CloseWayName(CloseWay way) {
    switch (way) {
        case CloseWay::Escape:
            return "Escape";
        case CloseWay::WindowManager:
            return "WindowManager";
        case CloseWay::CloseButton:
            return "CloseButton";
    }
    return "";
}

void PrintTo(CloseWay way, std::ostream* out) {
    *out << CloseWayName(way);
}

class ClosingTest : public WindowTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(ClosingTest, SavesTheTypedFieldsAndPostsOnce) {
    window_->present();
    Type(TextField::MailServer, "smtp.example.org");
    Type(TextField::Port, "587");
    Type(TextField::MinutesInterval, "15");
    window_->authentication()->setCurrentIndex(1);
    switch (GetParam()) {
        case CloseWay::Escape:
            QTest::keyClick(window_.get(), Qt::Key_Escape);
            break;
        case CloseWay::WindowManager:
            window_->close();
            break;
        case CloseWay::CloseButton:
            for (QPushButton* button : window_->findChildren<QPushButton*>()) {
                if (button->text().contains("Close")) {
                    button->click();
                }
            }
            break;
    }
    EXPECT_FALSE(window_->isVisible());
    const auto file = File();
    EXPECT_EQ(file["MailServer"], "smtp.example.org");
    EXPECT_EQ(file["Port"], "587");
    EXPECT_EQ(file["MinutesInterval"], 15);
    EXPECT_EQ(file["Authentication"], 1);
    EXPECT_EQ(posts_, std::vector<std::string>{"Preferences Changed"});
}

INSTANTIATE_TEST_SUITE_P(Ways, ClosingTest,
                         ::testing::Values(CloseWay::Escape, CloseWay::WindowManager,
                                           CloseWay::CloseButton),
                         [](const auto& way) { return CloseWayName(way.param); });

TEST_F(WindowTest, BadInputIsExplainedBesideItsField) {
    window_->present();
    Type(TextField::Port, "70000");
    EXPECT_TRUE(window_->problemLabel(TextField::Port)->isVisibleTo(window_.get()));
    Type(TextField::Port, "465");
    EXPECT_FALSE(window_->problemLabel(TextField::Port)->isVisibleTo(window_.get()));
    Type(TextField::Email, "me at example.org");
    window_->close();
    EXPECT_FALSE(File().contains("Email"));
}

TEST_F(WindowTest, TabMovesThroughTheMailFieldsInOrder) {
    window_->present();
    QApplication::setActiveWindow(window_.get());
    window_->field(TextField::MailServer)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window_->field(TextField::Port));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window_->authentication());
}

// smtp_test_server.py on an ephemeral loopback port.
struct SmtpServer : ChildProcess {
    explicit SmtpServer(const std::vector<std::string>& options)
        : ChildProcess([&] {
              std::vector<std::string> argv{"/usr/bin/python3",
                                            "tests/integration/mail/smtp_test_server.py"};
              argv.insert(argv.end(), options.begin(), options.end());
              return argv;
          }()) {
        const auto line = readLine(20s);
        port = line && line->starts_with("PORT ") ? line->substr(5) : "0";
    }
    // The recipients of the messages accepted while loop runs, until there
    // are count of them.
    std::multiset<std::string> recipients(platform::ManualRunLoop& loop, std::size_t count) {
        std::multiset<std::string> found;
        loop.runUntil(
            [&] {
                while (const auto line = readLine(20ms)) {
                    const auto event = nlohmann::json::parse(*line);
                    if (event["event"] == "message") {
                        found.insert(event["rcpt_tos"][0].get<std::string>());
                    }
                }
                return found.size() >= count;
            },
            20s);
        return found;
    }
    std::string port;
};

void StoreServer(const std::string& port, std::int64_t authentication) {
    settings::SetAppValue("MailServer", std::string("127.0.0.1"));
    settings::SetAppValue("Port", port);
    settings::SetAppValue("Authentication", authentication);
    settings::SetAppValue("useSSL", false);
    settings::SetAppValue("Email", std::string("ann@example.org,,bob@example.org"));
    settings::AppSynchronize();
}

QPushButton* TestButton(PreferencesWindow& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text().contains("Test")) {
            return button;
        }
    }
    return nullptr;
}

TEST_F(WindowTest, TestEmailReachesEachStoredRecipient) {
    SmtpServer server({"--mode", "plain"});
    StoreServer(server.port, 0);
    window_->present();
    QTest::mouseClick(TestButton(*window_), Qt::LeftButton);
    EXPECT_EQ(played_, std::vector<std::string>{"Mail Sent.aiff"});
    EXPECT_EQ(mailsStarted_, 2);
    EXPECT_EQ(server.recipients(loop_, 2),
              (std::multiset<std::string>{"ann@example.org", "bob@example.org"}));
}

// Runs the test again inside a private session bus with a throw-away home;
// true when already there.
bool InPrivateSession(const std::string& filter) {
    if (getenv(kInsideSession)) {
        return true;
    }
    testing_support::TempFolder home("prefpane-keyring");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    ChildProcess session(
        {"dbus-run-session", "--", self, "--gtest_filter=" + filter},
        {std::string(kInsideSession) + "=1", "HOME=" + home.path().string(),
         "XDG_DATA_HOME=" + (home / "data").string(), "XDG_RUNTIME_DIR=" + home.path().string()});
    const std::string output = session.readAll(60s);
    EXPECT_EQ(session.wait(5s), 0) << output;
    return false;
}

TEST_F(WindowTest, ThePasswordLivesInTheSecretServiceAndTheSenderUsesIt) {
    if (!InPrivateSession("WindowTest.ThePasswordLives*")) {
        return;
    }
    ChildProcess keyring(
        {"gnome-keyring-daemon", "--daemonize", "--unlock", "--components=secrets"}, {},
        "test-password");
    ASSERT_EQ(keyring.wait(20s), 0) << "gnome-keyring-daemon did not start";
    SmtpServer server({"--mode", "plain", "--user", "ann:keyring secret"});
    StoreServer(server.port, 1);

    window_->present();
    Type(TextField::Username, "ann");
    Type(TextField::Password, "keyring secret");
    window_->close();
    EXPECT_FALSE(File().contains("UserPassword")) << "not in the settings file";
    EXPECT_EQ(mail::FindStoredPassword("127.0.0.1", "ann"), "keyring secret");

    window_->present();
    EXPECT_EQ(window_->field(TextField::Password)->text(), "keyring secret");
    QTest::mouseClick(TestButton(*window_), Qt::LeftButton);
    EXPECT_EQ(server.recipients(loop_, 2).size(), 2u)
        << "the sender authenticated with the stored password";
}

TEST_F(WindowTest, WithoutASecretServiceThePasswordStaysInTheFile) {
    testing_support::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    settings::SetAppValue("UserPassword", std::string("old"));
    settings::SetAppValue("MailServer", std::string("smtp.example.org"));
    settings::SetAppValue("Username", std::string("ann"));
    settings::AppSynchronize();
    window_->present();
    EXPECT_EQ(window_->field(TextField::Password)->text(), "old") << "an older file still works";
    EXPECT_EQ(mail::ReadSmtpPassword(), "old");
    Type(TextField::Password, "new");
    window_->close();
    EXPECT_EQ(File()["UserPassword"], "new");
}

TEST(PreferencesWindow, Screenshot) {
    App();
    testing_support::TempFolder folder{"prefpane-shot"};
    testing_support::ScopedEnv config{"XDG_CONFIG_HOME", folder.path().c_str()};
    settings::SetAppValue("MailServer", std::string("smtp.example.org"));
    settings::SetAppValue("Username", std::string("ann"));
    settings::SetAppValue("Email", std::string("ann@example.org"));
    settings::SetAppValue("SendEmailNotifications", true);
    settings::SetAppValue("IncludeExternalIP", true);
    settings::SetAppValue("Port", std::string("587"));
    settings::SetAppValue("Authentication", std::int64_t{2});
    settings::AppSynchronize();
    auto services = DefaultPrefPaneServices("OrbalenStatus", "1.4.0");
    services.publishedState = [] {
        return controller::AddressState{{"192.168.1.20"}, "203.0.113.9", {}, {}, {}};
    };
    PreferencesWindow window(std::move(services));
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);
    std::filesystem::create_directories(ORBALEN_TEST_ARTIFACTS);
    const QString file = QStringLiteral(ORBALEN_TEST_ARTIFACTS "/preferences-window.png");
    ASSERT_TRUE(window.grab().save(file));
}

}  // namespace
}  // namespace prefpane
