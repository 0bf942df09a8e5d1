#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each case of a parameterized test after its table entry's name.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};
