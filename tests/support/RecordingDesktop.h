#pragma once

#include <string>
#include <vector>

#include "controller/Desktop.h"

namespace testing_support {

// A desktop that writes down every request, in order, and keeps the
// clipboard's texts and the published states.
class RecordingDesktop : public controller::Desktop {
public:
    void putOnClipboard(const std::string& text) override {
        clipboard.push_back(text);
        requests.push_back("clipboard");
    }
    void bringToFront() override { requests.push_back("bringToFront"); }
    void showAboutPanel() override { requests.push_back("about"); }
    void showPreferences() override { requests.push_back("preferences"); }
    void terminate() override { requests.push_back("terminate"); }
    void publishState(const controller::AddressState& state) override { states.push_back(state); }
    void notify(const std::string& summary, const std::string& body) override {
        notifications.push_back(summary + ": " + body);
    }

    std::vector<std::string> clipboard;
    std::vector<std::string> requests;
    std::vector<controller::AddressState> states;
    std::vector<std::string> notifications;
};

}  // namespace testing_support
