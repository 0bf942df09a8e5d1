#include "kept/ICMapEntry.h"

namespace kept {

CMap<CString256, ICMapEntry> gSuffixMap;
CMap<unsigned long, ICMapEntry> gTypeMap;

}  // namespace kept
