// Link harvesting from the text of a web page.
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Conversions.h"
#include "kept/CDelimiters.h"
#include "kept/CText.h"
#include "kept/ICMapEntry.h"

namespace kept {

using namespace base;

namespace {

// Characters that end a URL-like run around a dot.
bool isStop(char c) {
    return std::strchr("'\"()<>\r\n", c) != nullptr && c != '\0';
}

// A key of the file-mapping table is "." and a lower-case extension; a key holds at most
// 255 bytes, so a longer text is never one (it must not match a key by being cut short).
bool isSuffixMapKey(std::string_view lowered) {
    if (lowered.size() + 1 > CString256::kCapacity) {
        return false;
    }
    CString256 key(".");
    key += std::string(lowered);
    return gSuffixMap.lookup(key) != nullptr;
}

std::string lowered(std::string_view t) {
    std::string lower(t);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// A file name extension: a known one, or up to 4 letters and digits with at least one
// letter after the first byte (which is not looked at).
bool isSuffix(std::string_view t) {
    if (t.empty() || isSuffixMapKey(lowered(t))) {
        return true;
    }
    if (t.size() > 4) {
        return false;
    }
    bool letter = false;
    for (std::size_t i = 1; i < t.size(); ++i) {
        auto c = static_cast<unsigned char>(t[i]);
        if (!isHiorLoAlpha(c) && !isDig(c)) {
            return false;
        }
        letter = letter || isHiorLoAlpha(c);
    }
    return letter;
}

// Links beginning with these point into the page itself or at a mailbox: not pages.
bool isPageLink(const CString256& h) {
    return !h.beginsWith_nocase("#") && !h.beginsWith_nocase("mailto:");
}

void enterLink(CMap<CString256, CString256>& links, const CString256& base, const CString256& h) {
    CString256 resolved;
    CText::partial_href_to_full_url(base, h, resolved);
    links.insert(h, links.vdef)->value = resolved;
}

}  // namespace

unsigned char CText::IsSuffix() const {
    if (text == nullptr) {
        return 0;
    }
    return isSuffix(std::string_view(text, static_cast<std::size_t>(length))) ? 1 : 0;
}

unsigned char CText::IsSuffixMapSuffix() {
    if (text == nullptr) {
        return 0;
    }
    to_lower();
    return isSuffixMapKey(std::string_view(text, static_cast<std::size_t>(length))) ? 1 : 0;
}

void CText::classic_extract_hrefs(CList<CString256>& out) const {
    CDelimiters table;
    classic_extract_hrefs(out, table);
}

void CText::classic_extract_hrefs(CList<CString256>& out, const CDelimiters& table) const {
    if (text == nullptr) {
        return;
    }
    // Each pair cuts its attributes out of the working copy, so a later, looser pair does
    // not see them again.
    CText work(*this);
    for (const elem<delimiters>* e = table.list.head; e != nullptr; e = e->next) {
        if (e->value.active) {
            work.extract_and_remove_all_between_patterns_nocase(e->value.opening.c_str(),
                                                                e->value.closing.c_str(), out);
        }
    }
}

void CText::classic_extract_hrefs(const CString256& base,
                                  CMap<CString256, CString256>& links) const {
    CDelimiters table;
    classic_extract_hrefs(base, links, table);
}

void CText::classic_extract_hrefs(const CString256& base, CMap<CString256, CString256>& links,
                                  const CDelimiters& table) const {
    CList<CString256> found;
    classic_extract_hrefs(found, table);
    for (const elem<CString256>* e = found.head; e != nullptr; e = e->next) {
        if (isPageLink(e->value)) {
            enterLink(links, base, e->value);
        }
    }
}

void CText::collect_all_urls(CList<CString256>& out, CMap<CString256, CString256>* mail) const {
    if (text == nullptr) {
        return;
    }
    const std::string_view page(text);  // the searches of the page stop at a NUL too
    for (std::size_t dot = page.find('.'); dot != std::string_view::npos;
         dot = page.find('.', dot + 1)) {
        // An extension is at most a table key long, so a longer run is not looked at whole.
        std::size_t end = dot + 1;
        while (end < page.size() && !isStop(page[end]) && end - dot <= CString256::kCapacity) {
            ++end;
        }
        if (end == page.size() || !isStop(page[end])) {
            continue;
        }
        std::string_view after = page.substr(dot + 1, end - dot - 1);
        if (!isSuffix(after)) {
            continue;
        }
        std::size_t begin = dot;
        while (begin > 1 && !isStop(page[begin - 1])) {
            --begin;
        }
        std::string_view before = page.substr(begin, dot - begin);
        if (before.empty() || after.empty() || !isSafeEncoded(before.data(), before.size()) ||
            !isSafeEncoded(after.data(), after.size())) {
            continue;
        }
        CString256 candidate(std::string(page.substr(begin, end - begin)).c_str());
        if (mail != nullptr && candidate.beginsWith_nocase("mailto:")) {
            std::string opening = std::string(candidate.c_str()) + "\">";
            CText shown;
            extract_between_patterns_nocase(0, opening.c_str(), "</a>", shown);
            CString256 name;
            name = std::string(shown.text, static_cast<std::size_t>(shown.length));
            mail->insert(CString256(candidate.c_str() + 7), mail->vdef)->value = name;
        }
        if (isPageLink(candidate)) {
            out.append(candidate);
        }
    }
}

void CText::extract_hrefs(const CString256& base, CMap<CString256, CString256>& links) const {
    CList<CString256> found;
    collect_all_urls(found);
    for (const elem<CString256>* e = found.head; e != nullptr; e = e->next) {
        enterLink(links, base, e->value);
    }
    classic_extract_hrefs(base, links);
}

}  // namespace kept
