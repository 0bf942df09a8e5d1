#pragma once

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>

namespace testing_support {

// Sets (or, given nullptr, unsets) one environment variable for a scope and
// puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
        if (const char* old = ::getenv(name_.c_str())) {
            old_ = old;
        }
        value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str());
    }
    ~ScopedEnv() { old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace testing_support
