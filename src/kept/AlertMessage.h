#pragma once

#include <cstdint>
#include <string_view>

namespace kept {

// Shows a stop alert with a message and its explanation through the
// platform's alert, and answers its status (0 when it was shown).
std::int32_t ShowAlertMessage(std::string_view message, std::string_view explanation);

}  // namespace kept
