#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The distributed notification centre: (name, object) pairs that any process
// of the user's session may post and observe. Observers run on the poster's
// thread for local posts and on the main loop for posts from elsewhere, each
// notification reaching each matching observer exactly once.
class NotificationCenter {
public:
    using Observer = std::function<void(const std::string& name, const std::string& object)>;
    using ObserverId = std::uint64_t;  // never 0

    virtual ~NotificationCenter() = default;

    // An empty name or object matches any.
    virtual ObserverId addObserver(std::string name, std::string object, Observer observer) = 0;
    // Unknown ids are ignored; an observer may remove itself while it runs.
    virtual void removeObserver(ObserverId id) = 0;
    virtual void post(std::string_view name, std::string_view object) = 0;
};

// The observers of one centre and the delivery rule they share.
class ObserverList {
public:
    NotificationCenter::ObserverId add(std::string name, std::string object,
                                       NotificationCenter::Observer observer);
    void remove(NotificationCenter::ObserverId id);
    // Calls every observer matching (name, object) that is still registered
    // when its turn comes.
    void deliver(std::string_view name, std::string_view object);

private:
    struct Entry;
    std::vector<std::shared_ptr<Entry>> entries_;
    NotificationCenter::ObserverId nextId_ = 1;
};

// Delivery within this process only: what runs when no session bus is there,
// and what tests of the observers use.
class LocalNotificationCenter : public NotificationCenter {
public:
    ObserverId addObserver(std::string name, std::string object, Observer observer) override;
    void removeObserver(ObserverId id) override;
    void post(std::string_view name, std::string_view object) override;

private:
    ObserverList observers_;
};

}  // namespace platform
