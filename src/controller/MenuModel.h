#pragma once

#include <string>
#include <vector>

namespace controller {

// What choosing a menu item does. Items without an action only inform and
// are shown disabled.
enum class MenuAction {
    None,
    CopyDNSName,
    CopyExternalAddress,
    CopyExternalDNSName,
    CopyAddress,
    CopySelectedAddress,
    Preferences,
    OpenConsoleLog,
    About,
    Quit,
};

// One entry of the status menu as plain data, so any front end can render it
// and tests can read it. A front end hands the chosen item back unchanged.
struct MenuItem {
    std::string title;
    MenuAction action = MenuAction::None;
    int tag = 0;
    std::string toolTip;
    bool separator = false;
    bool enabled = true;
    std::vector<MenuItem> children;  // a submenu when not empty
};

using Menu = std::vector<MenuItem>;

}  // namespace controller
