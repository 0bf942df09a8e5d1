#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/CList.h"
#include "base/CString256.h"
#include "kept/CMap.h"

namespace kept {

using base::CList;
using base::CString256;
using base::STRNCMP;
using base::STRSTR;

class CDelimiters;

// A text buffer for texts of any length: web pages, files, reports.
//
// The buffer grows in steps of `quantum` bytes and always holds a NUL after the text, so the
// text doubles as a C string (the pattern searches stop at the first NUL, as strstr does).
// A text can be absent (`text == nullptr`): after a begin/end pair whose end precedes its
// begin, after `init_from_chars(nullptr)`, or when no memory could be had. Operations on an
// absent text do nothing; finds answer -1, tests 0, extractions fail. The assignments
// (except the one from another CText) and `operator+=(char)` bring it back.
//
// File results are 0 on success or the errno value of the failing call.
class CText {
public:
    static constexpr int32_t kDefaultQuantum = 32000;

    char* text = nullptr;
    int32_t length = 0;
    int32_t capacity = 0;
    int32_t quantum = kDefaultQuantum;
    // A string that rides along with the text: emptied whenever the text is set from
    // characters, copied by copy construction and by assignment from another CText.
    CString256 side;

    // --- construction and assignment (CText.cpp) ---
    CText();
    CText(const char* s, long quantum = kDefaultQuantum);
    // The bytes from begin through end inclusive; absent when end precedes begin.
    CText(const char* begin, const char* end);
    explicit CText(long value);
    explicit CText(long long value);
    explicit CText(const std::filesystem::path& file, long quantum = kDefaultQuantum);
    CText(const CText& other);
    ~CText();

    void init_from_chars(const char* s);
    void init_from_ctext(const CText& other);
    // Leaves both texts alone when either of them is absent.
    CText& operator=(const CText& other);
    CText& operator=(const char* s);
    CText& operator=(char c);
    CText& operator=(long value);
    CText& operator=(long long value);
    // An empty string leaves the text unchanged.
    CText& operator=(const std::string& utf8);
    // The bytes of a memory block; the text ends at the first NUL among them.
    CText& operator=(const std::vector<char>& bytes);

    // --- appending (CText.cpp) ---
    CText& operator+=(char c);
    void append(const char* bytes, long n);
    CText& operator+=(const CText& other);
    CText& operator+=(const char* s);
    CText& operator+=(const CString256& s);
    CText& operator+=(long value);
    CText& operator+=(long long value);
    CText& operator+=(const std::string& utf8);
    CText& operator+=(const std::filesystem::path& file);
    void insert_pattern(long pos, const char* s);
    void insert_pattern(const char* at, const char* s);
    // Grows the capacity by whole quanta so that at least n more bytes fit; answers the new
    // capacity, or 0 when the text is absent or no buffer could be had.
    int32_t resize_by(long n);

    // --- files (CTextFile.cpp) ---
    // Sets the text from the file's contents; NUL bytes in the file become spaces. A file
    // that cannot be read gives the empty text.
    int init_from_fsref(const std::filesystem::path& file);
    CText& operator=(const std::filesystem::path& file);
    int operator<<(const std::filesystem::path& file);
    // Reads the file at path; a path that names nothing leaves the text as it was.
    int operator<<(const char* path);
    // Writes the text into an existing file, which then holds exactly the text.
    int operator>>(const std::filesystem::path& file) const;
    // Replaces whatever is at path by a new file holding the text.
    int operator>>(const char* path) const;

    // --- finding and testing (CText.cpp) ---
    void replace_nil_chars_by_space();
    void to_lower();
    void reverse();
    void reverse_text() { reverse(); }
    static void reverse(char* p, long n);
    static const char* STRSTR(const char* t, const char* p) { return base::STRSTR(t, p); }
    static char* STRSTR(char* t, const char* p) { return base::STRSTR(t, p); }
    static int STRNCMP(const char* a, const char* b, int n) { return base::STRNCMP(a, b, n); }
    long find_pattern(long start, const char* p) const;
    long find_pattern(const char* p) const { return find_pattern(0, p); }
    long find_pattern_nocase(long start, const char* p) const;
    long find_pattern_nocase(const char* p) const { return find_pattern_nocase(0, p); }
    unsigned char beginsWith_case(const CText& prefix) const;
    unsigned char beginsWith_nocase(const CText& prefix) const;
    unsigned char beginsWith_nocase(const char* prefix) const;
    unsigned char endsWith_case(const CText& suffix) const;
    unsigned char endsWith_nocase(const CText& suffix) const;
    unsigned char endsWith_nocase(const char* suffix) const;
    unsigned char isSafeEncoded() const;
    // The same test on any run of bytes.
    static bool isSafeEncoded(const char* bytes, std::size_t n);
    unsigned char isURLEncoded() const;
    static void itoa(char* buf, short size, long long v);
    static void itoa(char* buf, short size, long v);

    // The bytes from max(from, 0) through min(to, length - 1): an empty text when from > to,
    // an absent one when the range holds no byte, nothing when this text is absent.
    std::unique_ptr<CText> extract_between(long from, long to) const;
    void extract_between(long from, long to, CText& out) const;
    void remove_range(long from, long to);
    void remove_range(const char* from, const char* to);

    // --- named values (CText.cpp): "name value" + bullet + CR, or tabbed "name : value" ---
    void append_named_value(const char* name, const CText& value);
    void append_named_value(const char* name, const CString256& value);
    void append_named_value(const char* name, long value);
    void append_named_list(const char* name, CList<CString256>& list);
    void pretty_append_named_value(const char* name, const CText& value);
    void pretty_append_named_value(const char* name, const CString256& value);
    void pretty_append_named_value(const char* name, long value);
    void pretty_append_named_list(const char* name, CList<CString256>& list);

