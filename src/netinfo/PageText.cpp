#include "netinfo/PageText.h"

#include <iconv.h>

#include <cerrno>

#include <algorithm>
#include <array>
#include <memory>

#include "platform/SystemEncoding.h"

namespace netinfo {
namespace {

struct IconvCloser {
    void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter OpenMacRomanDecoder() {
    iconv_t converter = iconv_open("UTF-8", "MACINTOSH");
    return Converter(converter == reinterpret_cast<iconv_t>(-1) ? nullptr : converter);
}

// Converts all of in; out == nullptr only counts the bytes it would write.
std::optional<std::size_t> Convert(void* converter, std::string& in, char* out,
                                   std::size_t outSize) {
    std::array<char, 16 * 1024> scratch;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    std::size_t written = 0;
    iconv(static_cast<iconv_t>(converter), nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* outPtr = out ? out + written : scratch.data();
        std::size_t outLeft = out ? outSize - written : scratch.size();
        const std::size_t before = outLeft;
        const std::size_t result =
            iconv(static_cast<iconv_t>(converter), &inPtr, &inLeft, &outPtr, &outLeft);
        written += before - outLeft;
        if (result == static_cast<std::size_t>(-1) && (errno != E2BIG || out != nullptr)) {
            return std::nullopt;
        }
    }
    return written;
}

}  // namespace

bool AppendCapped(std::string& body, std::string_view data, std::size_t maxBytes) {
    if (data.size() > maxBytes - body.size()) {
        return false;
    }
    const std::size_t needed = body.size() + data.size();
    if (needed > body.capacity()) {
        // reserve() on a string may round up to twice its capacity; a fresh
        // string gets exactly what it asks for.
        std::string grown;
        grown.reserve(std::min(maxBytes, std::max(needed, 2 * body.capacity())));
        grown.append(body);
        body.swap(grown);
    }
    body.append(data);
    return true;
}

std::optional<std::string> PageText(std::string&& bytes, std::size_t maxBytes) {
    if (platform::IsValidUtf8(bytes)) {
        return std::move(bytes);
    }
    const Converter converter = OpenMacRomanDecoder();
    if (!converter) {
        return std::move(bytes);  // no decoder at all: the bytes as they are
    }
    const std::optional<std::size_t> size = Convert(converter.get(), bytes, nullptr, 0);
    if (!size || *size > maxBytes) {
        return std::nullopt;
    }
    std::string text(*size, '\0');
    if (!Convert(converter.get(), bytes, text.data(), text.size())) {
        return std::nullopt;
    }
    return text;
}

}  // namespace netinfo
