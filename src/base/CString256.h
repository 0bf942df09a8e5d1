#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/NodePool.h"

namespace base {

template <typename T>
class CList;

// The program's value string: at most 255 bytes of text kept inside the object, so strings
// live on the stack, in list elements and in map links and copy without allocating.
// Bytes are taken as they come; lengths are byte counts. Whatever would overflow the
// capacity is cut off silently: copying keeps the first 255 bytes, appending a text fills
// up to 255 bytes, appending one character stops at 254 bytes.
//
// Heap instances come from a per-class pool (not thread-safe: one thread at a time, see
// NodePool).
class CString256 : public PoolAllocated<CString256> {
public:
    static constexpr std::size_t kCapacity = 255;

    CString256() noexcept { m_text[0] = '\0'; }
    CString256(const char* s) noexcept;
    CString256(const CString256& other) noexcept;
    // A Pascal string: a length byte followed by that many bytes.
    CString256(const unsigned char* pascal) noexcept;
    ~CString256() = default;

    CString256& operator=(const char* s) noexcept;
    CString256& operator=(const CString256& other) noexcept;
    CString256& operator=(const unsigned char* pascal) noexcept;
    CString256& operator=(const std::string& utf8) noexcept;
    // Raw bytes of a memory block; a NUL among them ends the text.
    CString256& operator=(const std::vector<char>& bytes) noexcept;
    CString256& operator=(long value) noexcept;
    CString256& operator=(unsigned long long value) noexcept;

    CString256& operator+=(const char* s) noexcept;
    CString256& operator+=(const CString256& other) noexcept;
    CString256& operator+=(const unsigned char* pascal) noexcept;
    CString256& operator+=(const std::string& utf8) noexcept;
    CString256& operator+=(long value) noexcept;
    CString256& operator+=(char c) noexcept;

    // No bounds check: i must lie in 0..255.
    char& operator[](int i) noexcept { return m_text[i]; }
    const char& operator[](int i) const noexcept { return m_text[i]; }

    const char* c_str() const noexcept { return m_text; }
    char* text() noexcept { return m_text; }
    std::size_t length() const noexcept;

    void to_lower() noexcept;
    unsigned char beginsWith(const CString256* p, unsigned char nocase = 0) const noexcept;
    unsigned char beginsWith(const char* p, unsigned char nocase = 0) const noexcept;
    unsigned char endsWith(const CString256* p, unsigned char nocase = 0) const noexcept;
    unsigned char endsWith(const char* p, unsigned char nocase = 0) const noexcept;
    unsigned char beginsWith_nocase(const CString256& p) const noexcept;
    unsigned char beginsWith_nocase(const char* p) const noexcept;
    unsigned char endsWith_nocase(const CString256& p) const noexcept;
    unsigned char endsWith_nocase(const char* p) const noexcept;
    void filter_to_alnum_or_punct() noexcept;

    // Joins the list's strings with sep between neighbours.
    void flatten_list(char sep, CList<CString256>& list);
    // Replaces the list's contents with the non-empty pieces of this text between bytes of
    // delims. Reentrant: keeps no state between calls.
    void parse_into_list(const char* delims, CList<CString256>& list) const;
    void change_suffix(const char* suffix) noexcept;

    // Appends the text and a line feed to out, which must have room for both.
    void print(char* out) const noexcept;
    // Writes the text and a line feed to fd; 0 on success, else the errno of the write.
    int print(int fd) const noexcept;
    std::string MakeCFString() const;

    // Matchers write 1.0 (match) or 0.0 (no match) to score; the approximate ones write a
    // similarity between 0.0 and 1.0.
    void match_case_exact(const CString256& pattern, float* score) const noexcept;
    void match_nocase_exact(const CString256& pattern, float* score) const noexcept;
    void match_case_partial(const CString256& pattern, float* score) const noexcept;
    void match_nocase_partial(const CString256& pattern, float* score) const noexcept;
    void match_case_approximate(const CString256& pattern, float* score) const noexcept;
    void match_nocase_approximate(const CString256& pattern, float* score) const noexcept;
    // The pieces must occur in list order without overlapping. Walks the list's cursor.
    void match_wildcard_case(CList<CString256>& pieces, float* score) const noexcept;
    void match_wildcard_nocase(CList<CString256>& pieces, float* score) const noexcept;

    using Matcher = void (*)(void* subject, void* pattern, float* score);
    // Calls fn with this string as the subject.
    void match(Matcher fn, void* pattern, float* score) { fn(this, pattern, score); }

private:
    void assign(const char* s, std::size_t n) noexcept;
    void append(const char* s, std::size_t n) noexcept;

    char m_text[kCapacity + 1];
};

// Case-insensitive strstr: the first occurrence of pattern in text, or null.
const char* STRSTR(const char* text, const char* pattern) noexcept;
char* STRSTR(char* text, const char* pattern) noexcept;
// Case-insensitive strncmp. A non-zero result is the difference of the first differing
// bytes as they stand (not upper-cased), first minus second.
int STRNCMP(const char* a, const char* b, int n) noexcept;

// Matcher functions for CString256::match. The first six take a CString256 subject and a
// NUL-terminated pattern; the wildcard ones a NUL-terminated subject and a CList<CString256>
// of pieces. Text arguments take part with their first 255 bytes only.
void matcher_case_exact_256(void* subject, void* pattern, float* score);
void matcher_nocase_exact_256(void* subject, void* pattern, float* score);
void matcher_case_partial_256(void* subject, void* pattern, float* score);
void matcher_nocase_partial_256(void* subject, void* pattern, float* score);
void matcher_case_approximate_256(void* subject, void* pattern, float* score);
void matcher_nocase_approximate_256(void* subject, void* pattern, float* score);
void match_wildcard_case_256(void* subject, void* pattern, float* score);
void match_wildcard_nocase_256(void* subject, void* pattern, float* score);

}  // namespace base
