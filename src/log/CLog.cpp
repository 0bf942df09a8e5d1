#include "log/CLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "log/FileErrors.h"
#include "log/HfsPath.h"

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
    // appended, even when another run has the same file open.
    const int fd = open(posix->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return FileErrorFromErrno(errno);
    }
    m_fd = fd;
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

short CLog::append(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return FileErrorFromErrno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return kNoErr;
}
