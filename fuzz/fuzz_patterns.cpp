// The pattern operations of the text buffer: a, NUL, b, NUL, replacement, NUL, text.
#include <cstdlib>

#include "FuzzInput.h"
#include "kept/CText.h"

using base::CList;
using base::CString256;
using kept::CText;

namespace {

std::string Bytes(const CText& t) {
    return t.text == nullptr ? std::string() : std::string(t.text, t.length);
}

// The one-pass walk must end exactly where repeated single removals end.
void CheckWalk(const std::string& text, const char* a, const char* b) {
    if (*a == '\0' && *b == '\0') {
        return;  // repeating such a pair never ends; the walk refuses it
    }
    CText fast(text.c_str());
    CList<CString256> fastList;
    fast.extract_and_remove_all_between_patterns_nocase(a, b, fastList);
    CText slow(text.c_str());
    int32_t found = 0;
    CString256 piece;
    while (slow.extract_and_remove_between_patterns_nocase(a, b, piece)) {
        ++found;
    }
    if (Bytes(fast) != Bytes(slow) || fastList.count != found) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::string a = input.next();
    std::string b = input.next();
    std::string r = input.next();
    std::string text = input.rest();  // may hold NUL bytes
    const long start = static_cast<long>(text.size() % 7);

    CText t;
    t.append(text.data(), static_cast<long>(text.size()));
    CText out;
    CString256 small;
    CList<CString256> list;
    t.extract_between_patterns(start, a.c_str(), b.c_str(), out);
    t.extract_between_patterns_nocase(start, a.c_str(), b.c_str(), out);
    t.extract_between_patterns_nocase_inclusive(start, a.c_str(), b.c_str(), out);
    t.extract_and_remove_between_patterns(start, a.c_str(), b.c_str(), out);
    t.extract_and_remove_between_patterns_nocase(start, a.c_str(), b.c_str(), out);
    t.extract_and_remove_between_patterns_nocase_not_inclusive(start, a.c_str(), b.c_str(), out);
    t.extract_and_replace_between_patterns(start, a.c_str(), b.c_str(), r.c_str(), out);
    t.extract_and_remove_between_patterns_nocase(a.c_str(), b.c_str(), small);
    CheckCapacity(small);
    t.extract_list(a.c_str(), b.c_str(), list);
    for (auto* e = list.head; e != nullptr; e = e->next) {
        CheckCapacity(e->value);
    }
    t.replace_between_patterns_nocase(a.c_str(), b.c_str(), r.c_str());
    t.replace_between_patterns_inclusive_nocase(a.c_str(), b.c_str(), r.c_str());
    t.replace_between_patterns_inclusive(a.c_str(), b.c_str(), r.c_str());
    t.remove_between_patterns(a.c_str(), b.c_str());
    t.remove_between_patterns_no_case(a.c_str(), b.c_str());
    t.remove_between_patterns_inclusive(a.c_str(), b.c_str());
    t.remove_between_patterns_inclusive_all_nocase_between(a.c_str(), b.c_str(), r.c_str(), "\n");
    t.remove_between_patterns_inclusive_all_nocase(a.c_str(), b.c_str());
    t.remove_range(start - 3, start + 5);
    t.extract_between(start - 2, start + 9, out);
    if (t.text != nullptr && static_cast<int32_t>(std::strlen(t.text)) > t.length) {
        std::abort();
    }
    CheckWalk(text, a.c_str(), b.c_str());
    return 0;
}
