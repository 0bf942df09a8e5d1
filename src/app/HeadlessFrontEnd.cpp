#include "app/HeadlessFrontEnd.h"

#include <cstdio>

namespace app {

HeadlessFrontEnd::HeadlessFrontEnd(const char* reason) {
    std::fprintf(stderr,
                 "OrbalenStatus: running without a panel (%s); address monitoring, the event log "
                 "and e-mail notifications go on.\n",
                 reason);
}

}  // namespace app
