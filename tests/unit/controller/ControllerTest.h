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
#include "controller/Desktop.h"
#include "log/EventLog.h"
#include "platform/NotificationCenter.h"
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

// The kernel's address list and its change notices: a read answers the list
// set last (fails when none is), notify() calls back as the loop would.
struct ScriptedAddresses {
    void answer(netinfo::AddressList given) { list = std::move(given); }
    void failReads() { list.reset(); }
    void notify() const { callback ? callback(nullptr, context) : void(); }
    std::optional<netinfo::AddressList> list;
    std::int32_t changeSourceStatus = 0;
    netinfo::IPAddressListChangeCallback callback = nullptr;
    void* context = nullptr;
};

// The page fetch: each fetch is written down and answered, posted on the
// loop, with the page set for its URL, else the page set for all (none: an
// unreachable service). While hanging, the answers wait for release().
struct FakePages {
    void answerAddress(const std::string& address) {
        page = "<html><body>Current IP Address: " + address + "</body></html>";
    }
    std::optional<std::string> pageFor(const std::string& url) const {
        return byURL.contains(url) ? byURL.at(url) : page;
    }
    void release() {
        hanging = false;
        for (auto& [url, done] : std::exchange(held, {})) {
            done(pageFor(url));
        }
    }
    std::optional<std::string> page;
    std::map<std::string, std::optional<std::string>> byURL;
    Lines fetched;
    bool hanging = false;
    std::vector<std::pair<std::string, TextDone>> held;
};

// A status item that keeps what it was last given and counts the menus.
struct RecordingItem : controller::StatusItem {
    void setTitle(const std::string& text) override { title_ = text; }
    std::string title() const override { return title_; }
    void setImage(const std::optional<std::string>& name) override { image = name; }
    void setHighlightMode(bool on) override { highlight = on; }
    void setMenu(std::shared_ptr<const controller::Menu> given) override {
        menu = given ? *given : controller::Menu{};
        ++menusGiven;
    }
    std::string title_;
    std::optional<std::string> image;
    bool highlight = false;
    controller::Menu menu;
    int menusGiven = 0;
};

// A desktop that writes down the requests, the clipboard's texts, the
// published states and the notices.
struct RecordingDesktop : controller::Desktop {
    void putOnClipboard(const std::string& text) override { clipboard.push_back(text); }
    void bringToFront() override { requests.push_back("bringToFront"); }
    void showAboutPanel() override { requests.push_back("about"); }
    void showPreferences() override { requests.push_back("preferences"); }
    void terminate() override { requests.push_back("terminate"); }
    void publishState(const controller::AddressState& state) override { states.push_back(state); }
    void notify(const std::string& summary, const std::string& body) override {
        notifications.push_back(summary + ": " + body);
    }
    Lines clipboard, requests, notifications;
    std::vector<controller::AddressState> states;
};

// One controller on a manual loop with a virtual clock, fakes for every
// outside service, settings and log in a private folder and the clock's
// zone fixed to UTC. Log lines are read from the system log side of the
// event log; "External ip = ..." lines go there directly and are kept too.
class ControllerTest : public ::testing::Test {
protected:
    // 2026-12-07 00:00:00 UTC as the wall clock's start.
    static constexpr std::chrono::seconds kWallStart{1796601600};
    static constexpr const char* kVersion = "9.8.7";
    static constexpr const char* kLookupURL = "http://127.0.0.1:8080/ip";

    void SetUp() override {
        tzset();
        controller::gAddresses.clear();
        controller::gExternalIPAddress.reset();
        controller::gWirelessNetwork.reset();
        controller::gLastInternalChange.reset();
        controller::gLastExternalChange.reset();
        platform::SetSystemLogObserver([this](std::string_view line) { log_.emplace_back(line); });
        store(keys::kExternalIPLookupURL, std::string(kLookupURL));
        services_.copyIPAddressList = [this](std::unique_ptr<netinfo::AddressList>* out) {
            *out = addresses_.list ? std::make_unique<netinfo::AddressList>(*addresses_.list)
                                   : nullptr;
            return addresses_.list ? 0 : netinfo::kAddressListGenericFailure;
        };
        services_.createIPAddressListChangeCallback = [this](auto&, auto callback, void* context,
                                                             auto*, auto*) {
            if (addresses_.changeSourceStatus == 0) {
                addresses_.callback = callback, addresses_.context = context;
            }
            return addresses_.changeSourceStatus;
        };
        services_.fetchPage = [this](const std::string& url, TextDone done) {
            pages_.fetched.push_back(url);
            if (pages_.hanging) {
                pages_.held.emplace_back(url, std::move(done));
            } else {
                loop_.post([done, page = pages_.pageFor(url)] { done(page); });
            }
        };
        // As a real sender does, each mail started logs a line.
        services_.startMail = [this](platform::RunLoop&, const controller::MailAlert& alert) {
            alerts_.push_back(alert);
            eventlog::LogEntry("sender started for: " + alert.recipient);
        };
        // Answers posted on the loop; an address in silentNames_ gets none.
        services_.reverseLookup = [this](const std::string& address, platform::RunLoop& loop,
                                         TextDone done) {
            const auto name = std::ranges::find_if(
                names_, [&](const auto& entry) { return entry.first == address; });
            if (!std::ranges::count(silentNames_, address)) {
                loop.post([done, name = name != names_.end() ? std::optional(name->second)
                                                             : std::nullopt] { done(name); });
            }
        };
        services_.currentWirelessNetwork = [this] {
            ++wirelessLookups_;
            return wirelessName_;
        };
        services_.copyMachineName = [this] { return machineName_; };
        services_.openConsole = [this] { desktop_.requests.push_back("openConsole"); };
        services_.wallClock = [this] {
            return std::chrono::system_clock::time_point(kWallStart) + (loop_.now() - loopStart_);
        };
        services_.bundleShortVersion = kVersion;
    }
    void TearDown() override {
        controller_.reset();
        eventlog::StopLogging();
        platform::SetSystemLogObserver(nullptr);
    }

    template <typename T>
    static void store(std::string_view key, T value) {
        settings::SetAppValue(key, settings::Value(std::move(value)));
        settings::AppSynchronize();
    }
    static void remove(std::string_view key) {
        settings::SetAppValue(key, std::nullopt);
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
    // Starts the controller and forgets the start-up's log lines.
    void start() {
        controller().init();
        settle();
        log_.clear();
    }
    void refresh(bool rebuildMenu = false) {
        controller().refresh(rebuildMenu);
        settle();
    }
    void check() {
        controller().externalIPAddressChangedTimerAction();
        settle();
    }
    std::string externalIP() {
        std::string answer = "(none)";
        controller().externalIP([&answer](const std::string& address) { answer = address; });
        settle();
        return answer;
    }

    // The log lines since the last clear, and then clears them.
    Lines takeLog() {
        Lines lines;
        lines.swap(log_);
        return lines;
    }
    long count(const std::string& line) const { return std::ranges::count(log_, line); }
    static std::string refreshedLine(const std::string& address) {
        return std::string("OrbalenStatus ") + kVersion + " refreshed. (" + address + ")";
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
    ScriptedAddresses addresses_;
    FakePages pages_;
    std::vector<controller::MailAlert> alerts_;
    std::vector<std::pair<std::string, std::string>> names_;  // reverse look-up answers
    Lines silentNames_;
    std::optional<std::string> wirelessName_;
    int wirelessLookups_ = 0;
    std::optional<std::string> machineName_ = "Studio";
    controller::AppControllerServices services_;
    std::unique_ptr<controller::AppController> controller_;
    Lines log_;
};
