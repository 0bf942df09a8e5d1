#pragma once

#include <string>
#include <utility>

#include "controller/MenuModel.h"

namespace testing_support {

// Menu entries written the short way, for tests that hand a menu to a
// front end.
inline controller::MenuItem Item(std::string title,
                                 controller::MenuAction action = controller::MenuAction::None,
                                 int tag = 0) {
    controller::MenuItem item;
    item.title = std::move(title);
    item.action = action;
    item.tag = tag;
    return item;
}

inline controller::MenuItem Separator() {
    controller::MenuItem item;
    item.separator = true;
    return item;
}

}  // namespace testing_support
