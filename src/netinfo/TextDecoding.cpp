#include "netinfo/TextDecoding.h"

#include <iconv.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace netinfo {
namespace {

std::string MacRomanToUTF8(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "MACINTOSH");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    // No Mac OS Roman character takes more than three bytes in UTF-8.
    std::string out(bytes.size() * 3, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

bool IsValidUTF8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto length = static_cast<std::int32_t>(bytes.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

std::string DecodeUTF8OrMacRoman(std::string_view bytes) {
    return IsValidUTF8(bytes) ? std::string(bytes) : MacRomanToUTF8(bytes);
}

}  // namespace netinfo
