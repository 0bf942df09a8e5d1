#pragma once

#include <QDBusConnection>
#include <chrono>
#include <filesystem>
#include <optional>

#include "base/UniqueFd.h"

namespace app {

inline constexpr const char* kBusName = "com.kestrune.OrbalenStatus";

// One running instance per user: a lock on a file in the user's runtime
// folder (or, without one, in our own data folder), and the session-bus name
// when there is a bus that answers. The claim lasts as long as this object
// (and the bus connection).
class SingleInstance {
public:
    enum class Result { Claimed, AlreadyRunning, Unclaimed };

    SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // AlreadyRunning when either the lock or the name is taken. Unclaimed:
    // neither could be had; the program then runs anyway rather than not at
    // all.
    Result claim(QDBusConnection bus, std::chrono::milliseconds busTimeout);

    bool viaBus() const { return viaBus_; }

private:
    Result claimBusName(QDBusConnection& bus, std::chrono::milliseconds timeout);
    Result lockFile(const std::filesystem::path& path);

    base::UniqueFd lock_;
    bool viaBus_ = false;
};

}  // namespace app
