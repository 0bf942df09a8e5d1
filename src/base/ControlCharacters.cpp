#include "base/ControlCharacters.h"

#include <cstdio>

#include "base/Utf8.h"

namespace base {

namespace {

// The first character of text (a malformed byte counts as one).
std::string_view FirstCharacter(std::string_view text) {
    for (std::size_t n = 1; n < 4; ++n) {
        if (const auto cut = CutToCharacterBoundary(text, n); !cut.empty()) {
            return cut;
        }
    }
    return CutToCharacterBoundary(text, 4);
}

std::string Escaped(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    char text[8];
    if (character.size() == 1) {
        switch (lead) {
            case '\n':
                return "\\n";
            case '\r':
                return "\\r";
            case '\t':
                return "\\t";
            default:
                std::snprintf(text, sizeof text, "\\x%02x", lead);
                return text;
        }
    }
    // C1 controls (U+0080-U+009F) and the Unicode line and paragraph separators.
    const unsigned code = character.size() == 2
                              ? static_cast<unsigned char>(character[1])
                              : 0x2000u + static_cast<unsigned char>(character[2]) - 0x80u;
    std::snprintf(text, sizeof text, "\\u%04x", code);
    return text;
}

bool IsControl(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) {
        return lead < 0x20 || lead == 0x7f;
    }
    if (character.size() == 2 && lead == 0xc2) {
        return static_cast<unsigned char>(character[1]) < 0xa0;
    }
    return character == "\xe2\x80\xa8" || character == "\xe2\x80\xa9";
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text, std::size_t maxBytes) {
    std::string line;
    while (!text.empty()) {
        const std::string_view character = FirstCharacter(text);
        const std::string piece =
            IsControl(character) ? Escaped(character) : std::string(character);
        if (line.size() + piece.size() > maxBytes) {
            break;
        }
        line += piece;
        text.remove_prefix(character.size());
    }
    return line;
}

}  // namespace base
