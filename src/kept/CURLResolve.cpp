#include <cstring>

#include "kept/CText.h"
#include "kept/CURL.h"

namespace kept {

using namespace base;

unsigned char CText::href_is_relative(const CString256& href) {
    return std::strstr(href.c_str(), "://") == nullptr ? 1 : 0;
}

// Every absolute URL made here says "http:", whatever the page's own scheme.
void CText::partial_href_to_full_url(const CString256& base, const CString256& href,
                                     CString256& out) {
    CString256 h;
    if (href.beginsWith_nocase("./")) {
        h = href.c_str() + 2;
    } else if (href.beginsWith("//")) {
        h = "http:";
        h += href;
    } else {
        h = href;
    }
    if (!href_is_relative(h)) {
        out = h;
        return;
    }
    CURL page(base.c_str());
    out = "http://";
    out += page.host;
    if (h[0] == '/') {
        out += h;
        return;
    }
    if (h.beginsWith("../")) {
        // Only the leading "../" climb; one further inside the link is left for the server,
        // which resolves it against what comes before it.
        const char* tail = h.c_str();
        int32_t up = 0;
        while (std::strncmp(tail, "../", 3) == 0) {
            tail += 3;
            ++up;
        }
        out += "/";
        int32_t keep = up <= page.pathComponents.count ? page.pathComponents.count - up : 0;
        for (elem<CString256>* e = page.pathComponents.head; e != nullptr && keep > 0;
             e = e->next, --keep) {
            out += e->value;
            out += "/";
        }
        out += tail;
        return;
    }
    if (page.path.length() > 0) {
        out += "/";
        out += page.path;
    }
    out += "/";
    out += h;
}

}  // namespace kept
