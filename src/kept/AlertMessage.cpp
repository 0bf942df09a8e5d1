#include "kept/AlertMessage.h"

#include "platform/Alert.h"

namespace kept {

std::int32_t ShowAlertMessage(std::string_view message, std::string_view explanation) {
    return platform::CurrentAlert().showStopAlert(message, explanation);
}

}  // namespace kept
