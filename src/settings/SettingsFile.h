#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/UniqueFd.h"

#include "settings/Preferences.h"

namespace settings {

// Where a domain's values live: "<folder>/OrbalenStatus/<domain>.json", with
// the folder being $XDG_CONFIG_HOME for the user's store and the first
// $XDG_CONFIG_DIRS entry for the all-users store. Nothing for a domain name
// that could leave that folder (empty, leading ".", "/" or NUL inside).
std::optional<std::filesystem::path> UserSettingsFile(std::string_view domain);
std::optional<std::filesystem::path> SystemSettingsFile(std::string_view domain);

// What tells one version of the file from another: an atomic replace gives a
// new inode, an edit in place a new size or modification time.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity& other) const;
};
FileIdentity IdentityOf(const std::filesystem::path& file);

// The file's contents as a JSON object; entries of types the store does not
// know are kept so that a rewrite loses nothing.
struct FileContents {
    nlohmann::json object = nlohmann::json::object();
    FileIdentity identity;
    // What reading left out or changed, in words for the system log.
    std::vector<std::string> notes;
    // Where a file that held no settings was moved, in words for the user.
    std::string setAsideNotice;
};

// A settings file guarded by an advisory lock on "<file>.lock" beside it.
// Every method other than the constructor expects the lock to be held.
class LockedSettingsFile {
public:
    // Takes the lock, making the folder (0700) when create is set. Without
    // create, a missing folder leaves the object unlocked: see locked().
    LockedSettingsFile(std::filesystem::path file, bool create);
    ~LockedSettingsFile();
    LockedSettingsFile(const LockedSettingsFile&) = delete;
    LockedSettingsFile& operator=(const LockedSettingsFile&) = delete;

    bool locked() const { return static_cast<bool>(lock_); }

    // Reads the file. One that is not JSON at all is renamed aside under a
    // name no other file has (so the user can find it), reads as empty, and
    // comes with a notice for the user saying where it went. One that cannot be read (not a regular
    // file, too large, an I/O error) gives nothing and is left alone.
    std::optional<FileContents> read();

    // Replaces the file atomically with a 0600 file holding text; returns the
    // new file's identity, or nothing when it could not be written.
    std::optional<FileIdentity> write(const std::string& text);

    // Why the last step failed, as a sentence part naming the file.
    const std::string& problem() const { return problem_; }

private:
    FileContents setAside(const struct stat& info);
    std::nullopt_t fail(std::string problem);

    std::filesystem::path file_;
    base::UniqueFd lock_;
    std::string problem_;
};

// Renames file to "<file>.unreadable-YYYYMMDD-HHMMSS", adding "-2", "-3"...
// when that name is taken, so an earlier copy is never replaced. The new
// name, or nothing (errno set) when it could not be renamed.
std::optional<std::filesystem::path> MoveAside(const std::filesystem::path& file);

// The store's typed view of a file object: entries of other types are left out.
std::map<std::string, Value, std::less<>> ValuesOf(const nlohmann::json& object);
nlohmann::json JsonOf(const Value& value);

}  // namespace settings
