#pragma once

#include <memory>
#include <optional>
#include <string>

#include "controller/MenuModel.h"

namespace controller {

// The item in the panel's status area, as the controller drives it. Called on
// the controller's thread only; a front end turns these calls into immutable
// snapshots for the GUI thread and never makes the controller wait.
class StatusItem {
public:
    virtual ~StatusItem() = default;

    virtual void setTitle(const std::string& title) = 0;
    virtual std::string title() const = 0;
    // A logical icon name ("OrbalenStatusSmall.tif", "OrbalenStatusChange.tif")
    // that the front end maps to an icon of the theme (app/StatusIcons); no
    // file of that name exists. None removes the image.
    virtual void setImage(const std::optional<std::string>& resourceName) = 0;
    // Drawn highlighted while its menu is open.
    virtual void setHighlightMode(bool on) = 0;
    // The menu as it now stands; given again after every change to it.
    virtual void setMenu(std::shared_ptr<const Menu> menu) = 0;
};

}  // namespace controller
