#include "log/CLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "foundation/Conversions.h"
#include "log/FileErrors.h"
#include "platform/SystemLog.h"

std::string LogDateDescription() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return std::string(text, length);
}

CLog::~CLog() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

short CLog::OpenLogFile(const char* path) {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    const auto posix = path ? ConvertHFSPathToPosixPath(path) : std::nullopt;
    if (!posix) {
        return kBdNamErr;
    }
    // O_APPEND moves to the end before every write, so entries are only ever
    // appended, even when another run has the same file open. A link planted
    // at the path is not followed and a FIFO does not block the open.
    const int fd = open(posix->c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        const int error = errno;
        platform::WriteToSystemLog(
            "Could not open the log file " + *posix + ": " +
            (error == ELOOP ? "it is a symbolic link" : std::strerror(error)));
        return FileErrorFromErrno(error);
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        platform::WriteToSystemLog("Could not open the log file " + *posix +
                                   ": it is not a regular file");
        return kIoErr;
    }
    m_fd = fd;
    m_lineOpen = false;
    return append("[" + LogDateDescription() + "] start\n");
}

short CLog::Write_Entry(const char* line) {
    if (m_fd < 0 || !line) {
        return kNoErr;
    }
    return append(std::string(line, std::strlen(line)));
}

short CLog::CloseLogFile() {
    if (m_fd < 0) {
        return kNoErr;
    }
    append("[" + LogDateDescription() + "] stop\n");
    const int result = close(m_fd);
    m_fd = -1;
    return result == 0 ? kNoErr : FileErrorFromErrno(errno);
}

short CLog::append(const std::string& line) {
    // After a write that stopped inside a line (a full disk), the file ends
    // mid-line: this line starts on a line of its own.
    const std::size_t lineFeeds = m_lineOpen ? 1 : 0;
    const std::string bytes = std::string(lineFeeds, '\n') + line;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            m_lineOpen = done != lineFeeds;  // anything but just the line feed
            return FileErrorFromErrno(error);
        }
        done += static_cast<std::size_t>(n);
    }
    m_lineOpen = false;
    return kNoErr;
}
