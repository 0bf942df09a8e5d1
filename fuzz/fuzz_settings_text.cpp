// The settings file's text on arbitrary bytes: whatever reads as settings is
// written back within the file's limits, and that text reads back the same.
#include <cstdlib>

#include "settings/SettingsText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = settings::ParseSettingsText(text);
    if (!parsed) {
        return 0;
    }
    std::string problem;
    const auto written = settings::SettingsTextOf(parsed->object, problem);
    if (!written) {
        return 0;
    }
    const auto reread = settings::ParseSettingsText(*written);
    if (written->size() > settings::kMaxSettingsFileSize || !reread ||
        reread->object != parsed->object || !reread->notes.empty()) {
        std::abort();
    }
    return 0;
}
