#include "kept/CText.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/Conversions.h"

namespace kept {

using namespace base;

namespace {

// Decimal text of any long long; the most negative value converts in full.
constexpr short kDecimalDigits = 31;
static_assert(sizeof(long) == sizeof(long long), "decimal conversion goes through long");

int32_t usableQuantum(long quantum) {
    return quantum < 1 || quantum > INT32_MAX ? CText::kDefaultQuantum
                                              : static_cast<int32_t>(quantum);
}

// The smallest multiple of the quantum above n, or -1 when it does not fit a 32-bit size.
int64_t capacityFor(int64_t n, int32_t quantum) {
    int64_t capacity = static_cast<int64_t>(quantum) * (n / quantum + 1);
    return capacity >= INT32_MAX ? -1 : capacity;
}

const char kBullet[] = "\xE2\x80\xA2\r";

}  // namespace

CText::CText() : text(static_cast<char*>(std::malloc(kDefaultQuantum + 1))) {
    if (text != nullptr) {
        text[0] = '\0';
        capacity = kDefaultQuantum;
    }
}

CText::CText(const char* s, long q) : quantum(usableQuantum(q)) {
    init_from_chars(s);
}

CText::CText(const char* begin, const char* end) {
    if (begin != nullptr && end != nullptr && end >= begin) {
        setBytes(begin, static_cast<std::size_t>(end - begin) + 1);
    }
}

CText::CText(long value) {
    *this = value;
}

CText::CText(long long value) {
    *this = value;
}

CText::CText(const std::filesystem::path& file, long q) : quantum(usableQuantum(q)) {
    init_from_fsref(file);
}

CText::CText(const CText& other) {
    init_from_ctext(other);
}

CText::~CText() {
    release();
}

void CText::release() {
    std::free(text);
    text = nullptr;
    length = 0;
    capacity = 0;
}

// Gives the text an empty buffer with room for n bytes under the capacity rule. On failure
// the text is absent.
bool CText::allocateFor(std::size_t n) {
    side = "";
    int64_t wanted = n > INT32_MAX ? -1 : capacityFor(static_cast<int64_t>(n), quantum);
    char* buffer = wanted < 0 ? nullptr : static_cast<char*>(std::malloc(wanted + 1));
    release();
    if (buffer == nullptr) {
        return false;
    }
    buffer[0] = '\0';
    text = buffer;
    capacity = static_cast<int32_t>(wanted);
    return true;
}

bool CText::setBytes(const char* bytes, std::size_t n) {
    if (n > 0 && ownsBytes(bytes)) {
        std::string copy(bytes, n);
        return setBytes(copy.data(), n);
    }
    if (!allocateFor(n)) {
        return false;
    }
    if (n > 0) {
        std::memcpy(text, bytes, n);
    }
    text[n] = '\0';
    length = static_cast<int32_t>(n);
    return true;
}

void CText::init_from_chars(const char* s) {
    if (s == nullptr) {
        release();
        side = "";
        return;
    }
    setBytes(s, std::strlen(s));
}

void CText::init_from_ctext(const CText& other) {
    if (&other == this) {
        return;
    }
    release();
    side = other.side;
    quantum = other.quantum;
    if (other.text == nullptr) {
        // An absent original copies as an empty text that has no room yet.
        text = static_cast<char*>(std::malloc(1));
        if (text != nullptr) {
            text[0] = '\0';
        }
        quantum = kDefaultQuantum;
        return;
    }
    text = static_cast<char*>(std::malloc(static_cast<std::size_t>(other.capacity) + 1));
    if (text == nullptr) {
        return;
    }
    std::memcpy(text, other.text, static_cast<std::size_t>(other.length) + 1);
    length = other.length;
    capacity = other.capacity;
}

CText& CText::operator=(const CText& other) {
    if (text != nullptr && other.text != nullptr) {
        init_from_ctext(other);
    }
    return *this;
}

CText& CText::operator=(const char* s) {
    init_from_chars(s != nullptr ? s : "");
    return *this;
}

CText& CText::operator=(char c) {
    setBytes(&c, 1);
    return *this;
}

CText& CText::operator=(long value) {
    char digits[kDecimalDigits + 2];
    base::itoa(digits, kDecimalDigits, value);
    init_from_chars(digits);
    return *this;
}

CText& CText::operator=(long long value) {
    return *this = static_cast<long>(value);
}

CText& CText::operator=(const std::string& utf8) {
    if (!utf8.empty()) {
        setBytes(utf8.data(), utf8.size());
    }
    return *this;
}

CText& CText::operator=(const std::vector<char>& bytes) {
    std::size_t n = bytes.empty() ? 0 : strnlen(bytes.data(), bytes.size());
    setBytes(bytes.data(), n);
    return *this;
}

int32_t CText::resize_by(long n) {
    if (text == nullptr) {
        return 0;
    }
    int64_t grown =
        static_cast<int64_t>(capacity) + static_cast<int64_t>(quantum) * (n / quantum + 1);
    // A negative request may not shrink the buffer below the text it holds.
    if (grown < length + 1 || grown >= INT32_MAX) {
        return 0;
    }
    auto* buffer = static_cast<char*>(std::realloc(text, static_cast<std::size_t>(grown) + 1));
    if (buffer == nullptr) {
        return 0;
    }
    text = buffer;
    capacity = static_cast<int32_t>(grown);
    return capacity;
}

CText& CText::operator+=(char c) {
    if (text == nullptr) {
        return *this = c;
    }
    int32_t free = capacity - length - 1;
    if (free < 1 && resize_by(1 - free) == 0) {
        return *this;
    }
    text[length++] = c;
    text[length] = '\0';
    return *this;
}

// True when p points into this text's own buffer, which growing may move.
bool CText::ownsBytes(const char* p) const {
    return text != nullptr && p >= text && p <= text + capacity;
}

bool CText::appendBytes(const char* bytes, std::size_t n) {
    if (text == nullptr) {
        return false;
    }
    if (n > 0 && ownsBytes(bytes)) {
        std::string copy(bytes, n);
        return appendBytes(copy.data(), n);
    }
    if (n > static_cast<std::size_t>(INT32_MAX - length - 1)) {
        return false;
    }
    auto count = static_cast<int32_t>(n);
    int32_t free = capacity - length - 1;
    if (count + 1 > free && resize_by(count - free + 1) == 0) {
        return false;
    }
    if (count > 0) {
        std::memmove(text + length, bytes, n);
    }
    length += count;
    text[length] = '\0';
    return true;
}

void CText::append(const char* bytes, long n) {
    if (bytes != nullptr && n > 0) {
        appendBytes(bytes, static_cast<std::size_t>(n));
    }
}

CText& CText::operator+=(const CText& other) {
    if (text == nullptr || other.text == nullptr) {
        return *this;
    }
    if (&other == this) {
        CText copy(other);
        return *this += copy;
    }
    int32_t free = capacity - length - 1;
    if (other.length > free && resize_by(other.length - free) == 0) {
        return *this;
    }
    appendBytes(other.text, static_cast<std::size_t>(other.length));
    return *this;
}

CText& CText::operator+=(const char* s) {
    if (s != nullptr) {
        appendBytes(s, std::strlen(s));
    }
    return *this;
}

CText& CText::operator+=(const CString256& s) {
    appendBytes(s.c_str(), s.length());
    return *this;
}

CText& CText::operator+=(long value) {
    char digits[kDecimalDigits + 2];
    base::itoa(digits, kDecimalDigits, value);
    return *this += static_cast<const char*>(digits);
}

CText& CText::operator+=(long long value) {
    return *this += static_cast<long>(value);
}

CText& CText::operator+=(const std::string& utf8) {
    appendBytes(utf8.data(), utf8.size());
    return *this;
}

CText& CText::operator+=(const std::filesystem::path& file) {
    if (text != nullptr) {
        CText contents(file);
        *this += contents;
    }
    return *this;
}

bool CText::insertBytes(int32_t pos, const char* bytes, std::size_t n) {
    if (text == nullptr || pos < 0 || pos > length ||
        n > static_cast<std::size_t>(INT32_MAX - length - 1)) {
        return false;
    }
    if (ownsBytes(bytes)) {
        std::string copy(bytes, n);
        return insertBytes(pos, copy.data(), n);
    }
    auto count = static_cast<int32_t>(n);
    int32_t free = capacity - length - 1;
    if (count > free && resize_by(count - free) == 0) {
        return false;
    }
    std::memmove(text + pos + count, text + pos, static_cast<std::size_t>(length - pos) + 1);
    std::memcpy(text + pos, bytes, n);
    length += count;
    return true;
}

void CText::insert_pattern(long pos, const char* s) {
    if (s != nullptr && *s != '\0' && pos >= 0 && pos <= length) {
        insertBytes(static_cast<int32_t>(pos), s, std::strlen(s));
    }
}

void CText::insert_pattern(const char* at, const char* s) {
    if (text != nullptr && at != nullptr) {
        insert_pattern(static_cast<long>(at - text), s);
    }
}

void CText::replace_nil_chars_by_space() {
    if (text != nullptr) {
        std::replace(text, text + length, '\0', ' ');
    }
}

void CText::to_lower() {
    if (text != nullptr) {
        std::transform(text, text + length, text, [](char c) {
            return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        });
    }
}

void CText::reverse() {
    if (text != nullptr) {
        reverse(text, length);
    }
}

void CText::reverse(char* p, long n) {
    if (p != nullptr && n > 1) {
        std::reverse(p, p + n);
    }
}

long CText::find(long start, const char* p, bool nocase) const {
    if (text == nullptr || p == nullptr || start < 0 || start > length) {
        return -1;
    }
    const char* hit = nocase ? STRSTR(text + start, p) : std::strstr(text + start, p);
    return hit != nullptr ? static_cast<long>(hit - text) : -1;
}

long CText::find_pattern(long start, const char* p) const {
    return find(start, p, false);
}

long CText::find_pattern_nocase(long start, const char* p) const {
    return find(start, p, true);
}

namespace {

unsigned char sameBytes(const char* a, const char* b, std::size_t n, bool nocase) {
    if (n == 0) {
        return 1;
    }
    return (nocase ? STRNCMP(a, b, static_cast<int>(n)) : std::strncmp(a, b, n)) == 0 ? 1 : 0;
}

}  // namespace

unsigned char CText::beginsWith_case(const CText& prefix) const {
    if (text == nullptr || prefix.text == nullptr || prefix.length > length) {
        return 0;
    }
    return sameBytes(text, prefix.text, static_cast<std::size_t>(prefix.length), false);
}

unsigned char CText::beginsWith_nocase(const CText& prefix) const {
    return prefix.text == nullptr ? 0 : beginsWith_nocase(prefix.text);
}

unsigned char CText::beginsWith_nocase(const char* prefix) const {
    if (text == nullptr || prefix == nullptr) {
        return 0;
    }
    std::size_t n = std::strlen(prefix);
    return n > static_cast<std::size_t>(length) ? 0 : sameBytes(text, prefix, n, true);
}

unsigned char CText::endsWith_case(const CText& suffix) const {
    if (text == nullptr || suffix.text == nullptr || suffix.length > length) {
        return 0;
    }
    return sameBytes(text + length - suffix.length, suffix.text,
                     static_cast<std::size_t>(suffix.length), false);
}

unsigned char CText::endsWith_nocase(const CText& suffix) const {
    return suffix.text == nullptr ? 0 : endsWith_nocase(suffix.text);
}

unsigned char CText::endsWith_nocase(const char* suffix) const {
    if (text == nullptr || suffix == nullptr) {
        return 0;
    }
    std::size_t n = std::strlen(suffix);
    return n > static_cast<std::size_t>(length) ? 0 : sameBytes(text + length - n, suffix, n, true);
}

unsigned char CText::isSafeEncoded() const {
    return text != nullptr && isSafeEncoded(text, static_cast<std::size_t>(length)) ? 1 : 0;
}

bool CText::isSafeEncoded(const char* bytes, std::size_t n) {
    return std::all_of(bytes, bytes + n, [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return isHiorLoAlpha(c) || isDig(c) || isSafe(c) || isExtra(c) || isReserved(c) ||
               isPunctuation(c);
    });
}

unsigned char CText::isURLEncoded() const {
    if (text == nullptr) {
        return 0;
    }
    return std::none_of(text, text + length,
                        [](char c) { return NeedsURLEncoding(static_cast<unsigned char>(c)) != 0; })
               ? 1
               : 0;
}

void CText::itoa(char* buf, short size, long long v) {
    base::itoa(buf, size, static_cast<long>(v));
}

void CText::itoa(char* buf, short size, long v) {
    base::itoa(buf, size, v);
}

std::unique_ptr<CText> CText::extract_between(long from, long to) const {
    if (text == nullptr) {
        return nullptr;
    }
    if (from > to) {
        return std::make_unique<CText>("");
    }
    long first = std::max(from, 0L);
    long last = std::min(to, static_cast<long>(length) - 1);
    if (first > last) {
        return std::make_unique<CText>(text + 1, text);  // absent: the range holds no byte
    }
    return std::make_unique<CText>(text + first, text + last);
}

void CText::extract_between(long from, long to, CText& out) const {
    if (std::unique_ptr<CText> part = extract_between(from, to)) {
        out = *part;
    }
}

void CText::removeSpan(int32_t begin, int32_t end) {
    if (text == nullptr || begin >= end) {
        return;
    }
    std::memmove(text + begin, text + end, static_cast<std::size_t>(length - end) + 1);
    length -= end - begin;
}

void CText::remove_range(long from, long to) {
    if (text == nullptr || from > to) {
        return;
    }
    from = std::max(from, 0L);
    to = std::min(to, static_cast<long>(length) - 1);
    if (from <= to) {
        removeSpan(static_cast<int32_t>(from), static_cast<int32_t>(to) + 1);
    }
}

void CText::remove_range(const char* from, const char* to) {
    if (text != nullptr && from != nullptr && to != nullptr) {
        remove_range(static_cast<long>(from - text), static_cast<long>(to - text));
    }
}

void CText::appendNamedList(const char* lead, const char* name, const char* separator,
                            CList<CString256>& list, const char* trail) {
    *this += lead;
    *this += name;
    *this += separator;
    for (list.cursor = list.head; list.cursor != nullptr; list.cursor = list.cursor->next) {
        if (list.cursor != list.head) {
            *this += ',';
        }
        *this += list.cursor->value;
    }
    *this += trail;
}

void CText::append_named_value(const char* name, const CText& value) {
    *this += name;
    *this += " ";
    *this += value;
    *this += kBullet;
}

void CText::append_named_value(const char* name, const CString256& value) {
    append_named_value(name, CText(value.c_str()));
}

void CText::append_named_value(const char* name, long value) {
    append_named_value(name, CText(value));
}

void CText::append_named_list(const char* name, CList<CString256>& list) {
    appendNamedList("", name, " ", list, kBullet);
}

void CText::pretty_append_named_value(const char* name, const CText& value) {
    *this += "\t\t";
    *this += name;
    *this += " : ";
    *this += value;
    *this += "\r\r";
}

void CText::pretty_append_named_value(const char* name, const CString256& value) {
    pretty_append_named_value(name, CText(value.c_str()));
}

void CText::pretty_append_named_value(const char* name, long value) {
    pretty_append_named_value(name, CText(value));
}

void CText::pretty_append_named_list(const char* name, CList<CString256>& list) {
    appendNamedList("\t\t", name, " : ", list, "\r\r");
}

}  // namespace kept
