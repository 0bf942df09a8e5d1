#pragma once

// Preconditions of the address routines stop the program even in release
// builds: a caller that breaks them has a bug that must not go unnoticed.
// The message names the failed condition in the caller's own words.

namespace netinfo::detail {

[[noreturn]] void RequirementFailed(const char* condition, const char* file, int line);

}  // namespace netinfo::detail

#define NETINFO_REQUIRE(cond, text)                                         \
    do {                                                                    \
        if (!(cond)) {                                                      \
            ::netinfo::detail::RequirementFailed(text, __FILE__, __LINE__); \
        }                                                                   \
    } while (false)
