#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// Names each case of a parameterized test after its table entry's name.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

// Lets ctest's test list show a case by its name instead of its bytes; use it
// next to each case struct.
#define PRINT_CASE_BY_NAME(Case)                                      \
    [[maybe_unused]] void PrintTo(const Case& c, std::ostream* out) { \
        *out << c.name;                                               \
    }
