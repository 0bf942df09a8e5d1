#pragma once

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "log/EventLog.h"
#include "platform/SystemLog.h"
#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"
#include "support/CaseName.h"
#include "support/ManualRunLoop.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using Lines = std::vector<std::string>;
namespace keys = settings::keys;
using namespace std::chrono_literals;
using namespace std::string_literals;
using TextDone = controller::AppControllerServices::TextDone;

inline std::string Page(const std::string& address) {
    return "<html><body>Current IP Address: " + address + "</body></html>";
}

struct RecordingItem : controller::StatusItem {
    void setTitle(const std::string& text) override { title_ = text; }
    std::string title() const override { return title_; }
    void setImage(const std::optional<std::string>& name) override { image = name; }
    void setHighlightMode(bool) override {}
    void setMenu(std::shared_ptr<const controller::Menu> given) override {
        menu = given ? *given : controller::Menu{};
        ++menusGiven;
    }
    std::string title_;
    std::optional<std::string> image;
    controller::Menu menu;
    int menusGiven = 0;
};

struct RecordingDesktop : controller::Desktop {
    void putOnClipboard(const std::string& text) override { clipboard.push_back(text); }
    void bringToFront() override { requests.push_back("bringToFront"); }
    void showAboutPanel() override { requests.push_back("about"); }
    void showPreferences() override { requests.push_back("preferences"); }
    void terminate() override { requests.push_back("terminate"); }
    void publishState(const controller::AddressState& state) override { states.push_back(state); }
    void notify(const std::string&, const std::string&) override { requests.push_back("notify"); }
    Lines clipboard, requests;
    std::vector<controller::AddressState> states;
};

// One controller on a virtual clock, fakes for every outside service, and
// settings and log in a private folder. Log lines are read from the system log.
class ControllerTest : public ::testing::Test {
protected:
    // 2026-12-07 00:00:00 UTC as the wall clock's start.
    static constexpr std::chrono::seconds kWallStart{1796601600};
    static constexpr const char* kLookupURL = "http://127.0.0.1:8080/ip";

    void SetUp() override {
        tzset();
        controller::gAddresses.clear();
        controller::gExternalIPAddress.reset();
        controller::gWirelessNetwork.reset();
        controller::gLastInternalChange.reset();
        controller::gLastExternalChange.reset();
        platform::SetSystemLogObserver([this](std::string_view line) { log_.emplace_back(line); });
        // Mails to one recipient, one address, a service that answers.
        store({{keys::kExternalIPLookupURL, std::string(kLookupURL)},
               {keys::kSendEmailNotifications, true},
               {keys::kEmail, "ops@example.org"s}});
        answer({"10.0.0.5"});
        pages_[""] = Page("203.0.113.7");
        services_.copyIPAddressList = [this](std::unique_ptr<netinfo::AddressList>* out) {
            *out = addresses_ ? std::make_unique<netinfo::AddressList>(*addresses_) : nullptr;
            return addresses_ ? 0 : netinfo::kAddressListGenericFailure;
        };
        services_.createIPAddressListChangeCallback = [this](auto&, auto callback, void* context,
                                                             auto*, auto*) {
            notify_ = [callback, context] { callback(nullptr, context); };
            return 0;
        };
        services_.fetchPage = [this](const std::string& url, TextDone done) {
            fetched_.push_back(url);
            held_.push_back(
                [this, url, done] { done(pages_.contains(url) ? pages_.at(url) : pages_[""]); });
            if (!hanging_) {
                release();
            }
        };
        // As a real sender does, each mail started logs a line.
        services_.startMail = [this](platform::RunLoop&, const controller::MailAlert& alert) {
            alerts_.push_back(alert);
            eventlog::LogEntry("sender started for: " + alert.recipient);
        };
        services_.reverseLookup = [this](const std::string& address, platform::RunLoop& loop,
                                         TextDone done) {
            const auto name = names_.find(address);
            if (name == names_.end() || name->second) {
                loop.post([done, answer = name == names_.end() ? std::nullopt : name->second] {
                    done(answer);
                });
            }
        };
        services_.currentWirelessNetwork = [this] { return wirelessName_; };
        services_.copyMachineName = [this] { return machineName_; };
        services_.openConsole = [this] { desktop_.requests.push_back("openConsole"); };
        services_.wallClock = [this] {
            return std::chrono::system_clock::time_point(kWallStart) + (loop_.now() - loopStart_);
        };
        services_.bundleShortVersion = "9.8.7";
    }
    void TearDown() override {
        controller_.reset();
        eventlog::StopLogging();
        platform::SetSystemLogObserver(nullptr);
    }

