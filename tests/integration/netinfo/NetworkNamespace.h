#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A network namespace of the test's own, deleted again by the destructor.
class NetworkNamespace {
public:
    NetworkNamespace();  // check created()
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool created() const { return created_; }
    const std::string& name() const { return name_; }

    // Runs `ip -n NAME args...`; true when it succeeded.
    bool ip(const std::vector<std::string>& args) const;
    // Runs the commands of an `ip -batch` file, one per line.
    bool ipBatch(const std::vector<std::string>& commands) const;

    // Runs body on a thread that has entered the namespace, and waits for it.
    void runInside(const std::function<void()>& body) const;

private:
    std::string name_;
    bool created_ = false;
};

}  // namespace testing_support
