// Link harvesting on an arbitrary page, with the default table and with a table read back
// from the page itself.
#include "FuzzInput.h"
#include "kept/CDelimiters.h"
#include "kept/CText.h"

using base::CList;
using base::CString256;
using kept::CDelimiters;
using kept::CMap;
using kept::CText;

namespace {

void CheckMap(CMap<CString256, CString256>& map) {
    for (auto* e = map.links.head; e != nullptr; e = e->next) {
        CheckCapacity(e->value->key);
        CheckCapacity(e->value->value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::string base = input.next();
    std::string page = input.rest();

    CText text;
    text.append(page.data(), static_cast<long>(page.size()));
    CList<CString256> found;
    text.classic_extract_hrefs(found);
    CMap<CString256, CString256> links;
    CMap<CString256, CString256> mail;
    text.collect_all_urls(found, &mail);
    text.extract_hrefs(base.c_str(), links);
    for (auto* e = found.head; e != nullptr; e = e->next) {
        CheckCapacity(e->value);
    }
    CheckMap(links);
    CheckMap(mail);

    CDelimiters table;
    CText stored(text);
    table << stored;
    CList<CString256> again;
    text.classic_extract_hrefs(again, table);
    CText written("");
    table >> written;
    table.Print(written);
    return 0;
}
