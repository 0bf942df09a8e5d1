// URL parsing and link resolution on arbitrary text: base, NUL, link.
#include "FuzzInput.h"
#include "kept/CText.h"
#include "kept/CURL.h"

using base::CString256;
using kept::CText;
using kept::CURL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::string base = input.next();
    std::string href = input.rest();

    CURL url(base.c_str());
    for (const CString256* part : {&url.url, &url.host, &url.path, &url.rest, &url.filename,
                                   &url.suffix, &url.searchArgs, &url.pathArgs, &url.anchor}) {
        CheckCapacity(*part);
    }
    CURL copy;
    copy = url;
    copy = href.c_str();

    CString256 full;
    CText::partial_href_to_full_url(base.c_str(), href.c_str(), full);
    CheckCapacity(full);
    return 0;
}
