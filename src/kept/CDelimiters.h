#pragma once

#include "base/CList.h"
#include "base/CString256.h"

namespace kept {

using base::CList;
using base::CString256;

class CText;

// One attribute form that link harvesting cuts out of a page: the text between an opening
// and a closing pattern. Inactive pairs are skipped.
struct delimiters {
    CString256 opening;
    CString256 closing;
    unsigned char active = 1;
};

// The table of attribute forms, in the order they are tried. Quoted forms come first, so
// that each attribute is taken whole before the looser forms ended by ">" or a space see it.
class CDelimiters {
public:
    CList<delimiters> list;

    CDelimiters();
    CDelimiters(const CDelimiters&) = delete;
    CDelimiters& operator=(const CDelimiters&) = delete;

    // Appends the table as the named list "delimiterList", each item being the opening, a tab
    // and the closing pattern. Whether a pair is active is not written.
    void operator>>(CText& out);
    // The same items in the tabbed layout.
    void Print(CText& out);
    // Replaces the table by the one written into in (and removes that line from in). Every
    // pair read back is active.
    void operator<<(CText& in);

private:
    void add(const char* opening, const char* closing, unsigned char active = 1);
    void listItems(CList<CString256>& items);
};

}  // namespace kept
