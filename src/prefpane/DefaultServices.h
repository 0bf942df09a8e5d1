#pragma once

#include "prefpane/OrbalenStatusPrefPane.h"

namespace prefpane {

// The services that do not depend on the running program: name and
// version, the shipped sounds played through libcanberra and the secret
// store for the password. The caller adds the state, posting and mail.
PrefPaneServices DefaultPrefPaneServices(std::string bundleName, std::string version);

}  // namespace prefpane
