#include "base/Conversions.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace base {

namespace {

// Writes up to maxDigits of the lowest digits of magnitude, then "-" when negative, and
// puts them in reading order. Working on the unsigned magnitude keeps the most negative
// values whole.
void WriteDecimal(char* buf, long maxDigits, unsigned long long magnitude, bool negative) {
    char* p = buf;
    if (maxDigits > 0) {
        do {
            *p++ = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0 && p - buf < maxDigits);
    }
    if (negative) {
        *p++ = '-';
    }
    *p = '\0';
    reverse(buf);
}

unsigned long long Magnitude(long long v) {
    return v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
}

// The allocating forms: room for every digit of the type, a sign and the terminator.
char* NewDecimal(unsigned long long magnitude, bool negative) {
    constexpr long kMaxDigits = 20;
    char* text = new (std::nothrow) char[kMaxDigits + 2];
    if (text != nullptr) {
        WriteDecimal(text, kMaxDigits, magnitude, negative);
    }
    return text;
}

void PercentEncode(char* dst, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    dst[0] = '%';
    dst[1] = kHex[c >> 4];
    dst[2] = kHex[c & 0x0F];
    dst[3] = '\0';
}

void Literal(char* dst, unsigned char c) {
    dst[0] = static_cast<char>(c);
    dst[1] = '\0';
}

unsigned char OneOf(unsigned char c, const char* set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

}  // namespace

char* itoa(unsigned long value) {
    return NewDecimal(value, false);
}
char* itoa(long value) {
    return NewDecimal(Magnitude(value), value < 0);
}
char* itoa(short value) {
    return NewDecimal(Magnitude(value), value < 0);
}

void itoa(char* buf, short size, long value) noexcept {
    WriteDecimal(buf, size - 1L, Magnitude(value), value < 0);
}

void itoa(char* buf, short size, unsigned long long value) noexcept {
    WriteDecimal(buf, size - 1L, value, false);
}

void reverse(char* s) noexcept {
    if (s == nullptr) {
        return;
    }
    for (char* end = s + std::strlen(s); s + 1 < end; ++s) {
        --end;
        char c = *s;
        *s = *end;
        *end = c;
    }
}

unsigned char isHiAlpha(unsigned char c) noexcept {
    return c >= 'A' && c <= 'Z';
}
unsigned char isLoAlpha(unsigned char c) noexcept {
    return c >= 'a' && c <= 'z';
}
unsigned char isHiorLoAlpha(unsigned char c) noexcept {
    return isHiAlpha(c) || isLoAlpha(c);
}
unsigned char isDig(unsigned char c) noexcept {
    return c >= '0' && c <= '9';
}
unsigned char isSafe(unsigned char c) noexcept {
    return OneOf(c, "$-_.+");
}
unsigned char isExtra(unsigned char c) noexcept {
    return OneOf(c, "!*'(),");
}
unsigned char isNational(unsigned char c) noexcept {
    return OneOf(c, "{}|\\^~[]`");
}
unsigned char isReserved(unsigned char c) noexcept {
    return OneOf(c, ";/?:@&=");
}
unsigned char isPunctuation(unsigned char c) noexcept {
    return OneOf(c, "<>#%\"");
}

unsigned char NeedsURLEncoding(unsigned char c) noexcept {
    bool plain = isHiorLoAlpha(c) || isDig(c) || isSafe(c) || isExtra(c) || isNational(c) ||
                 isReserved(c) || isPunctuation(c);
    return !plain;
}

char* URLencode(char* dst, unsigned char c) noexcept {
    if (NeedsURLEncoding(c)) {
        PercentEncode(dst, c);
    } else {
        Literal(dst, c);
    }
    return dst;
}

char* URLSafeEncode(char* dst, unsigned char c) noexcept {
    if (isHiorLoAlpha(c) || isDig(c) || isSafe(c) || c == '&') {
        Literal(dst, c);
    } else {
        PercentEncode(dst, c);
    }
    return dst;
}

namespace {

void AppendUnit(CString256& out, unsigned long amount, const char* one, const char* many) {
    if (amount == 0) {
        return;
    }
    out += static_cast<long>(amount);
    out += amount == 1 ? one : many;
}

}  // namespace

void ElapsedTimeMessage(unsigned long seconds, CString256& out) {
    if (seconds == 0) {
        out = "0 secs";
        return;
    }
    AppendUnit(out, seconds / 3600, " hr ", " hrs ");
    AppendUnit(out, seconds % 3600 / 60, " min ", " mins ");
    AppendUnit(out, seconds % 60, " sec ", " secs ");
}

namespace {

// The volume that stands for the root directory.
constexpr std::string_view kHfsRootVolume = "Root";

}  // namespace

void ConvertPosixPathToHFSPath(CString256& path) {
    if (path[0] != '/') {
        return;
    }
    std::string converted(kHfsRootVolume);
    const char* p = path.c_str();
    while (*p != '\0') {
        p += std::strspn(p, "/");
        std::size_t n = std::strcspn(p, "/");
        if (n == 0) {
            break;
        }
        converted += ':';
        for (std::size_t i = 0; i < n; ++i) {
            converted += p[i] == ':' ? '/' : p[i];
        }
        p += n;
    }
    if (converted.size() <= CString256::kCapacity) {
        path = converted.c_str();
    }
}

std::optional<std::string> ConvertHFSPathToPosixPath(std::string_view hfsPath) {
    if (!hfsPath.empty() && hfsPath.front() == '/') {
        return std::string(hfsPath);
    }
    if (hfsPath.substr(0, kHfsRootVolume.size()) != kHfsRootVolume) {
        return std::nullopt;
    }
    std::string_view rest = hfsPath.substr(kHfsRootVolume.size());
    if (rest.empty()) {
        return std::string("/");
    }
    if (rest.front() != ':') {
        return std::nullopt;  // another volume, such as "Rootless:x"
    }
    std::string posix;
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the ":" before each name
        const std::string_view name = rest.substr(0, rest.find(':'));
        if (name.empty()) {
            return std::nullopt;
        }
        std::string part(name);
        std::replace(part.begin(), part.end(), '/', ':');
        posix += '/' + part;
        rest.remove_prefix(name.size());
    }
    return posix;
}

}  // namespace base
