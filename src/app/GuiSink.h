#pragma once

#include <filesystem>
#include <string>

#include "app/StatusSnapshot.h"
#include "controller/Desktop.h"

namespace app {

// What the controller asks of the desktop, received on the GUI thread:
// the status for the front end and the bus, the dialogs, the end.
class GuiSink {
public:
    virtual ~GuiSink() = default;

    virtual void showStatus(const StatusSnapshot& status) = 0;
    virtual void showState(const controller::AddressState& state) = 0;
    virtual void notify(const std::string& summary, const std::string& body) = 0;
    virtual void putOnClipboard(const std::string& text) = 0;
    virtual void bringToFront() = 0;
    virtual void showAboutPanel() = 0;
    virtual void showPreferences() = 0;
    virtual void openLog(const std::filesystem::path& logFile) = 0;
    virtual void quit() = 0;
};

}  // namespace app
