#include "netinfo/PageText.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/Utf8.h"

namespace netinfo {
namespace {

// How many bytes each byte from 0x80 up takes once decoded, so a text can be
// measured against the cap before any of it is written.
const std::array<std::uint8_t, 128>& DecodedLengths() {
    static const std::array<std::uint8_t, 128> lengths = [] {
        std::array<std::uint8_t, 128> table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            const char byte = static_cast<char>(0x80 + i);
            table[i] = static_cast<std::uint8_t>(
                base::DecodeLegacyText(std::string_view(&byte, 1)).size());
        }
        return table;
    }();
    return lengths;
}

std::size_t DecodedSize(std::string_view bytes) {
    const std::array<std::uint8_t, 128>& lengths = DecodedLengths();
    std::size_t size = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        size += byte < 0x80 ? 1 : lengths[byte - 0x80];
    }
    return size;
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
    if (base::IsValidUtf8(bytes)) {
        return std::move(bytes);
    }
    if (DecodedSize(bytes) > maxBytes) {
        return std::nullopt;
    }
    return base::DecodeLegacyText(bytes);
}

}  // namespace netinfo
