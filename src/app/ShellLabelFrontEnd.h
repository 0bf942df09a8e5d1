#pragma once

#include "app/FrontEnd.h"

namespace app {

// The desktop's own panel shows the title (a shell extension or applet over
// the bus service): no item of ours. The windows its menu opens are the
// application's, as with any other front end.
class ShellLabelFrontEnd : public FrontEnd {
public:
    void showStatus(const StatusSnapshot&) override {}
    void withdraw() override {}
};

}  // namespace app
