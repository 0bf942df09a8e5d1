#include "settings/SettingsText.h"

#include "base/Utf8.h"

namespace settings {

namespace {

using Json = nlohmann::json;
using Event = Json::parse_event_t;

// JSON's structure is ASCII, so bytes that are not UTF-8 can only sit inside
// string literals (anywhere else the parse fails anyway). Each such literal
// is read as Mac OS Roman, the encoding older versions of this program used.
std::string WithLegacyStringsDecoded(std::string_view text, int& decoded) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '"') {
            out += text[i++];
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && text[end] != '"') {
            end += text[end] == '\\' ? 2 : 1;
        }
        end = std::min(end, text.size());
        const std::string_view literal = text.substr(i + 1, end - i - 1);
        out += '"';
        if (base::IsValidUtf8(literal)) {
            out += literal;
        } else {
            out += base::DecodeLegacyText(literal);
            ++decoded;
        }
        if (end < text.size()) {
            out += '"';
        }
        i = end + 1;
    }
    return out;
}

// Parses the text, leaving out every top-level entry that nests too deeply.
// The deep part is never built, so a hostile file costs little memory.
struct DepthLimitedParse {
    std::vector<std::string> droppedKeys;
    std::string currentKey;
    bool tooDeep = false;

    bool operator()(int depth, Event event, Json& parsed) {
        switch (event) {
            case Event::key:
                if (depth == 1) {
                    currentKey = parsed.get<std::string>();
                }
                return true;
            case Event::object_start:
            case Event::array_start:
                if (depth > kMaxEntryNesting) {
                    tooDeep = true;
                    return false;
                }
                return true;
            case Event::object_end:
            case Event::array_end:
                if (depth == 1 && tooDeep) {
                    tooDeep = false;
                    droppedKeys.push_back(currentKey);
                    return false;
                }
                return true;
            default:
                return true;
        }
    }
};

void EraseDiscarded(Json& object) {
    for (auto it = object.begin(); it != object.end();) {
        it = it->is_discarded() ? object.erase(it) : std::next(it);
    }
}

}  // namespace

std::optional<SettingsText> ParseSettingsText(std::string_view text) {
    SettingsText result;
    std::string decodedText;
    if (!base::IsValidUtf8(text)) {
        int decoded = 0;
        decodedText = WithLegacyStringsDecoded(text, decoded);
        text = decodedText;
        if (decoded > 0) {
            result.notes.push_back("read " + std::to_string(decoded) +
                                   " text(s) that were not UTF-8 as Mac OS Roman");
        }
    }
    DepthLimitedParse limit;
    result.object = Json::parse(
        text,
        [&limit](int depth, Event event, Json& parsed) { return limit(depth, event, parsed); },
        /*allow_exceptions=*/false);
    if (result.object.is_discarded() || !result.object.is_object()) {
        return std::nullopt;
    }
    EraseDiscarded(result.object);
    for (const auto& key : limit.droppedKeys) {
        result.notes.push_back("left out \"" + key + "\", nested more than " +
                               std::to_string(kMaxEntryNesting) +
                               " levels deep; it will not be written back");
    }
    return result;
}

std::optional<std::string> SettingsTextOf(const Json& object, std::string& problem) {
    std::string text = "{";
    try {
        const char* separator = "\n";
        for (const auto& [key, value] : object.items()) {
            text += separator;
            text += "    " + Json(key).dump() + ": " + value.dump();
            separator = ",\n";
            if (text.size() > kMaxSettingsFileSize) {
                break;
            }
        }
    } catch (const Json::exception&) {
        problem = "a key or text is not UTF-8";
        return std::nullopt;
    }
    text += object.empty() ? "}\n" : "\n}\n";
    if (text.size() > kMaxSettingsFileSize) {
        problem = "the settings would take more than " +
                  std::to_string(kMaxSettingsFileSize / (1024 * 1024)) +
                  " MiB, the most a settings file may hold";
        return std::nullopt;
    }
    return text;
}

}  // namespace settings
