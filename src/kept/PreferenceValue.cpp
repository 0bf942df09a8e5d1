#include "kept/PreferenceValue.h"

#include <cstring>
#include <optional>
#include <string>

#include "base/Utf8.h"
#include "settings/PreferenceDomain.h"
#include "settings/Preferences.h"

namespace kept {

using namespace settings;

namespace {

constexpr std::size_t kMaxValueBytes = 255;

std::optional<std::string> KeyText(const unsigned char* key) {
    if (!key) {
        return std::nullopt;
    }
    return base::DecodeLegacyText(std::string_view(reinterpret_cast<const char*>(key + 1), key[0]));
}

std::optional<std::string> StringIn(const std::optional<Value>& value) {
    const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

}  // namespace

char* ReadPreferenceValue(const unsigned char* key, unsigned char allUsers) {
    const auto name = KeyText(key);
    if (!name) {
        return nullptr;
    }
    std::optional<std::string> text;
    if (allUsers) {
        if (PreferenceDomain* shared = SystemDomain(kDomain)) {
            shared->synchronize();
            text = StringIn(shared->copy(*name));
        }
    }
    if (!text) {
        text = StringIn(CopyAppValue(*name));
    }
    if (!text) {
        return nullptr;
    }
    const std::string_view cut = base::CutToCharacterBoundary(*text, kMaxValueBytes);
    char* result = new char[cut.size() + 1];
    std::memcpy(result, cut.data(), cut.size());
    result[cut.size()] = '\0';
    return result;
}

int WritePreferenceValue(char* value, const unsigned char* key, unsigned char allUsers) {
    const auto name = KeyText(key);
    if (!name || !value) {
        return 0;
    }
    // Text from this program is UTF-8 and is stored as it is, so that it
    // reads back unchanged.
    const std::string text = base::DecodeLegacyText(value);
    if (allUsers) {
        if (PreferenceDomain* shared = SystemDomain(kDomain)) {
            shared->set(*name, text);
            if (shared->synchronize()) {
                return 0;
            }
            shared->discardPending();  // not stored there: must not read back from there
        }
    }
    SetAppValue(*name, text);
    AppSynchronize();
    return 0;
}

}  // namespace kept
