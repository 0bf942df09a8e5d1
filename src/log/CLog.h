#pragma once

#include <string>

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
    // Appends the NUL-terminated line as it is (after a line feed when an
    // earlier write was cut short).
    short Write_Entry(const char* line);
    // Writes the stop line and closes the file.
    short CloseLogFile();

    bool isOpen() const { return m_fd >= 0; }

private:
    short append(const std::string& line);

    int m_fd = -1;            // the open file; -1 when none
    bool m_lineOpen = false;  // the file may end inside a line cut short
};

// The current local time as log lines show it: "2024-05-01 13:45:10 +0200".
std::string LogDateDescription();
