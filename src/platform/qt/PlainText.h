#pragma once

#include <QString>

namespace platform {

// Text from outside (a host name from the hosts file or DNS, a network's
// name, a lookup service's answer) as a label, a bar or a terminal may show
// it: without control characters, line and paragraph separators, and the
// invisible direction overrides that could make it read as something else.
// So it can neither forge a second line nor hide what it says.
QString PlainText(QString text);

}  // namespace platform
