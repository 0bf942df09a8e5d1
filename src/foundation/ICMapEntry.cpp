#include "foundation/ICMapEntry.h"

namespace foundation {

CMap<CString256, ICMapEntry> gSuffixMap;
CMap<unsigned long, ICMapEntry> gTypeMap;

}  // namespace foundation
