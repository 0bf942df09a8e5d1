#pragma once

#include <cstdint>

#include "base/CList.h"
#include "base/CString256.h"

namespace kept {

using base::CList;
using base::CString256;

enum class ip_protocols { unset = 0, http = 1, ftp = 2, https = 3 };

// A URL taken apart by plain scanning for "://", "/", "?", "$" and "#". Nothing is decoded
// or validated, and every part keeps at most 255 bytes.
//
// For "http://host/docs/guide/intro.html?x=1#top": host "host", path "docs/guide",
// pathComponents "docs", "guide", filename "intro.html", suffix ".html", rest
// "intro.html?x=1", searchArgs "x=1", anchor "top".
class CURL {
public:
    CString256 url;  // the text it was made from, without its anchor
    ip_protocols protocol = ip_protocols::unset;
    CString256 host;
    CString256 path;  // the folders, without leading and trailing "/"
    CList<CString256> pathComponents;
    CString256 rest;  // the file name with its "$" and "?" arguments
    CString256 filename;
    CString256 suffix;  // the file name's last "." and what follows
    CString256 searchArgs;
    CString256 pathArgs;
    CString256 anchor;
    uint32_t fileType = 0;  // from the file-mapping table, when it knows the suffix
    uint32_t fileCreator = 0;

    CURL() = default;
    explicit CURL(const char* text) { init(text); }
    CURL(const CURL& other) { *this = other; }
    CURL& operator=(const CURL& other);
    CURL& operator=(const char* text);

    // Takes the text apart. The anchor is what follows the text's last "#"; the other parts
    // are taken from the text without it.
    void init(const char* text);
    void parse(const char* text);

    // The extractors leave their output untouched when there is nothing to extract.
    static void extract_protocol(const char* u, ip_protocols& protocol);
    static void extract_host(const char* u, CString256& host);
    static void extract_path(const char* u, CString256& path);
    static void parse_path(const CString256& path, CList<CString256>& components);
    static void extract_filename(const char* u, CString256& filename, CString256& suffix,
                                 CString256& rest);
    static int extract_pathArgs(const char* u, CString256& pathArgs);
    static int extract_searchArgs(const char* u, CString256& searchArgs);
    static void extract_anchor(const char* u, CString256& anchor);
};

}  // namespace kept
