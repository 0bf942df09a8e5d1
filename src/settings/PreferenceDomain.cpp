#include "settings/PreferenceDomain.h"

#include <memory>

#include "base/Utf8.h"
#include "platform/Alert.h"
#include "platform/SystemLog.h"
#include "settings/SettingsText.h"

namespace settings {

namespace fs = std::filesystem;

PreferenceDomain::PreferenceDomain(fs::path file) : file_(std::move(file)) {}

std::optional<Value> PreferenceDomain::copy(std::string_view key) {
    auto value = [&]() -> std::optional<Value> {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        if (auto it = pending_.find(key); it != pending_.end()) {
            return it->second;
        }
        if (auto it = values_.find(key); it != values_.end()) {
            return it->second;
        }
        return std::nullopt;
    }();
    tellUser();
    return value;
}

std::map<std::string, Value, std::less<>> PreferenceDomain::copyAll() {
    auto all = [&] {
        std::lock_guard lock(mutex_);
        loadIfNeeded();
        auto merged = values_;
        for (const auto& [key, value] : pending_) {
            if (value) {
                merged.insert_or_assign(key, *value);
            } else {
                merged.erase(key);
            }
        }
        return merged;
    }();
    tellUser();
    return all;
}

void PreferenceDomain::set(std::string_view key, std::optional<Value> value) {
    std::lock_guard lock(mutex_);
    pending_.insert_or_assign(std::string(key), std::move(value));
}

bool PreferenceDomain::synchronize() {
    const bool synchronized = [&] {
        std::lock_guard lock(mutex_);
        problem_.clear();
        return synchronizeLocked();
    }();
    tellUser();
    return synchronized;
}

// With no lock held: an alert may run the event loop, and what runs there may
// read the settings again, on this thread or another.
void PreferenceDomain::tellUser() {
    std::vector<std::string> notices;
    {
        std::lock_guard lock(mutex_);
        notices.swap(notices_);
    }
    for (const auto& notice : notices) {
        platform::CurrentAlert().showStopAlert("Your settings could not be read.", notice);
    }
}

std::string PreferenceDomain::lastProblem() {
    std::lock_guard lock(mutex_);
    return problem_;
}

bool PreferenceDomain::fail(std::string problem) {
    if (problem != loggedProblem_) {
        platform::WriteToSystemLog("Settings: " + problem);
        loggedProblem_ = problem;
    }
    problem_ = std::move(problem);
    return false;
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
    // Without the lock (a folder we may not write, such as the all-users
    // store) reading is still safe, since writers replace the file atomically.
    auto contents = file.read();
    if (!contents) {
        return fail(file.problem());
    }
    reportNotes(*contents);
    adopt(std::move(*contents));
    return true;
}

bool PreferenceDomain::writePending() {
    LockedSettingsFile file(file_, /*create=*/true);
    if (!file.locked()) {
        return fail(file.problem());
    }
    auto contents = file.read();
    if (!contents) {
        return fail(file.problem());  // unreadable: writing would lose what it holds
    }
    reportNotes(*contents);
    std::string refused;
    const auto changes = storablePending(refused);
    nlohmann::json merged = contents->object;
    for (const auto& [key, value] : changes) {
        if (value) {
            merged[key] = JsonOf(*value);
        } else {
            merged.erase(key);
        }
    }
    std::string problem;
    const auto text = SettingsTextOf(merged, problem);
    if (!text) {
        pending_.clear();  // it will never fit: keep what the file holds
        adopt(std::move(*contents));
        return fail("changes to " + file_.string() + " not saved: " + problem);
    }
    const auto written = file.write(*text);
    if (!written) {
        return fail(file.problem());  // the changes stay pending for the next try
    }
    contents->object = std::move(merged);
    contents->identity = *written;
    adopt(std::move(*contents));
    pending_.clear();
    if (!refused.empty()) {
        return fail("not saved in " + file_.string() + ":" + refused +
                    " (its key or text is not UTF-8)");
    }
    return true;
}

// The pending changes the file can hold: JSON text is UTF-8, so a key or
// string that is not is refused rather than changed into something else.
// refused lists the keys left out, each after a blank.
std::map<std::string, std::optional<Value>, std::less<>> PreferenceDomain::storablePending(
    std::string& refused) const {
    std::map<std::string, std::optional<Value>, std::less<>> storable;
    for (const auto& [key, value] : pending_) {
        const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
        if (base::IsValidUtf8(key) && (!text || base::IsValidUtf8(*text))) {
            storable.emplace(key, value);
        } else {
            refused += " \"" + base::DecodeLegacyText(key) + "\"";
        }
    }
    return storable;
}

// Each version of the file reports what reading it changed once, however
// often it is read.
void PreferenceDomain::reportNotes(const FileContents& contents) {
    if (!contents.setAsideNotice.empty()) {
        notices_.push_back(contents.setAsideNotice);
    }
    if (contents.notes.empty() || contents.identity == notedIdentity_) {
        return;
    }
    for (const auto& note : contents.notes) {
        platform::WriteToSystemLog("Settings file " + file_.string() + ": " + note);
    }
    notedIdentity_ = contents.identity;
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
