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
#include <string>

#include <gtest/gtest.h>

#include "integration/shared/PrivateSession.h"
#include "integration/shared/SmtpTestServer.h"
#include "mail/SSMTP.h"
#include "prefpane/DefaultServices.h"
#include "prefpane/PreferencesWindow.h"
#include "settings/Preferences.h"
#include "support/FileText.h"
#include "support/ManualRunLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace prefpane {
namespace {

using namespace std::chrono_literals;

// A fresh settings folder, the window over it and its posts.
class WindowTest : public ::testing::Test {
protected:
    // Test mails report to loop_: they end before it does.
    void TearDown() override { mail::EndConversations(loop_); }

    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char program[] = "prefpane_window_tests";
        static char* argv[] = {program, nullptr};
        // Never destroyed: Qt's own clean-up at exit would outlive it.
        [[maybe_unused]] static QApplication* app = new QApplication(argc, argv);
        auto services = DefaultPrefPaneServices("OrbalenStatus", "1.4.0");
        services.postNotification = [this](std::string_view name, std::string_view) {
            posts_.emplace_back(name);
        };
        services.startMail = [this](const controller::MailAlert& alert,
                                    PrefPaneServices::MailProgressHandler progress) {
            auto sender = mail::SSMTP::create(loop_);
            sender->setProgressHandler(std::move(progress));
            sender->sendMessage(alert.newAddress, alert.oldAddress, alert.recipient, alert.message);
        };
        window_ = std::make_unique<PreferencesWindow>(std::move(services));
    }

    nlohmann::json File() const {
        return nlohmann::json::parse(testing_support::ReadText(folder_ / "OrbalenStatus" /
                                                               "com.kestrune.OrbalenStatus.json"));
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
};

// The button whose text holds text.
QPushButton* Button(PreferencesWindow& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text().contains(text)) {
            return button;
        }
    }
    return nullptr;
}

// The keyboard and mouse on the window's fields and boxes, then every way
// of closing it.
TEST_F(WindowTest, AnswersKeysAndClicksAndSavesOnEveryWayOfClosing) {
    window_->present();
    EXPECT_TRUE(window_->pane().completionSound() && window_->pane().incompletionSound())
        << "the program ships its sounds";
    Type(TextField::Port, "70000");
    EXPECT_FALSE(window_->problemLabel(TextField::Port)->text().isEmpty()) << "while typing";
    Type(TextField::Port, "465");
    EXPECT_TRUE(window_->problemLabel(TextField::Port)->text().isEmpty());

    // A box is stored when clicked, and posts nothing.
    QCheckBox* box = window_->checkBox(CheckBox::IncludeMachineName);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(File()["IncludeMachineName"], true);
    EXPECT_TRUE(posts_.empty());

    // Start at login: while the autostart folder cannot be made the box shows
    // the truth and why; then an entry of the user's that starts this very
    // program, and none again once unticked (there is no system entry).
    const auto folder = folder_ / "autostart";
    const auto entry = folder / "com.kestrune.OrbalenStatus.desktop";
    testing_support::WriteText(folder, "a file where the folder should be");
    box = window_->checkBox(CheckBox::StartAtLogin);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_FALSE(box->isChecked());
    const auto labels = window_->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->text().startsWith("cannot write");
    }));
    std::filesystem::remove(folder);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_TRUE(box->isChecked());
    EXPECT_NE(testing_support::ReadText(entry).find(
                  "\nExec=" + std::filesystem::read_symlink("/proc/self/exe").string() + "\n"),
              std::string::npos);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_FALSE(box->isChecked() || std::filesystem::exists(entry));

    // A password the window cannot keep holds it open, the password still
    // typed, until the user chooses where it goes.
    Type(TextField::Password, "typed");  // no user name: no keyring place for it
    window_->authentication()->setCurrentIndex(2);
    window_->close();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->problemLabel(TextField::Password)->text().isEmpty());
    window_->checkBox(CheckBox::PasswordInFile)->setChecked(true);
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Escape", [this] { QTest::keyClick(window_.get(), Qt::Key_Escape); }},
        {"WindowManager", [this] { window_->close(); }},
        {"CloseButton", [this] { Button(*window_, "Close")->click(); }}};
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        posts_.clear();
        window_->present();
        close();
        EXPECT_FALSE(window_->isVisible());
        EXPECT_EQ(posts_, std::vector<std::string>{"Preferences Changed"});
    }
    EXPECT_EQ(File()["UserPassword"], "typed");
    EXPECT_EQ(File()["Authentication"], 2);
}

// Unlocked, the password goes to the keyring, not the settings file, shows
// from there and the sender authenticates with it.
TEST_F(WindowTest, ThePasswordLivesInTheKeyringAndTheSenderUsesIt) {
    if (!integration::InPrivateSession("WindowTest.ThePasswordLives*")) {
        return;
    }
    ASSERT_TRUE(integration::StartKeyring()) << "gnome-keyring-daemon did not start";
    integration::SmtpTestServer server({"--mode", "plain", "--user", "ann:keyring secret"});
    settings::SetAppValue("MailServer", std::string("127.0.0.1"));
    settings::SetAppValue("Port", server.port);
    settings::SetAppValue("Authentication", std::int64_t{1});
    settings::SetAppValue("useSSL", false);
    settings::SetAppValue("Email", std::string("ann@example.org,,bob@example.org"));
    settings::AppSynchronize();

    window_->present();
    Type(TextField::Username, "ann");
    Type(TextField::Password, "keyring secret");
    window_->close();
    EXPECT_FALSE(File().contains("UserPassword")) << "not in the settings file";
    window_->present();
    EXPECT_EQ(window_->field(TextField::Password)->text(), "keyring secret");
    QTest::mouseClick(Button(*window_, "Test"), Qt::LeftButton);
    int accepted = 0;
    loop_.runUntil(
        [&] {
            for (const nlohmann::json& event : server.events(20ms)) {
                accepted += event["event"] == "message";
            }
            return accepted >= 2;
        },
        20s);
    EXPECT_EQ(accepted, 2) << "one to each stored recipient, sent with the keyring's password";
}

// Every message shown at once still leaves the whole window on a 1280x720
// screen (run again at 150%, and on Xvfb for a picture, by ctest entries).
TEST_F(WindowTest, FitsA1280x720ScreenWithEveryMessageShown) {
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
