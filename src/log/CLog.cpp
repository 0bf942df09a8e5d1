#include "log/CLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/Conversions.h"
#include "base/UniqueFd.h"
#include "log/FileErrors.h"
#include "platform/SystemLog.h"

namespace eventlog {

std::string LogDateDescription() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return std::string(text, length);
}

namespace {

// Opens the log file for appending, or says in the system log why not.
// O_APPEND moves to the end before every write, so entries are only ever
// appended, even when another run has the same file open. A link planted at
// the path is not followed and a FIFO does not block the open.
base::UniqueFd OpenForAppending(const std::string& path, short& error) {
    base::UniqueFd fd(open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!fd) {
        const int code = errno;
        platform::WriteToSystemLog("Could not open the log file " + path + ": " +
                                   (code == ELOOP ? "it is a symbolic link" : std::strerror(code)));
        error = FileErrorFromErrno(code);
        return fd;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        platform::WriteToSystemLog("Could not open the log file " + path +
                                   ": it is not a regular file");
        error = kIoErr;
        return {};
    }
    error = kNoErr;
    return fd;
}

std::string Stamped(const std::string& text) {
    return "[" + LogDateDescription() + "] " + text + "\n";
}

}  // namespace

CLog::~CLog() = default;

void CLog::SetRotation(off_t maxBytes, int generations) {
    m_maxBytes = maxBytes;
    m_generations = generations < 1 ? 1 : generations;
}

short CLog::OpenLogFile(const char* path) {
    m_fd.reset();
    const auto posix = path ? base::ConvertHFSPathToPosixPath(path) : std::nullopt;
    if (!posix) {
        return kBdNamErr;
    }
    short error = kNoErr;
    m_fd = OpenForAppending(*posix, error);
    if (!m_fd) {
        return error;
    }
    m_path = *posix;
    m_lineOpen = false;
    return append(Stamped("start"));
}

short CLog::Write_Entry(const char* line) {
    if (!m_fd || !line) {
        return kNoErr;
    }
    return append(std::string(line, std::strlen(line)));
}

short CLog::CloseLogFile() {
    if (!m_fd) {
        return kNoErr;
    }
    append(Stamped("stop"));
    return FileErrorFromErrno(m_fd.close());
}

short CLog::append(const std::string& line) {
    followThePath(line.size() + 1);
    // After a write that failed (a full disk), the file may end inside a
    // line: this one then starts on a line of its own.
    const std::string bytes = m_lineOpen ? "\n" + line : line;
    const int error = base::WriteAll(m_fd.get(), bytes);
    m_lineOpen = error != 0;
    return FileErrorFromErrno(error);
}

void CLog::followThePath(std::size_t size) {
    // One lstat and one fstat per entry: entries are rare, and a file moved
    // away between two of them loses nothing.
    struct stat atPath {};
    struct stat held {};
    if (fstat(m_fd.get(), &held) != 0) {
        return;
    }
    if (lstat(m_path.c_str(), &atPath) != 0 || atPath.st_dev != held.st_dev ||
        atPath.st_ino != held.st_ino) {
        reopen("the log file was moved or deleted; continuing in a new one");
    } else if (held.st_size > 0 && held.st_size + static_cast<off_t>(size) > m_maxBytes) {
        rotate();
    }
}

void CLog::rotate() {
    const auto generation = [this](int n) { return m_path + "." + std::to_string(n); };
    // rename works on names: a link at one of them is moved, never followed.
    for (int n = m_generations - 1; n >= 1; --n) {
        rename(generation(n).c_str(), generation(n + 1).c_str());
    }
    if (rename(m_path.c_str(), generation(1).c_str()) != 0) {
        return;  // keeps writing to the file as it is rather than losing entries
    }
    reopen("the log file reached " + std::to_string(m_maxBytes) +
           " bytes; earlier entries are in " + generation(1));
}

bool CLog::reopen(const std::string& why) {
    short error = kNoErr;
    base::UniqueFd fd = OpenForAppending(m_path, error);
    if (!fd) {
        return false;
    }
    m_fd = std::move(fd);
    m_lineOpen = false;
    base::WriteAll(m_fd.get(), Stamped(why));
    return true;
}

}  // namespace eventlog
