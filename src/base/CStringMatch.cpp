// The scoring matchers of CString256 and the case-insensitive search and compare.
#include <cctype>
#include <cmath>
#include <cstring>

#include "base/CList.h"
#include "base/CString256.h"

namespace base {

namespace {

int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

CString256 Lowered(const CString256& s) {
    CString256 lowered(s);
    lowered.to_lower();
    return lowered;
}

void ExactScore(const CString256& subject, const CString256& pattern, float* score) {
    bool same = pattern[0] != '\0' && std::strcmp(subject.c_str(), pattern.c_str()) == 0;
    *score = same ? 1.0f : 0.0f;
}

void PartialScore(const CString256& subject, const CString256& pattern, float* score) {
    bool found = pattern[0] != '\0' && std::strstr(subject.c_str(), pattern.c_str()) != nullptr;
    *score = found ? 1.0f : 0.0f;
}

// How many of the pattern's bytes can be found, in order, along the subject.
std::size_t InOrderMatches(const char* subject, const char* pattern) {
    std::size_t matched = 0;
    const char* cursor = subject;
    for (const char* p = pattern; *p != '\0' && *cursor != '\0'; ++p) {
        if (const char* hit = std::strchr(cursor, *p)) {
            ++matched;
            cursor = hit + 1;
        }
    }
    return matched;
}

// 1 - (|s - c| + |p - c|) / (s + p) over the lengths s, p and the in-order count c. Two
// empty texts share nothing to compare and score 0.0, as empty patterns do in every other
// matcher (the formula itself would divide zero by zero).
void ApproximateScore(const CString256& subject, const CString256& pattern, float* score) {
    *score = 0.0f;
    auto s = static_cast<long>(subject.length());
    auto p = static_cast<long>(pattern.length());
    if (s + p == 0) {
        return;
    }
    auto c = static_cast<long>(InOrderMatches(subject.c_str(), pattern.c_str()));
    double differences = static_cast<double>(std::fabs(static_cast<float>(s - c))) +
                         static_cast<double>(std::fabs(static_cast<float>(p - c)));
    *score = static_cast<float>(1.0 - differences / static_cast<double>(s + p));
}

using Finder = const char* (*)(const char*, const char*);

const char* FindExact(const char* text, const char* piece) {
    return std::strstr(text, piece);
}
const char* FindNocase(const char* text, const char* piece) {
    return STRSTR(text, piece);
}

void WildcardScore(const CString256& subject, CList<CString256>& pieces, Finder find,
                   float* score) {
    const char* position = subject.c_str();
    for (pieces.cursor = pieces.head; pieces.cursor != nullptr;
         pieces.cursor = pieces.cursor->next) {
        const CString256& piece = pieces.cursor->value;
        const char* hit = find(position, piece.c_str());
        if (hit == nullptr) {
            *score = 0.0f;
            return;
        }
        position = hit + piece.length();
    }
    *score = 1.0f;
}

}  // namespace

const char* STRSTR(const char* text, const char* pattern) noexcept {
    if (text == nullptr || pattern == nullptr) {
        return nullptr;
    }
    for (const char* start = text;; ++start) {
        std::size_t i = 0;
        while (pattern[i] != '\0' && Upper(start[i]) == Upper(pattern[i])) {
            ++i;
        }
        if (pattern[i] == '\0') {
            return start;
        }
        if (*start == '\0') {
            return nullptr;
        }
    }
}

char* STRSTR(char* text, const char* pattern) noexcept {
    return const_cast<char*>(STRSTR(static_cast<const char*>(text), pattern));
}

int STRNCMP(const char* a, const char* b, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
        }
        if (a[i] == '\0') {
            return 0;
        }
    }
    return 0;
}

void CString256::match_case_exact(const CString256& pattern, float* score) const noexcept {
    ExactScore(*this, pattern, score);
}

void CString256::match_nocase_exact(const CString256& pattern, float* score) const noexcept {
    ExactScore(Lowered(*this), Lowered(pattern), score);
}

void CString256::match_case_partial(const CString256& pattern, float* score) const noexcept {
    PartialScore(*this, pattern, score);
}

void CString256::match_nocase_partial(const CString256& pattern, float* score) const noexcept {
    PartialScore(Lowered(*this), Lowered(pattern), score);
}

void CString256::match_case_approximate(const CString256& pattern, float* score) const noexcept {
    ApproximateScore(*this, pattern, score);
}

void CString256::match_nocase_approximate(const CString256& pattern, float* score) const noexcept {
    ApproximateScore(Lowered(*this), Lowered(pattern), score);
}

void CString256::match_wildcard_case(CList<CString256>& pieces, float* score) const noexcept {
    WildcardScore(*this, pieces, FindExact, score);
}

void CString256::match_wildcard_nocase(CList<CString256>& pieces, float* score) const noexcept {
    WildcardScore(*this, pieces, FindNocase, score);
}

namespace {

template <void (CString256::*Member)(const CString256&, float*) const noexcept>
void ApplyToText(void* subject, void* pattern, float* score) {
    CString256 text(static_cast<const char*>(pattern));
    (static_cast<const CString256*>(subject)->*Member)(text, score);
}

template <void (CString256::*Member)(CList<CString256>&, float*) const noexcept>
void ApplyToPieces(void* subject, void* pattern, float* score) {
    CString256 text(static_cast<const char*>(subject));
    (text.*Member)(*static_cast<CList<CString256>*>(pattern), score);
}

}  // namespace

void matcher_case_exact_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_case_exact>(subject, pattern, score);
}
void matcher_nocase_exact_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_nocase_exact>(subject, pattern, score);
}
void matcher_case_partial_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_case_partial>(subject, pattern, score);
}
void matcher_nocase_partial_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_nocase_partial>(subject, pattern, score);
}
void matcher_case_approximate_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_case_approximate>(subject, pattern, score);
}
void matcher_nocase_approximate_256(void* subject, void* pattern, float* score) {
    ApplyToText<&CString256::match_nocase_approximate>(subject, pattern, score);
}
void match_wildcard_case_256(void* subject, void* pattern, float* score) {
    ApplyToPieces<&CString256::match_wildcard_case>(subject, pattern, score);
}
void match_wildcard_nocase_256(void* subject, void* pattern, float* score) {
    ApplyToPieces<&CString256::match_wildcard_nocase>(subject, pattern, score);
}

}  // namespace base
