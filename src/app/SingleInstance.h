#pragma once

#include <QDBusConnection>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

#include "foundation/UniqueFd.h"

namespace app {

inline constexpr const char* kBusName = "com.kestrune.OrbalenStatus";

// One running instance per user: a lock on a file in the user's runtime
// folder (or, without one, in our own data folder), and the session-bus name
// when there is a bus that answers. The claim lasts as long as this object
// (and the bus connection), or until release().
//
// Hand-over: an instance that wants the claim (one with a panel item) holds
// a second lock, the "next" lock, while it asks the running one to step
// aside and waits for the claim. An instance waiting its turn (waitForTurn)
// passes the next lock before it queues on the claim, so the one that asked
// always comes first, and the waiting one runs again once it has ended.
class SingleInstance {
public:
    enum class Result { Claimed, AlreadyRunning, Unclaimed };

    SingleInstance() = default;
    ~SingleInstance() { release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // AlreadyRunning when either the lock or the name is taken. Unclaimed:
    // neither could be had; the program then runs anyway rather than not at
    // all.
    Result claim(QDBusConnection bus, std::chrono::milliseconds busTimeout);

    // claim(), tried again while another instance holds the claim, until
    // `patience` has passed (for an instance that is letting go).
    Result claimWithin(QDBusConnection bus, std::chrono::milliseconds busTimeout,
                       std::chrono::milliseconds patience);

    // Blocks until no other instance holds the lock and none is taking over,
    // then holds the lock (claim() adds the bus name). waiting runs first
    // when that means waiting. False when there is no lock folder.
    bool waitForTurn(const std::function<void()>& waiting);

    // When claim() found another instance: holds the next lock, calls ask
    // (true: the other instance agreed to end) and tries claim() again until
    // it succeeds or `patience` has passed. AlreadyRunning when the other
    // instance refused, did not end in time, or another one is taking over.
    Result takeOver(QDBusConnection bus, std::chrono::milliseconds busTimeout,
                    std::chrono::milliseconds patience, const std::function<bool()>& ask);

    // Gives the claim up now: the bus name first, so whoever takes the lock
    // next finds the name free as well.
    void release();

    bool viaBus() const { return viaBus_; }

private:
    Result claimBusName(QDBusConnection& bus, std::chrono::milliseconds timeout);
    Result lockFile(const std::filesystem::path& path);

    foundation::UniqueFd lock_;
    std::optional<QDBusConnection> namedOn_;  // the bus whose name we own
    bool viaBus_ = false;
};

}  // namespace app