    // --- pattern operations (CTextPatterns.cpp) ---
    // Each works on the first pattern a found at or after the start offset and the first
    // pattern b after it. "Between" means the bytes after a up to b; "inclusive" means a
    // through b. When either pattern is missing nothing changes, and the extracting members
    // answer 0 with their output set to the empty text.
    void remove_between_patterns(const char* a, const char* b);
    void remove_between_patterns_no_case(const char* a, const char* b);
    void remove_between_patterns_inclusive(const char* a, const char* b);
    void remove_between_patterns_inclusive_nocase(const char* a, const char* b);
    void remove_between_patterns_inclusive_all_nocase(const char* a, const char* b);
    // Cleans every a..b out of the part between c and d (searched with case).
    void remove_between_patterns_inclusive_all_nocase_between(const char* a, const char* b,
                                                              const char* c, const char* d);
    void replace_between_patterns_nocase(const char* a, const char* b, const char* r);
    void replace_between_patterns_inclusive_nocase(const char* a, const char* b, const char* r);
    void replace_between_patterns_inclusive(const char* a, const char* b, const char* r);

    int extract_between_patterns(long s, const char* a, const char* b, CText& out) const;
    int extract_between_patterns_nocase(long s, const char* a, const char* b, CText& out) const;
    // Here b is searched from the first byte of a, and out holds a through b.
    int extract_between_patterns_nocase_inclusive(long s, const char* a, const char* b,
                                                  CText& out) const;
    // The extract-and-change members change the pair they extracted.
    int extract_and_remove_between_patterns(long s, const char* a, const char* b, CText& out);
    int extract_and_remove_between_patterns_nocase(long s, const char* a, const char* b,
                                                   CText& out);
    int extract_and_remove_between_patterns_nocase_not_inclusive(long s, const char* a,
                                                                 const char* b, CText& out);
    int extract_and_replace_between_patterns(long s, const char* a, const char* b, const char* r,
                                             CText& out);
    int extract_and_remove_between_patterns_nocase(const char* a, const char* b, CString256& out);
    // Removes the first a..b and fills list with the comma-separated pieces between them.
    int extract_list(const char* a, const char* b, CList<CString256>& list);

    int extract_between_patterns(const char* a, const char* b, CText& out) const {
        return extract_between_patterns(0, a, b, out);
    }
    int extract_between_patterns_nocase(const char* a, const char* b, CText& out) const {
        return extract_between_patterns_nocase(0, a, b, out);
    }
    int extract_between_patterns_nocase_inclusive(const char* a, const char* b, CText& out) const {
        return extract_between_patterns_nocase_inclusive(0, a, b, out);
    }
    int extract_and_remove_between_patterns(const char* a, const char* b, CText& out) {
        return extract_and_remove_between_patterns(0, a, b, out);
    }
    int extract_and_remove_between_patterns_nocase(const char* a, const char* b, CText& out) {
        return extract_and_remove_between_patterns_nocase(0, a, b, out);
    }
    int extract_and_remove_between_patterns_nocase_not_inclusive(const char* a, const char* b,
                                                                 CText& out) {
        return extract_and_remove_between_patterns_nocase_not_inclusive(0, a, b, out);
    }
    int extract_and_replace_between_patterns(const char* a, const char* b, const char* r,
                                             CText& out) {
        return extract_and_replace_between_patterns(0, a, b, r, out);
    }

    // Repeats extract_and_remove_between_patterns_nocase(a, b) until it fails, appending
    // each extract (first 255 bytes) to list, in one pass over the text. The text and list
    // end exactly as the repeated calls would leave them.
    void extract_and_remove_all_between_patterns_nocase(const char* a, const char* b,
                                                        CList<CString256>& list);

    // --- links (CURLResolve.cpp, Links.cpp) ---
    static unsigned char href_is_relative(const CString256& href);
    // The absolute URL of a link href found on the page at base.
    static void partial_href_to_full_url(const CString256& base, const CString256& href,
                                         CString256& out);
    void classic_extract_hrefs(CList<CString256>& out) const;
    void classic_extract_hrefs(CList<CString256>& out, const CDelimiters& table) const;
    void classic_extract_hrefs(const CString256& base, CMap<CString256, CString256>& links) const;
    void classic_extract_hrefs(const CString256& base, CMap<CString256, CString256>& links,
                               const CDelimiters& table) const;
    void collect_all_urls(CList<CString256>& out,
                          CMap<CString256, CString256>* mail = nullptr) const;
    void extract_hrefs(const CString256& base, CMap<CString256, CString256>& links) const;
    unsigned char IsSuffix() const;
    unsigned char IsSuffixMapSuffix();

private:
    struct PairMatch {
        int32_t aBegin, aEnd, bBegin, bEnd;
    };

    void release();
    bool allocateFor(std::size_t n);
    bool setBytes(const char* bytes, std::size_t n);
    bool ownsBytes(const char* p) const;
    bool appendBytes(const char* bytes, std::size_t n);
    bool insertBytes(int32_t pos, const char* bytes, std::size_t n);
    void removeSpan(int32_t begin, int32_t end);
    void appendNamedList(const char* lead, const char* name, const char* separator,
                         CList<CString256>& list, const char* trail);
    long find(long start, const char* p, bool nocase) const;
    bool findPair(long start, const char* a, const char* b, bool nocase, bool bFromStartOfA,
                  PairMatch& m) const;
    void replaceSpan(int32_t begin, int32_t end, const char* r);
    enum class PairChange { RemoveInclusive, RemoveBetween, ReplaceInclusive };
    int extractAndChange(long s, const char* a, const char* b, bool nocase, PairChange change,
                         const char* r, CText& out);
};

}  // namespace kept
