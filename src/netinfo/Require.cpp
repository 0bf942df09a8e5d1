#include "netinfo/Require.h"

#include <cstdio>
#include <cstdlib>

namespace netinfo::detail {

void RequirementFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

}  // namespace netinfo::detail
