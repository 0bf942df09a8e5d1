#include "base/Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace base {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when malformed.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char min2 = 0x80;
    unsigned char max2 = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min2 = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        max2 = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min2 = lead == 0xF0 ? 0x90 : 0x80;
        max2 = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        const unsigned char lo = k == 1 ? min2 : 0x80;
        const unsigned char hi = k == 1 ? max2 : 0xBF;
        if (c < lo || c > hi) {
            return 0;
        }
    }
    return length;
}

// How many UTF-8 bytes each Mac OS Roman byte from 0x80 up becomes (2 or 3),
// so a decoded text can be sized before it is written.
const std::array<std::uint8_t, 128>& MacRomanUtf8Lengths() {
    static const std::array<std::uint8_t, 128> lengths = [] {
        std::array<std::uint8_t, 128> table{};
        table.fill(3);
        iconv_t converter = iconv_open("UTF-8", "MACINTOSH");
        if (converter == reinterpret_cast<iconv_t>(-1)) {
            return table;
        }
        for (std::size_t i = 0; i < table.size(); ++i) {
            char in = static_cast<char>(0x80 + i);
            char out[8];
            char* inPtr = &in;
            std::size_t inLeft = 1;
            char* outPtr = out;
            std::size_t outLeft = sizeof out;
            if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) !=
                static_cast<std::size_t>(-1)) {
                table[i] = static_cast<std::uint8_t>(outPtr - out);
            }
        }
        iconv_close(converter);
        return table;
    }();
    return lengths;
}

}  // namespace

std::string_view CutToCharacterBoundary(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = std::max<std::size_t>(SequenceLength(text, end), 1);
        if (end + length > maxBytes) {
            break;
        }
        end += length;
    }
    return text.substr(0, end);
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string DecodeLegacyText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    const std::array<std::uint8_t, 128>& lengths = MacRomanUtf8Lengths();
    std::size_t size = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        size += byte < 0x80 ? 1 : lengths[byte - 0x80];
    }
    iconv_t converter = iconv_open("UTF-8", "MACINTOSH");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::string(bytes);
    }
    std::string text(size, '\0');
    // iconv never writes through its input pointer.
    char* inPtr = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = text.data();
    std::size_t outLeft = text.size();
    const bool converted =
        iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!converted) {
        return std::string(bytes);
    }
    text.resize(text.size() - outLeft);
    return text;
}

}  // namespace base
