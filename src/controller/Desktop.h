#pragma once

#include <optional>
#include <string>
#include <vector>

namespace controller {

// What the controller knows and other windows show (the preferences window,
// the program's D-Bus interface). Published after every change.
struct AddressState {
    std::vector<std::string> addresses;          // in list order; entry 0 is the first address
    std::optional<std::string> externalAddress;  // the cached external address, if any
    std::optional<std::string> wirelessNetwork;  // the cached network name, if any
};

// The desktop services the menu commands use. Called on the controller's
// thread; implementations hand the work to the GUI thread and return at once.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Clears the general clipboard, puts text on it and keeps ownership.
    virtual void putOnClipboard(const std::string& text) = 0;
    virtual void bringToFront() = 0;
    virtual void showAboutPanel() = 0;
    virtual void showPreferences() = 0;
    // Asks the application to end; the front end then calls the
    // controller's applicationWillTerminate() on the controller's thread.
    virtual void terminate() = 0;
    virtual void publishState(const AddressState& state) = 0;
};

}  // namespace controller
