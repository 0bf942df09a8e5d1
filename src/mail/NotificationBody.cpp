#include "mail/NotificationBody.h"

namespace mail {

std::string FillPlaceholders(std::string_view format, const std::vector<std::string>& values) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@') {
            if (next < values.size()) {
                out += values[next];
            }
            ++next;
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string NotificationBody(std::string_view format, const std::string& machineName,
                             const std::optional<std::string>& oldAddress,
                             const std::string& newAddress) {
    if (oldAddress) {
        return FillPlaceholders(format, {machineName, *oldAddress, newAddress});
    }
    return FillPlaceholders(kRefreshedFormat, {machineName, newAddress});
}

}  // namespace mail
