#pragma once

#include <memory>
#include <optional>
#include <string>

#include "controller/MenuModel.h"

namespace app {

// The status item as it stands, handed whole to the GUI thread: the GUI
// never reads the controller's state, only these copies.
struct StatusSnapshot {
    std::string title;
    std::optional<std::string> image;  // a resource name, or none
    bool highlight = false;
    std::shared_ptr<const controller::Menu> menu;  // never changed once published
};

}  // namespace app
