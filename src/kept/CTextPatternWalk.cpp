#include <algorithm>
#include <cctype>
#include <cstring>

#include "kept/CText.h"

namespace kept {

using namespace base;

namespace {

bool sameNocase(char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
}

void appendPiece(CList<CString256>& list, const char* bytes, std::size_t n) {
    char piece[CString256::kCapacity + 1];
    n = std::min(n, CString256::kCapacity);
    std::memcpy(piece, bytes, n);
    piece[n] = '\0';
    list.append(CString256(piece));
}

}  // namespace

// Removing pairs one at a time from the front costs a search from the start and a move of
// the whole rest per pair, which goes quadratic on large pages. Instead the text is split
// into the part already walked, kept at [0, kept), and the unread part at [next, length]:
// removing a pair just moves `next` past it, and walked bytes are moved down only once.
// The walked part never holds a whole first pattern, so the next one either starts in the
// unread part or straddles the seam, where a removed pair has joined two pieces of text.
void CText::extract_and_remove_all_between_patterns_nocase(const char* a, const char* b,
                                                           CList<CString256>& list) {
    if (text == nullptr || a == nullptr || b == nullptr) {
        return;
    }
    const std::size_t lengthOfA = std::strlen(a);
    const std::size_t lengthOfB = std::strlen(b);
    if (lengthOfA == 0 && lengthOfB == 0) {
        return;  // such a pair removes nothing, so repeating it would never end
    }
    std::size_t kept = 0;
    std::size_t next = 0;
    // The byte at offset i of the text as it stands after the removals so far.
    auto at = [&](std::size_t i) { return i < kept ? text[i] : text[next + (i - kept)]; };
    for (;;) {
        std::size_t seamStart = kept >= lengthOfA ? kept - lengthOfA + 1 : 0;
        std::size_t aBegin = kept;
        std::size_t aEnd = 0;  // offset in the buffer, always in the unread part
        bool onSeam = false;
        for (std::size_t i = seamStart; i < kept && !onSeam; ++i) {
            std::size_t j = 0;
            while (j < lengthOfA && sameNocase(at(i + j), a[j])) {
                ++j;
            }
            if (j == lengthOfA) {
                onSeam = true;
                aBegin = i;
                aEnd = next + (i + lengthOfA - kept);
            }
        }
        if (!onSeam) {
            const char* hit = STRSTR(text + next, a);
            if (hit == nullptr) {
                break;
            }
            auto skipped = static_cast<std::size_t>(hit - text) - next;
            std::memmove(text + kept, text + next, skipped);
            kept += skipped;
            next += skipped;
            aBegin = kept;
            aEnd = next + lengthOfA;
        }
        const char* closing = STRSTR(text + aEnd, b);
        if (closing == nullptr) {
            break;
        }
        auto bBegin = static_cast<std::size_t>(closing - text);
        appendPiece(list, text + aEnd, bBegin - aEnd);
        kept = aBegin;
        next = bBegin + lengthOfB;
    }
    std::memmove(text + kept, text + next, static_cast<std::size_t>(length) - next + 1);
    length -= static_cast<int32_t>(next - kept);
}

}  // namespace kept
