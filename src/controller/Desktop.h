#pragma once

#include <chrono>
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
    // When the first internal and the external address last changed.
    std::optional<std::chrono::system_clock::time_point> lastInternalChange;
    std::optional<std::chrono::system_clock::time_point> lastExternalChange;
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
    // A desktop notification; dropped quietly where no one shows them.
    virtual void notify(const std::string& summary, const std::string& body) = 0;
};

}  // namespace controller
