#include "foundation/ICMapEntry.h"

CMap<CString256, ICMapEntry> gSuffixMap;
CMap<unsigned long, ICMapEntry> gTypeMap;
