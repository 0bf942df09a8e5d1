#include "kept/CURL.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "kept/ICMapEntry.h"

namespace kept {

using namespace base;

namespace {

constexpr auto npos = std::string_view::npos;

void assign(CString256& out, std::string_view bytes) {
    char buffer[CString256::kCapacity + 1];
    std::size_t n = std::min(bytes.size(), CString256::kCapacity);
    std::memcpy(buffer, bytes.data(), n);
    buffer[n] = '\0';
    out = buffer;
}

// The text up to its last c, or all of it when it holds no c.
std::string_view cutAtLast(std::string_view s, char c) {
    std::size_t at = s.rfind(c);
    return at == npos ? s : s.substr(0, at);
}

// What follows the last c of the text, up to the other separators after it, when the text
// holds a c. Separators before it do not cut: in "cgi$p?q=1" the search arguments are "q=1".
void assignArgs(std::string_view s, char c, char stop1, char stop2, CString256& out) {
    std::size_t at = s.rfind(c);
    if (at != npos) {
        assign(out, cutAtLast(cutAtLast(s.substr(at + 1), stop1), stop2));
    }
}

std::string_view view(const char* u) {
    return u != nullptr ? std::string_view(u) : std::string_view();
}

}  // namespace

CURL& CURL::operator=(const CURL& other) {
    if (&other != this) {
        url = other.url;
        protocol = other.protocol;
        host = other.host;
        path = other.path;
        pathComponents = other.pathComponents;
        rest = other.rest;
        filename = other.filename;
        suffix = other.suffix;
        searchArgs = other.searchArgs;
        pathArgs = other.pathArgs;
        anchor = other.anchor;
        fileType = other.fileType;
        fileCreator = other.fileCreator;
    }
    return *this;
}

CURL& CURL::operator=(const char* text) {
    CURL parsed(text);
    return *this = parsed;
}

void CURL::init(const char* text) {
    std::string_view whole = view(text);
    if (whole.empty()) {
        return;
    }
    std::string withoutAnchor(cutAtLast(whole, '#'));
    assign(url, withoutAnchor);
    parse(withoutAnchor.c_str());
    if (std::size_t hash = whole.rfind('#'); hash != npos) {
        assign(anchor, whole.substr(hash + 1));
    }
}

void CURL::parse(const char* text) {
    extract_protocol(text, protocol);
    extract_host(text, host);
    extract_path(text, path);
    parse_path(path, pathComponents);
    extract_filename(text, filename, suffix, rest);
    extract_pathArgs(text, pathArgs);
    extract_searchArgs(text, searchArgs);
    extract_anchor(text, anchor);
    fileType = 0;
    fileCreator = 0;
    if (suffix.length() > 0) {
        if (const auto* entry = gSuffixMap.lookup(suffix)) {
            fileType = entry->value.fileType;
            fileCreator = entry->value.fileCreator;
        }
    }
}

void CURL::extract_protocol(const char* u, ip_protocols& protocol) {
    protocol = ip_protocols::http;
    std::string_view s = view(u);
    std::size_t begin = s.find_first_not_of(':');
    if (begin == npos) {
        return;
    }
    std::string_view scheme = s.substr(begin, s.find(':', begin) - begin);
    if (scheme == "ftp") {
        protocol = ip_protocols::ftp;
    } else if (scheme == "https") {
        protocol = ip_protocols::https;
    }
}

void CURL::extract_host(const char* u, CString256& host) {
    std::string_view s = view(u);
    std::size_t scheme = s.find("://");
    if (scheme == npos) {
        host = "";
        return;
    }
    std::string_view after = s.substr(scheme + 3);
    assign(host, after.substr(0, after.find('/')));
}

void CURL::extract_path(const char* u, CString256& path) {
    std::string_view s = view(u);
    std::size_t scheme = s.find("://");
    std::size_t p = scheme == npos ? s.find('/') : s.find('/', scheme + 3);
    if (p == npos) {
        return;
    }
    std::string_view folders = s;
    if (std::size_t query = folders.rfind('?'); query != npos && query > p) {
        folders = folders.substr(0, query);
    }
    folders = cutAtLast(cutAtLast(folders, '#'), '$');
    std::size_t q = folders.rfind('/');
    if (q != npos && q > p + 1) {
        assign(path, folders.substr(p + 1, q - p - 1));
    }
}

void CURL::parse_path(const CString256& path, CList<CString256>& components) {
    std::string_view s = path.c_str();
    while (!s.empty()) {
        std::size_t slash = s.find('/');
        if (std::string_view piece = s.substr(0, slash); !piece.empty()) {
            CString256 component;
            assign(component, piece);
            components.append(component);
        }
        s = slash == npos ? std::string_view() : s.substr(slash + 1);
    }
}

void CURL::extract_filename(const char* u, CString256& filename, CString256& suffix,
                            CString256& rest) {
    std::string_view s = view(u);
    std::size_t anchorAt = s.rfind('#');
    std::string_view head = s.substr(0, std::min({s.rfind('?'), s.rfind('$'), anchorAt}));
    std::size_t last = head.rfind('/');
    // No slash, or only the "//" of a URL without a path: there is no file name.
    if (last == npos || last == head.find('/') + 1) {
        return;
    }
    std::string_view name = head.substr(last + 1);
    assign(filename, name);
    if (std::size_t dot = name.rfind('.'); dot != npos) {
        assign(suffix, name.substr(dot));
    }
    std::size_t restEnd = anchorAt == npos ? s.size() : anchorAt;
    assign(rest, s.substr(last + 1, restEnd - last - 1));
}

int CURL::extract_pathArgs(const char* u, CString256& pathArgs) {
    std::string_view s = view(u);
    if (s.find('$') == npos) {
        return 0;
    }
    assignArgs(s, '$', '?', '#', pathArgs);
    return 1;
}

int CURL::extract_searchArgs(const char* u, CString256& searchArgs) {
    std::string_view s = view(u);
    if (s.find('?') == npos) {
        return 0;
    }
    assignArgs(s, '?', '$', '#', searchArgs);
    return 1;
}

void CURL::extract_anchor(const char* u, CString256& anchor) {
    std::string_view s = view(u);
    if (s.find('#') != npos) {
        assignArgs(s, '#', '$', '?', anchor);
    }
}

}  // namespace kept
