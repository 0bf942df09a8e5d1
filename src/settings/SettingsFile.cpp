#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "platform/Folders.h"
#include "platform/SystemLog.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

// Far beyond any real settings file; a bigger one is not ours to load.
constexpr off_t kMaxFileSize = 4 * 1024 * 1024;
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

bool ReadWhole(int fd, off_t size, std::string& text) {
    text.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return true;
}

bool WriteWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
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
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        return;
    }
    while (flock(lockFd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(lockFd_);
            lockFd_ = -1;
            return;
        }
    }
}

LockedSettingsFile::~LockedSettingsFile() {
    if (lockFd_ >= 0) {
        close(lockFd_);  // releases the lock
    }
}

std::optional<FileContents> LockedSettingsFile::read() {
    const int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return FileContents{};
        }
        return std::nullopt;
    }
    struct stat info {};
    std::string text;
    const bool statted = fstat(fd, &info) == 0;
    const bool tooBig = statted && info.st_size > kMaxFileSize;
    const bool readable =
        statted && S_ISREG(info.st_mode) && !tooBig && ReadWhole(fd, info.st_size, text);
    close(fd);
    if (tooBig) {
        return setAside("it is too large", info);
    }
    if (!readable) {
        return std::nullopt;
    }

    auto parsed = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return setAside("it is not a settings file", info);
    }
    return FileContents{std::move(parsed), IdentityOfStat(info)};
}

FileContents LockedSettingsFile::setAside(std::string_view why, const struct stat& info) {
    const fs::path aside = file_.string() + ".unreadable-" + TimestampForName();
    const std::string problem =
        "Settings file " + file_.string() + " could not be read (" + std::string(why) + ")";
    if (rename(file_.c_str(), aside.c_str()) == 0) {
        platform::WriteToSystemLog(problem + "; moved it to " + aside.string() +
                                   " and started with empty settings");
        return FileContents{};
    }
    // Left in place (a folder we may not write): remember this version so that
    // it is neither read nor reported again until it changes.
    platform::WriteToSystemLog(problem + "; using empty settings");
    return FileContents{nlohmann::json::object(), IdentityOfStat(info)};
}

std::optional<FileIdentity> LockedSettingsFile::write(const nlohmann::json& object) {
    std::string temp = file_.string() + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    const std::string text =
        object.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    struct stat info {};
    // fsync before the rename: after a crash the file is either the old or the
    // new one, never an empty one.
    const bool written =
        fchmod(fd, 0600) == 0 && WriteWhole(fd, text) && fsync(fd) == 0 && fstat(fd, &info) == 0;
    close(fd);
    if (!written || rename(temp.c_str(), file_.c_str()) != 0) {
        unlink(temp.c_str());
        return std::nullopt;
    }
    return IdentityOfStat(info);
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
