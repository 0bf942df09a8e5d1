#pragma once

namespace app {

// SIGTERM, SIGINT and SIGHUP become a readable pipe: the handler only writes
// one byte, and the GUI thread, watching the read end, ends the program the
// way "Quit" does. Returns the read end, or -1 when no pipe could be made.
int InstallQuitSignalPipe();

// Reads whatever the handler has written, so the pipe stops being readable.
// True when a signal had come.
bool DrainQuitSignalPipe(int fd);

}  // namespace app
