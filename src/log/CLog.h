#pragma once

#include <sys/types.h>

#include <string>

#include "base/UniqueFd.h"

namespace eventlog {

// The private log file: opened once per run, only ever appended to, framed by
// a start line and a stop line. Error codes are the 16-bit file-system codes
// the callers expect (0 for success); with no file open, writing and closing
// do nothing and succeed.
//
// The file held is always the one at the path: one moved away or deleted
// (by logrotate, by the user) is let go and a new one made at the path. A file
// that would grow past the size limit is rotated first: "<name>.1" is the
// previous file, "<name>.2" the one before, and so on.
class CLog {
public:
    static constexpr off_t kDefaultMaxBytes = 2 * 1024 * 1024;
    static constexpr int kDefaultGenerations = 3;

    CLog() = default;
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // The size a file may reach and how many older files are kept (at least 1).
    void SetRotation(off_t maxBytes, int generations);

    // path is colon-separated ("Root:home:...") or absolute POSIX. Creates
    // the file when missing, then writes the start line.
    short OpenLogFile(const char* path);
    // Appends the NUL-terminated line as it is (after a line feed when the
    // write before it failed).
    short Write_Entry(const char* line);
    // Writes the stop line and closes the file.
    short CloseLogFile();

    bool isOpen() const { return static_cast<bool>(m_fd); }

private:
    short append(const std::string& line);
    // Makes sure the next line of size bytes goes to the file at the path.
    void followThePath(std::size_t size);
    void rotate();
    // Opens the file at the path in place of the one held; false leaves the
    // held one as it was.
    bool reopen(const std::string& why);

    base::UniqueFd m_fd;      // the open file; none when not open
    std::string m_path;       // its POSIX path
    bool m_lineOpen = false;  // the last write failed: the file may end mid-line
    off_t m_maxBytes = kDefaultMaxBytes;
    int m_generations = kDefaultGenerations;
};

// The current local time as log lines show it: "2024-05-01 13:45:10 +0200".
std::string LogDateDescription();

}  // namespace eventlog
