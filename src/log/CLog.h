#pragma once

#include <string>

#include "foundation/UniqueFd.h"

namespace eventlog {

// The private log file: opened once per run, only ever appended to, framed by
// a start line and a stop line. Error codes are the 16-bit file-system codes
// the callers expect (0 for success); with no file open, writing and closing
// do nothing and succeed.
class CLog {
public:
    CLog() = default;
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

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

    foundation::UniqueFd m_fd;  // the open file; none when not open
    bool m_lineOpen = false;    // the last write failed: the file may end mid-line
};

// The current local time as log lines show it: "2024-05-01 13:45:10 +0200".
std::string LogDateDescription();

}  // namespace eventlog
