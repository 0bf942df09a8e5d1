#pragma once

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/AppController.h"
#include "controller/ControllerState.h"
#include "log/EventLog.h"
#include "platform/NotificationCenter.h"
#include "platform/SystemLog.h"
#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"
#include "support/CaseName.h"
#include "support/FakePageSource.h"
#include "support/ManualRunLoop.h"
#include "support/RecordingDesktop.h"
#include "support/RecordingMailStarter.h"
#include "support/RecordingStatusItem.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedAddressSource.h"
#include "support/TempFolder.h"

using Lines = std::vector<std::string>;
namespace keys = settings::keys;
using namespace std::chrono_literals;
using namespace std::string_literals;

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
        addresses_.wireInto(services_);
        pages_.wireInto(services_, loop_);
        mail_.wireInto(services_);
        // Answers posted on the loop; an address in silentNames_ gets none.
        services_.reverseLookup = [this](const std::string& address, platform::RunLoop& loop,
                                         controller::AppControllerServices::TextDone done) {
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
    testing_support::RecordingStatusItem item_;
    testing_support::RecordingDesktop desktop_;
    testing_support::ScriptedAddressSource addresses_;
    testing_support::FakePageSource pages_;
    testing_support::RecordingMailStarter mail_;
    std::vector<std::pair<std::string, std::string>> names_;  // reverse look-up answers
    Lines silentNames_;
    std::optional<std::string> wirelessName_;
    int wirelessLookups_ = 0;
    std::optional<std::string> machineName_ = "Studio";
    controller::AppControllerServices services_;
    std::unique_ptr<controller::AppController> controller_;
    Lines log_;
};
