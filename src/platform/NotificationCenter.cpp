#include "platform/NotificationCenter.h"

#include <algorithm>

namespace platform {

struct ObserverList::Entry {
    NotificationCenter::ObserverId id;
    std::string name;
    std::string object;
    NotificationCenter::Observer observer;
    bool removed = false;

    bool matches(std::string_view postedName, std::string_view postedObject) const {
        return (name.empty() || name == postedName) && (object.empty() || object == postedObject);
    }
};

NotificationCenter::ObserverId ObserverList::add(std::string name, std::string object,
                                                 NotificationCenter::Observer observer) {
    const auto id = nextId_++;
    entries_.push_back(std::make_shared<Entry>(
        Entry{id, std::move(name), std::move(object), std::move(observer)}));
    return id;
}

void ObserverList::remove(NotificationCenter::ObserverId id) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [id](const auto& entry) { return entry->id == id; });
    if (it != entries_.end()) {
        (*it)->removed = true;  // a delivery in progress may still hold it
        entries_.erase(it);
    }
}

void ObserverList::deliver(std::string_view name, std::string_view object) {
    // A snapshot, so observers may add or remove observers while they run.
    const auto snapshot = entries_;
    const std::string postedName(name);
    const std::string postedObject(object);
    for (const auto& entry : snapshot) {
        if (!entry->removed && entry->matches(postedName, postedObject)) {
            entry->observer(postedName, postedObject);
        }
    }
}

NotificationCenter::ObserverId LocalNotificationCenter::addObserver(std::string name,
                                                                    std::string object,
                                                                    Observer observer) {
    return observers_.add(std::move(name), std::move(object), std::move(observer));
}

void LocalNotificationCenter::removeObserver(ObserverId id) {
    observers_.remove(id);
}

void LocalNotificationCenter::post(std::string_view name, std::string_view object) {
    observers_.deliver(name, object);
}

}  // namespace platform
