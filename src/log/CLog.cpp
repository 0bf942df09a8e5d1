#include "log/CLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "foundation/Conversions.h"
#include "foundation/UniqueFd.h"
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

CLog::~CLog() = default;

short CLog::OpenLogFile(const char* path) {
    m_fd.reset();
    const auto posix = path ? foundation::ConvertHFSPathToPosixPath(path) : std::nullopt;
    if (!posix) {
        return kBdNamErr;
    }
    // O_APPEND moves to the end before every write, so entries are only ever
    // appended, even when another run has the same file open. A link planted
    // at the path is not followed and a FIFO does not block the open.
    foundation::UniqueFd fd(open(
        posix->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!fd) {
        const int error = errno;
        platform::WriteToSystemLog(
            "Could not open the log file " + *posix + ": " +
            (error == ELOOP ? "it is a symbolic link" : std::strerror(error)));
        return FileErrorFromErrno(error);
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        platform::WriteToSystemLog("Could not open the log file " + *posix +
                                   ": it is not a regular file");
        return kIoErr;
    }
    m_fd = std::move(fd);
    m_lineOpen = false;
    return append("[" + LogDateDescription() + "] start\n");
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
    append("[" + LogDateDescription() + "] stop\n");
    return FileErrorFromErrno(m_fd.close());
}

short CLog::append(const std::string& line) {
    // After a write that failed (a full disk), the file may end inside a
    // line: this one then starts on a line of its own.
    const std::string bytes = m_lineOpen ? "\n" + line : line;
    const int error = foundation::WriteAll(m_fd.get(), bytes);
    m_lineOpen = error != 0;
    return FileErrorFromErrno(error);
}

}  // namespace eventlog
