#pragma once

#include "app/FrontEnd.h"

namespace app {

// No panel: the program monitors, logs and e-mails, and shows nothing. The
// title stays readable over the session bus (StatusService).
class HeadlessFrontEnd : public FrontEnd {
public:
    // reason: why there is no panel, said once on stderr.
    explicit HeadlessFrontEnd(const char* reason);

    void showStatus(const StatusSnapshot&) override {}
    void withdraw() override {}
};

}  // namespace app
