#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "kept/CText.h"

namespace kept {

using namespace base;

bool CText::findPair(long start, const char* a, const char* b, bool nocase, bool bFromStartOfA,
                     PairMatch& m) const {
    long aAt = find(start, a, nocase);
    if (aAt < 0 || b == nullptr) {
        return false;
    }
    long aEnd = aAt + static_cast<long>(std::strlen(a));
    long bAt = find(bFromStartOfA ? aAt : aEnd, b, nocase);
    if (bAt < 0) {
        return false;
    }
    m.aBegin = static_cast<int32_t>(aAt);
    m.aEnd = static_cast<int32_t>(aEnd);
    m.bBegin = static_cast<int32_t>(bAt);
    m.bEnd = static_cast<int32_t>(bAt + static_cast<long>(std::strlen(b)));
    return true;
}

void CText::replaceSpan(int32_t begin, int32_t end, const char* r) {
    removeSpan(begin, end);
    insert_pattern(static_cast<long>(begin), r);
}

void CText::remove_between_patterns(const char* a, const char* b) {
    PairMatch m{};
    if (findPair(0, a, b, false, false, m)) {
        removeSpan(m.aEnd, m.bBegin);
    }
}

void CText::remove_between_patterns_no_case(const char* a, const char* b) {
    PairMatch m{};
    if (findPair(0, a, b, true, false, m)) {
        removeSpan(m.aEnd, m.bBegin);
    }
}

void CText::remove_between_patterns_inclusive(const char* a, const char* b) {
    PairMatch m{};
    if (findPair(0, a, b, false, false, m)) {
        removeSpan(m.aBegin, m.bEnd);
    }
}

void CText::remove_between_patterns_inclusive_nocase(const char* a, const char* b) {
    PairMatch m{};
    if (findPair(0, a, b, true, false, m)) {
        removeSpan(m.aBegin, m.bEnd);
    }
}

void CText::remove_between_patterns_inclusive_all_nocase(const char* a, const char* b) {
    // The text before a removed pair holds no a, so the next a can begin at the earliest
    // where the end of that text and the bytes after the pair meet.
    long lengthOfA = a != nullptr ? static_cast<long>(std::strlen(a)) : 0;
    long from = 0;
    PairMatch m{};
    // A pair of two empty patterns removes nothing and would be found forever.
    while (findPair(from, a, b, true, false, m) && m.bEnd > m.aBegin) {
        removeSpan(m.aBegin, m.bEnd);
        from = std::max(0L, m.aBegin - lengthOfA + 1);
    }
}

void CText::remove_between_patterns_inclusive_all_nocase_between(const char* a, const char* b,
                                                                 const char* c, const char* d) {
    PairMatch m{};
    if (!findPair(0, c, d, false, false, m)) {
        return;
    }
    CText part(text + m.aEnd, text + m.bBegin - 1);
    if (part.text == nullptr) {
        part = "";
    }
    part.remove_between_patterns_inclusive_all_nocase(a, b);
    // The cleaned part goes back exactly where it came from.
    replaceSpan(m.aEnd, m.bBegin, part.text);
}

void CText::replace_between_patterns_nocase(const char* a, const char* b, const char* r) {
    PairMatch m{};
    if (findPair(0, a, b, true, false, m)) {
        replaceSpan(m.aEnd, m.bBegin, r);
    }
}

void CText::replace_between_patterns_inclusive_nocase(const char* a, const char* b, const char* r) {
    PairMatch m{};
    if (findPair(0, a, b, true, false, m)) {
        replaceSpan(m.aBegin, m.bEnd, r);
    }
}

void CText::replace_between_patterns_inclusive(const char* a, const char* b, const char* r) {
    PairMatch m{};
    if (findPair(0, a, b, false, false, m)) {
        replaceSpan(m.aBegin, m.bEnd, r);
    }
}

int CText::extract_between_patterns(long s, const char* a, const char* b, CText& out) const {
    PairMatch m{};
    if (!findPair(s, a, b, false, false, m)) {
        out.setBytes("", 0);
        return 0;
    }
    out.setBytes(text + m.aEnd, static_cast<std::size_t>(m.bBegin - m.aEnd));
    return 1;
}

int CText::extract_between_patterns_nocase(long s, const char* a, const char* b, CText& out) const {
    PairMatch m{};
    if (!findPair(s, a, b, true, false, m)) {
        out.setBytes("", 0);
        return 0;
    }
    out.setBytes(text + m.aEnd, static_cast<std::size_t>(m.bBegin - m.aEnd));
    return 1;
}

int CText::extract_between_patterns_nocase_inclusive(long s, const char* a, const char* b,
                                                     CText& out) const {
    PairMatch m{};
    if (!findPair(s, a, b, true, true, m)) {
        out.setBytes("", 0);
        return 0;
    }
    out.setBytes(text + m.aBegin, static_cast<std::size_t>(m.bEnd - m.aBegin));
    return 1;
}

// Extracts the bytes between the pair found from s, then changes that same pair.
int CText::extractAndChange(long s, const char* a, const char* b, bool nocase, PairChange change,
                            const char* r, CText& out) {
    PairMatch m{};
    if (!findPair(s, a, b, nocase, false, m)) {
        out.setBytes("", 0);
        return 0;
    }
    std::string between(text + m.aEnd, static_cast<std::size_t>(m.bBegin - m.aEnd));
    switch (change) {
        case PairChange::RemoveInclusive:
            removeSpan(m.aBegin, m.bEnd);
            break;
        case PairChange::RemoveBetween:
            removeSpan(m.aEnd, m.bBegin);
            break;
        case PairChange::ReplaceInclusive:
            replaceSpan(m.aBegin, m.bEnd, r);
            break;
    }
    out.setBytes(between.data(), between.size());
    return 1;
}

int CText::extract_and_remove_between_patterns(long s, const char* a, const char* b, CText& out) {
    return extractAndChange(s, a, b, false, PairChange::RemoveInclusive, nullptr, out);
}

int CText::extract_and_remove_between_patterns_nocase(long s, const char* a, const char* b,
                                                      CText& out) {
    return extractAndChange(s, a, b, true, PairChange::RemoveInclusive, nullptr, out);
}

int CText::extract_and_remove_between_patterns_nocase_not_inclusive(long s, const char* a,
                                                                    const char* b, CText& out) {
    return extractAndChange(s, a, b, true, PairChange::RemoveBetween, nullptr, out);
}

int CText::extract_and_replace_between_patterns(long s, const char* a, const char* b, const char* r,
                                                CText& out) {
    return extractAndChange(s, a, b, false, PairChange::ReplaceInclusive, r, out);
}

int CText::extract_and_remove_between_patterns_nocase(const char* a, const char* b,
                                                      CString256& out) {
    CText between;
    int found = extract_and_remove_between_patterns_nocase(0, a, b, between);
    out = between.text != nullptr ? between.text : "";
    return found;
}

int CText::extract_list(const char* a, const char* b, CList<CString256>& list) {
    CText between;
    if (!extract_and_remove_between_patterns(0, a, b, between)) {
        return 0;
    }
    list.clear();
    std::string_view rest(between.text, static_cast<std::size_t>(between.length));
    while (!rest.empty()) {
        std::size_t comma = rest.find(',');
        std::string piece(rest.substr(0, comma));
        if (!piece.empty()) {
            list.append(CString256(piece.c_str()));
        }
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return 1;
}

}  // namespace kept
