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
#include "platform/ManualRunLoop.h"
#include "platform/NotificationCenter.h"
#include "platform/SystemLog.h"
#include "settings/Preferences.h"
#include "settings/SettingsKeys.h"
#include "support/CaseName.h"
#include "support/FakePageSource.h"
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
        pages_.wireInto(services_);
        mail_.wireInto(services_);
        services_.reverseLookup = [this](const std::string& address) -> std::optional<std::string> {
            const auto name = std::ranges::find_if(
                names_, [&](const auto& entry) { return entry.first == address; });
            return name != names_.end() ? std::optional(name->second) : std::nullopt;
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
    // Starts the controller and forgets the start-up's log lines.
    void start() {
        controller().init();
        log_.clear();
    }
    // Delivers a settings save as the preferences window sends it.
    void postPreferencesChanged() {
        center_.post(keys::kPreferencesChangedName, keys::kPreferencesChangedObject);
        while (loop_.runOnce(0ms)) {
        }
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

    platform::ManualRunLoop loop_;
    platform::RunLoop::TimePoint loopStart_ = loop_.now();
    platform::LocalNotificationCenter center_;
    testing_support::RecordingStatusItem item_;
    testing_support::RecordingDesktop desktop_;
    testing_support::ScriptedAddressSource addresses_;
    testing_support::FakePageSource pages_;
    testing_support::RecordingMailStarter mail_;
    std::vector<std::pair<std::string, std::string>> names_;  // reverse look-up answers
    std::optional<std::string> wirelessName_;
    int wirelessLookups_ = 0;
    std::optional<std::string> machineName_ = "Studio";
    controller::AppControllerServices services_;
    std::unique_ptr<controller::AppController> controller_;
    Lines log_;
};
