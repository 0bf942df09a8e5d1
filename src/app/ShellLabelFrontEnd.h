#pragma once

#include "app/DisplayFrontEnd.h"

namespace app {

// The desktop's own panel shows the title (a shell extension or applet over
// the bus service): no item of ours, but the windows its menu opens are.
class ShellLabelFrontEnd : public DisplayFrontEnd {
public:
    void showStatus(const StatusSnapshot&) override {}
    void withdraw() override { dialogs_.closeAll(); }
};

}  // namespace app
