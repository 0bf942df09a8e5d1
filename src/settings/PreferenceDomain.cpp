#include "settings/PreferenceDomain.h"

#include <memory>

namespace settings {

namespace fs = std::filesystem;

PreferenceDomain::PreferenceDomain(fs::path file) : file_(std::move(file)) {}

std::optional<Value> PreferenceDomain::copy(std::string_view key) {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    if (auto it = pending_.find(key); it != pending_.end()) {
        return it->second;
    }
    if (auto it = values_.find(key); it != values_.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::map<std::string, Value, std::less<>> PreferenceDomain::copyAll() {
    std::lock_guard lock(mutex_);
    loadIfNeeded();
    auto all = values_;
    for (const auto& [key, value] : pending_) {
        if (value) {
            all.insert_or_assign(key, *value);
        } else {
            all.erase(key);
        }
    }
    return all;
}

void PreferenceDomain::set(std::string_view key, std::optional<Value> value) {
    std::lock_guard lock(mutex_);
    pending_.insert_or_assign(std::string(key), std::move(value));
}

bool PreferenceDomain::synchronize() {
    std::lock_guard lock(mutex_);
    return synchronizeLocked();
}

void PreferenceDomain::loadIfNeeded() {
    if (!loaded_) {
        refresh();
    }
}

void PreferenceDomain::discardPending() {
    std::lock_guard lock(mutex_);
    pending_.clear();
}

bool PreferenceDomain::synchronizeLocked() {
    return pending_.empty() ? refresh() : writePending();
}

bool PreferenceDomain::refresh() {
    const FileIdentity current = IdentityOf(file_);
    if (loaded_ && current == identity_) {
        return true;
    }
    if (!current.exists) {
        adopt({});
        return true;
    }
    return reload();
}

bool PreferenceDomain::reload() {
    LockedSettingsFile file(file_, /*create=*/false);
    if (!file.locked()) {
        // A folder we may not write (the all-users store): reading without
        // the lock is still safe, since writers replace the file atomically.
        if (auto contents = file.read()) {
            adopt(std::move(*contents));
            return true;
        }
        return false;
    }
    auto contents = file.read();
    if (!contents) {
        return false;
    }
    adopt(std::move(*contents));
    return true;
}

bool PreferenceDomain::writePending() {
    LockedSettingsFile file(file_, /*create=*/true);
    if (!file.locked()) {
        return false;
    }
    auto contents = file.read();
    if (!contents) {
        return false;  // unreadable: writing would lose what it holds
    }
    for (const auto& [key, value] : pending_) {
        if (value) {
            contents->object[key] = JsonOf(*value);
        } else {
            contents->object.erase(key);
        }
    }
    const auto written = file.write(contents->object);
    if (!written) {
        return false;  // the changes stay pending for the next try
    }
    contents->identity = *written;
    adopt(std::move(*contents));
    pending_.clear();
    return true;
}

void PreferenceDomain::adopt(FileContents contents) {
    values_ = ValuesOf(contents.object);
    identity_ = contents.identity;
    loaded_ = true;
}

namespace {

PreferenceDomain* DomainFor(const std::optional<fs::path>& file) {
    if (!file) {
        return nullptr;
    }
    static std::mutex mutex;
    static std::map<fs::path, std::unique_ptr<PreferenceDomain>> domains;
    std::lock_guard lock(mutex);
    auto& domain = domains[*file];
    if (!domain) {
        domain = std::make_unique<PreferenceDomain>(*file);
    }
    return domain.get();
}

}  // namespace

PreferenceDomain* UserDomain(std::string_view domain) {
    return DomainFor(UserSettingsFile(domain));
}

PreferenceDomain* SystemDomain(std::string_view domain) {
    return DomainFor(SystemSettingsFile(domain));
}

}  // namespace settings
