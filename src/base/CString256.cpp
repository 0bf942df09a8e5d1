#include "base/CString256.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/CList.h"
#include "base/Conversions.h"
#include "base/UniqueFd.h"
#include "base/Utf8.h"

namespace base {

namespace {

// Room for the decimal text of any 64-bit value, sign included.
constexpr short kDecimalDigits = 31;

}  // namespace

CString256::CString256(const char* s) noexcept {
    m_text[0] = '\0';
    *this = s;
}

// Copies stop at the terminator: strings are mostly short, and touching all 256 bytes
// would make every list element and map node cost four cache lines more than it needs.
CString256::CString256(const CString256& other) noexcept {
    assign(other.m_text, other.length());
}

CString256::CString256(const unsigned char* pascal) noexcept {
    m_text[0] = '\0';
    *this = pascal;
}

void CString256::assign(const char* s, std::size_t n) noexcept {
    n = std::min(n, kCapacity);
    if (n > 0) {  // an empty byte block may have no storage at all
        std::memmove(m_text, s, n);
    }
    m_text[n] = '\0';
}

void CString256::append(const char* s, std::size_t n) noexcept {
    std::size_t len = length();
    n = std::min(n, kCapacity - len);
    std::memmove(m_text + len, s, n);
    m_text[len + n] = '\0';
}

std::size_t CString256::length() const noexcept {
    return std::strlen(m_text);
}

CString256& CString256::operator=(const char* s) noexcept {
    if (s == nullptr) {
        m_text[0] = '\0';
    } else {
        assign(s, strnlen(s, kCapacity));
    }
    return *this;
}

CString256& CString256::operator=(const CString256& other) noexcept {
    if (&other != this) {
        assign(other.m_text, other.length());
    }
    return *this;
}

CString256& CString256::operator=(const unsigned char* pascal) noexcept {
    if (pascal == nullptr) {
        m_text[0] = '\0';
        return *this;
    }
    // The bytes are copied as they are; a NUL among them ends the text.
    assign(reinterpret_cast<const char*>(pascal + 1), pascal[0]);
    return *this;
}

// A text longer than the capacity is cut back to a whole UTF-8 character, so the string
// never ends in half a character.
CString256& CString256::operator=(const std::string& utf8) noexcept {
    std::size_t n = strnlen(utf8.c_str(), kCapacity + 1);
    if (n > kCapacity) {
        n = CutToCharacterBoundary(std::string_view(utf8.c_str(), n), kCapacity).size();
    }
    assign(utf8.c_str(), n);
    return *this;
}

CString256& CString256::operator=(const std::vector<char>& bytes) noexcept {
    assign(bytes.data(), bytes.size());
    return *this;
}

CString256& CString256::operator=(long value) noexcept {
    char digits[kDecimalDigits + 1];
    itoa(digits, kDecimalDigits, value);
    return *this = digits;
}

CString256& CString256::operator=(unsigned long long value) noexcept {
    char digits[kDecimalDigits + 1];
    itoa(digits, kDecimalDigits, value);
    return *this = digits;
}

CString256& CString256::operator+=(const char* s) noexcept {
    if (s != nullptr) {
        append(s, strnlen(s, kCapacity));
    }
    return *this;
}

CString256& CString256::operator+=(const CString256& other) noexcept {
    append(other.m_text, other.length());
    return *this;
}

CString256& CString256::operator+=(const unsigned char* pascal) noexcept {
    return *this += CString256(pascal);
}

CString256& CString256::operator+=(const std::string& utf8) noexcept {
    CString256 converted;
    converted = utf8;
    return *this += converted;
}

CString256& CString256::operator+=(long value) noexcept {
    char digits[kDecimalDigits + 1];
    itoa(digits, kDecimalDigits, value);
    return *this += digits;
}

CString256& CString256::operator+=(char c) noexcept {
    std::size_t len = length();
    if (len <= kCapacity - 2) {
        m_text[len] = c;
        m_text[len + 1] = '\0';
    }
    return *this;
}

void CString256::to_lower() noexcept {
    for (char* p = m_text; *p != '\0'; ++p) {
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
}

unsigned char CString256::beginsWith(const char* p, unsigned char nocase) const noexcept {
    if (p == nullptr) {
        return 1;
    }
    std::size_t n = std::strlen(p);
    if (nocase) {
        return STRNCMP(m_text, p, static_cast<int>(n)) == 0;
    }
    return std::strncmp(m_text, p, n) == 0;
}

unsigned char CString256::beginsWith(const CString256* p, unsigned char nocase) const noexcept {
    return beginsWith(p != nullptr ? p->c_str() : nullptr, nocase);
}

unsigned char CString256::endsWith(const char* p, unsigned char nocase) const noexcept {
    if (p == nullptr) {
        return 1;
    }
    std::size_t n = std::strlen(p);
    std::size_t len = length();
    if (len < n) {
        return 0;
    }
    const char* tailStart = m_text + (len - n);
    if (nocase) {
        return STRNCMP(tailStart, p, static_cast<int>(n)) == 0;
    }
    return std::strncmp(tailStart, p, n) == 0;
}

unsigned char CString256::endsWith(const CString256* p, unsigned char nocase) const noexcept {
    return endsWith(p != nullptr ? p->c_str() : nullptr, nocase);
}

unsigned char CString256::beginsWith_nocase(const CString256& p) const noexcept {
    return beginsWith(&p, 1);
}
unsigned char CString256::beginsWith_nocase(const char* p) const noexcept {
    return beginsWith(p, 1);
}
unsigned char CString256::endsWith_nocase(const CString256& p) const noexcept {
    return endsWith(&p, 1);
}
unsigned char CString256::endsWith_nocase(const char* p) const noexcept {
    return endsWith(p, 1);
}

void CString256::filter_to_alnum_or_punct() noexcept {
    char* kept = m_text;
    for (const char* p = m_text; *p != '\0'; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (std::isalnum(c) || std::ispunct(c)) {
            *kept++ = *p;
        }
    }
    *kept = '\0';
}

void CString256::flatten_list(char sep, CList<CString256>& list) {
    m_text[0] = '\0';
    for (list.cursor = list.head; list.cursor != nullptr; list.cursor = list.cursor->next) {
        if (list.cursor != list.head) {
            *this += sep;
        }
        *this += list.cursor->value;
    }
}

void CString256::parse_into_list(const char* delims, CList<CString256>& list) const {
    list.clear();
    if (delims == nullptr) {
        delims = "";
    }
    const char* p = m_text;
    while (*p != '\0') {
        p += std::strspn(p, delims);
        std::size_t n = std::strcspn(p, delims);
        if (n == 0) {
            break;
        }
        CString256 piece;
        piece.assign(p, n);
        list.append(piece);
        p += n;
    }
}

void CString256::change_suffix(const char* suffix) noexcept {
    if (char* dot = std::strrchr(m_text, '.')) {
        *dot = '\0';
    }
    *this += ".";
    *this += suffix;
}

void CString256::print(char* out) const noexcept {
    std::strcat(out, m_text);
    std::strcat(out, "\n");
}

int CString256::print(int fd) const noexcept {
    char line[kCapacity + 2];
    std::size_t len = length();
    std::memcpy(line, m_text, len);
    line[len] = '\n';
    return WriteAll(fd, std::string_view(line, len + 1));
}

std::string CString256::MakeCFString() const {
    return std::string(m_text);
}

}  // namespace base
