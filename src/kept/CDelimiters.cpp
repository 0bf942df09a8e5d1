#include "kept/CDelimiters.h"

#include <cstring>

#include "kept/CText.h"

namespace kept {

using namespace base;

namespace {

const char kListName[] = "delimiterList";
const char kListEnd[] = "\xE2\x80\xA2\r";

}  // namespace

CDelimiters::CDelimiters() {
    add("HREF=\"", "\"");
    add("SRC=\"", "\"");
    add("HREF='", "'");
    add("SRC='", "'");
    add("SRC=", " ");
    add("background=\"", "\"");
    add("background='", "'");
    add("option value=\"", "\"", 0);
    add("option value='", "'", 0);
    add("HREF=", ">");
    add("SRC=", ">");
    add("background=", ">");
    add("HREF=", " ");
    add("SRC=", " ");
    add("background=", " ");
}

void CDelimiters::add(const char* opening, const char* closing, unsigned char active) {
    delimiters pair;
    pair.opening = opening;
    pair.closing = closing;
    pair.active = active;
    list.append(pair);
}

void CDelimiters::listItems(CList<CString256>& items) {
    for (list.cursor = list.head; list.cursor != nullptr; list.cursor = list.cursor->next) {
        CString256 item(list.cursor->value.opening);
        item += '\t';
        item += list.cursor->value.closing;
        items.append(item);
    }
}

void CDelimiters::operator>>(CText& out) {
    CList<CString256> items;
    listItems(items);
    out.append_named_list(kListName, items);
}

void CDelimiters::Print(CText& out) {
    CList<CString256> items;
    listItems(items);
    out.pretty_append_named_list(kListName, items);
}

void CDelimiters::operator<<(CText& in) {
    list.clear();
    CList<CString256> items;
    in.extract_list("delimiterList ", kListEnd, items);
    for (items.cursor = items.head; items.cursor != nullptr; items.cursor = items.cursor->next) {
        const char* item = items.cursor->value.c_str();
        const char* tab = std::strchr(item, '\t');
        CString256 opening(item);
        if (tab != nullptr) {
            opening[static_cast<int>(tab - item)] = '\0';
        }
        add(opening.c_str(), tab != nullptr ? tab + 1 : "");
    }
}

}  // namespace kept
