#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/UniqueFd.h"
#include "platform/Folders.h"
#include "platform/SystemLog.h"
#include "settings/SettingsText.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

constexpr char kFolderName[] = "OrbalenStatus";

bool IsSafeDomainName(std::string_view domain) {
    return !domain.empty() && domain.front() != '.' &&
           domain.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::optional<fs::path> FileIn(const fs::path& base, std::string_view domain) {
    if (!IsSafeDomainName(domain)) {
        return std::nullopt;
    }
    return base / kFolderName / (std::string(domain) + ".json");
}

FileIdentity IdentityOfStat(const struct stat& info) {
    return FileIdentity{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

std::string TimestampForName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

std::optional<fs::path> UserSettingsFile(std::string_view domain) {
    return FileIn(platform::UserConfigFolder(), domain);
}

std::optional<fs::path> SystemSettingsFile(std::string_view domain) {
    return FileIn(platform::SystemConfigFolder(), domain);
}

bool FileIdentity::operator==(const FileIdentity& other) const {
    if (!exists || !other.exists) {
        return exists == other.exists;
    }
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

FileIdentity IdentityOf(const fs::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        return {};
    }
    return IdentityOfStat(info);
}

LockedSettingsFile::LockedSettingsFile(fs::path file, bool create) : file_(std::move(file)) {
    const fs::path folder = file_.parent_path();
    if (create) {
        std::error_code ignored;
        fs::create_directories(folder.parent_path(), ignored);
        mkdir(folder.c_str(), 0700);
    }
    const fs::path lockPath = file_.string() + ".lock";
    base::UniqueFd lock(
        open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    int result = lock ? flock(lock.get(), LOCK_EX) : -1;
    while (result != 0 && errno == EINTR) {
        result = flock(lock.get(), LOCK_EX);
    }
    if (result != 0) {
        fail("could not lock " + lockPath.string() + ": " + std::strerror(errno));
        return;
    }
    lock_ = std::move(lock);  // held until the object goes
}

LockedSettingsFile::~LockedSettingsFile() = default;

std::nullopt_t LockedSettingsFile::fail(std::string problem) {
    problem_ = std::move(problem);
    return std::nullopt;
}

std::optional<FileContents> LockedSettingsFile::read() {
    // O_NONBLOCK: a FIFO planted here must not hang the reader.
    const base::UniqueFd fd(open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        if (errno == ENOENT) {
            return FileContents{};
        }
        return fail("could not open " + file_.string() + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0) {
        return fail("could not read " + file_.string() + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(file_.string() + " is not a regular file");
    }
    int error = 0;
    const auto text = base::ReadAll(fd.get(), kMaxSettingsFileSize, &error);
    if (!text && error == EFBIG) {
        return fail(file_.string() + " is too large to read (more than " +
                    std::to_string(kMaxSettingsFileSize) + " bytes)");
    }
    if (!text) {
        return fail("could not read " + file_.string() + ": " + std::strerror(error));
    }
    auto parsed = ParseSettingsText(*text);
    if (!parsed) {
        return setAside(info);
    }
    return FileContents{
        std::move(parsed->object), IdentityOfStat(info), std::move(parsed->notes), {}};
}

FileContents LockedSettingsFile::setAside(const struct stat& info) {
    const std::string problem = "The settings file " + file_.string() + " holds no settings";
    if (const auto aside = MoveAside(file_)) {
        const std::string where =
            "It was kept as " + aside->string() + " and the program started with empty settings.";
        platform::WriteToSystemLog(problem + ". " + where);
        FileContents empty;
        empty.setAsideNotice = problem + ". " + where;
        return empty;
    }
    // Left in place (a folder we may not write): remember this version so that
    // it is neither read nor reported again until it changes.
    platform::WriteToSystemLog(problem + " and could not be moved aside (" + std::strerror(errno) +
                               "); using empty settings");
    return FileContents{nlohmann::json::object(), IdentityOfStat(info), {}, {}};
}

namespace {

// A writer's temporary: "<file>." and six letters or digits, as mkostemp
// names it. Nothing else in the folder has such a name.
bool IsTemporaryOf(const fs::path& file, const std::string& name) {
    const std::string prefix = file.filename().string() + ".";
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

// Called with the lock held: no writer is busy, so every temporary there is
// left from one that was killed, and may hold the password. Only our own
// regular files go.
void RemoveStaleTemporaries(const fs::path& file) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(file.parent_path(), error)) {
        struct stat info {};
        const std::string name = entry.path().filename().string();
        if (IsTemporaryOf(file, name) && lstat(entry.path().c_str(), &info) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == geteuid()) {
            unlink(entry.path().c_str());
        }
    }
}

// Writes text to fd and makes it durable: after a crash the file is either
// the old or the new one, never an empty one. 0 or an errno value.
int FillAndSync(int fd, const std::string& text, struct stat& info) {
    int error = fchmod(fd, 0600) == 0 ? base::WriteAll(fd, text) : errno;
    if (error == 0 && (fsync(fd) != 0 || fstat(fd, &info) != 0)) {
        error = errno;
    }
    return error;
}

// Writes text into a file that has no name until it is complete (O_TMPFILE),
// so a writer killed meanwhile leaves nothing behind; then names it temp.
// ENOTSUP where the file system cannot do this.
int WriteUnnamed(const fs::path& file, const std::string& text, std::string& temp,
                 struct stat& info) {
    base::UniqueFd fd(open(file.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!fd) {
        return ENOTSUP;
    }
    if (const int error = FillAndSync(fd.get(), text, info)) {
        return error;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = file.string() + ".";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[random() % (sizeof kLetters - 1)];
        }
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp = std::move(name);
            return fd.close();
        }
        if (errno != EEXIST) {
            return ENOTSUP;  // no /proc: the named way still works
        }
    }
    return EEXIST;
}

// The same through a named temporary, for file systems without O_TMPFILE.
int WriteNamed(const fs::path& file, const std::string& text, std::string& temp,
               struct stat& info) {
    temp = file.string() + ".XXXXXX";
    base::UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
    if (!fd) {
        temp.clear();
        return errno;
    }
    int error = FillAndSync(fd.get(), text, info);
    if (error == 0) {
        error = fd.close();
    }
    return error;
}

}  // namespace

std::optional<FileIdentity> LockedSettingsFile::write(const std::string& text) {
    RemoveStaleTemporaries(file_);
    std::string temp;
    struct stat info {};
    int error = WriteUnnamed(file_, text, temp, info);
    if (error == ENOTSUP) {
        error = WriteNamed(file_, text, temp, info);
    }
    if (error != 0) {
        if (!temp.empty()) {
            unlink(temp.c_str());
        }
        return fail("could not write " + file_.string() + ": " + std::strerror(error));
    }
    if (rename(temp.c_str(), file_.c_str()) != 0) {
        error = errno;
        unlink(temp.c_str());
        return fail("could not replace " + file_.string() + ": " + std::strerror(error));
    }
    return IdentityOfStat(info);
}

std::optional<fs::path> MoveAside(const fs::path& file) {
    const std::string base = file.string() + ".unreadable-" + TimestampForName();
    for (int n = 1; n <= 1000; ++n) {
        const fs::path aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return aside;
        }
        // A file system without no-replace renames: a hard link never
        // replaces either.
        if (errno == EINVAL && link(file.c_str(), aside.c_str()) == 0) {
            unlink(file.c_str());
            return aside;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::map<std::string, Value, std::less<>> ValuesOf(const nlohmann::json& object) {
    std::map<std::string, Value, std::less<>> values;
    for (const auto& [key, item] : object.items()) {
        switch (item.type()) {
            case nlohmann::json::value_t::boolean:
                values.emplace(key, item.get<bool>());
                break;
            case nlohmann::json::value_t::number_integer:
                values.emplace(key, item.get<std::int64_t>());
                break;
            case nlohmann::json::value_t::number_unsigned: {
                const auto number = item.get<std::uint64_t>();
                if (number <=
                    static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                    values.emplace(key, static_cast<std::int64_t>(number));
                } else {
                    values.emplace(key, static_cast<double>(number));
                }
                break;
            }
            case nlohmann::json::value_t::number_float:
                values.emplace(key, item.get<double>());
                break;
            case nlohmann::json::value_t::string:
                values.emplace(key, item.get<std::string>());
                break;
            default:
                break;
        }
    }
    return values;
}

nlohmann::json JsonOf(const Value& value) {
    return std::visit([](const auto& v) { return nlohmann::json(v); }, value);
}

}  // namespace settings
