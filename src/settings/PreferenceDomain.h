#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "settings/Preferences.h"
#include "settings/SettingsFile.h"

namespace settings {

// The in-memory copy of one settings file, with the changes not yet written.
// Thread-safe. The file is read on first use and then only when synchronize()
// finds it changed, so an unchanged file costs one stat().
class PreferenceDomain {
public:
    explicit PreferenceDomain(std::filesystem::path file);

    std::optional<Value> copy(std::string_view key);
    std::map<std::string, Value, std::less<>> copyAll();
    void set(std::string_view key, std::optional<Value> value);
    // Writes pending changes (merged under the file lock with what other
    // processes wrote) and picks up other processes' changes. False when
    // something could not be read or stored: see lastProblem(). A change the
    // file cannot hold (text that is not UTF-8, or settings grown past the
    // file's limit) is dropped; one that failed for another reason (a full
    // disk) stays pending for the next try.
    bool synchronize();
    // Why the last synchronize() failed; empty after one that succeeded.
    std::string lastProblem();
    // Forgets changes that could not be written.
    void discardPending();

    const std::filesystem::path& file() const { return file_; }

private:
    void loadIfNeeded();
    bool synchronizeLocked();
    bool refresh();
    bool reload();
    bool writePending();
    void adopt(FileContents contents);
    void reportNotes(const FileContents& contents);
    void tellUser();
    std::map<std::string, std::optional<Value>, std::less<>> storablePending(
        std::string& refused) const;
    bool fail(std::string problem);

    const std::filesystem::path file_;
    std::mutex mutex_;
    bool loaded_ = false;
    FileIdentity identity_;
    std::map<std::string, Value, std::less<>> values_;                  // as last read or written
    std::map<std::string, std::optional<Value>, std::less<>> pending_;  // nullopt: delete
    std::string problem_;
    std::string loggedProblem_;         // each problem reaches the system log once in a row
    FileIdentity notedIdentity_;        // the version whose reading notes were logged
    std::vector<std::string> notices_;  // for the user, once no lock is held
};

// The process-wide copy of a domain's user store and of its all-users store;
// nothing for a domain name that cannot name a file. The file location
// follows the XDG variables at the time of the call.
PreferenceDomain* UserDomain(std::string_view domain);
PreferenceDomain* SystemDomain(std::string_view domain);

}  // namespace settings