    // Writes the settings (none: removes the key) as a save does.
    static void store(
        std::initializer_list<std::pair<std::string_view, std::optional<settings::Value>>> values) {
        for (const auto& [key, value] : values) {
            settings::SetAppValue(key, value);
        }
        settings::AppSynchronize();
    }
    static std::optional<settings::Value> stored(std::string_view key) {
        settings::AppSynchronize();
        return settings::CopyAppValue(key);
    }

    controller::AppController& controller() {
        if (!controller_) {
            controller_ = std::make_unique<controller::AppController>(loop_, center_, item_,
                                                                      desktop_, services_);
        }
        return *controller_;
    }
    // Runs the answers and work posted so far, without moving the clock.
    void settle() {
        while (loop_.runOnce(0ms)) {
        }
    }
    void start() {
        controller().init();
        settle();
        log_.clear();
    }
    void refresh(bool rebuildMenu = false) {
        controller().refresh(rebuildMenu);
        settle();
    }
    // A change notice from the kernel, as the loop delivers it.
    void notice() {
        notify_();
        settle();
    }
    std::string externalIP() {
        std::string answer = "(none)";
        controller().externalIP([&answer](const std::string& address) { answer = address; });
        settle();
        return answer;
    }
    void answer(netinfo::AddressList list) { addresses_ = std::move(list); }
    void release() {
        hanging_ = false;
        for (auto& held : std::exchange(held_, {})) {
            loop_.post(held);
        }
    }

    // The mails started, as "old>new" ("(null)": no old address).
    Lines mailed() const {
        Lines mails;
        for (const auto& alert : alerts_) {
            mails.push_back(alert.oldAddress.value_or("(null)") + ">" + alert.newAddress);
        }
        return mails;
    }
    Lines takeLog() { return std::exchange(log_, {}); }
    long count(const std::string& line) const { return std::ranges::count(log_, line); }
    // Whether the lines appear in the log in this order (others between).
    testing::AssertionResult inOrder(const Lines& lines) const {
        auto at = log_.begin();
        for (const auto& line : lines) {
            if ((at = std::find(at, log_.end(), line)) == log_.end()) {
                return testing::AssertionFailure()
                       << line << " not in order in " << testing::PrintToString(log_);
            }
        }
        return testing::AssertionSuccess();
    }
    static std::string refreshedLine(const std::string& address) {
        return "OrbalenStatus 9.8.7 refreshed. (" + address + ")";
    }

    testing_support::TempFolder root_{"controller-test"};
    testing_support::ScopedEnv config_{"XDG_CONFIG_HOME", (root_ / "config").c_str()};
    testing_support::ScopedEnv system_{"XDG_CONFIG_DIRS", (root_ / "system").c_str()};
    testing_support::ScopedEnv data_{"XDG_DATA_HOME", (root_ / "data").c_str()};
    testing_support::ScopedEnv zone_{"TZ", "UTC"};

    testing_support::ManualRunLoop loop_;
    platform::RunLoop::TimePoint loopStart_ = loop_.now();
    platform::LocalNotificationCenter center_;
    RecordingItem item_;
    RecordingDesktop desktop_;
    controller::AppControllerServices services_;
    std::unique_ptr<controller::AppController> controller_;
    Lines log_;
    std::vector<controller::MailAlert> alerts_;
    // The kernel's list (none: a read fails) and its change notices.
    std::optional<netinfo::AddressList> addresses_;
    std::function<void()> notify_;  // set once the change source is installed
    // Each URL's page, else the one at "" (none: the service is unreachable).
    std::map<std::string, std::optional<std::string>> pages_;
    Lines fetched_;
    bool hanging_ = false;  // while set, the fetches' answers wait for release()
    std::vector<std::function<void()>> held_;
    // Reverse look-up answers; one set to none never answers.
    std::map<std::string, std::optional<std::string>> names_;
    std::optional<std::string> wirelessName_;
    std::optional<std::string> machineName_ = "Studio";
};
