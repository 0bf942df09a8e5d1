#pragma once

#include <cstdint>

#include "base/CString256.h"
#include "kept/CMap.h"

namespace kept {

using base::CString256;

// One file-mapping record: how a file name extension or four-character file type maps to
// a kind of document. Text fields are Pascal strings (length byte, then the bytes).
// A default-constructed entry is all zeros.
struct ICMapEntry {
    int16_t totalLength = 0;
    uint16_t fixedLength = 0;
    int16_t version = 0;
    uint32_t fileType = 0;
    uint32_t fileCreator = 0;
    uint32_t postCreator = 0;
    int32_t flags = 0;
    unsigned char extension[256] = {};
    unsigned char creatorAppName[256] = {};
    unsigned char postAppName[256] = {};
    unsigned char MIMEType[256] = {};
    unsigned char entryName[256] = {};
};

// The process-wide file-mapping tables, by file name extension and by file type. They live
// from before main() until exit and start empty.
extern CMap<CString256, ICMapEntry> gSuffixMap;
extern CMap<unsigned long, ICMapEntry> gTypeMap;

}  // namespace kept
