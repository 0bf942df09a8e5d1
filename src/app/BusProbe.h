#pragma once

#include <chrono>
#include <string>

namespace app {

// Whether the session bus answers at all, found out within timeout before
// Qt connects to it: the bus library waits 25 s for a bus that accepts the
// connection and then says nothing, and would do so again on each use.
// Only unix: addresses are checked; for others, and when the address is
// unknown, the answer is yes and the bus library decides.
bool SessionBusAnswers(std::chrono::milliseconds timeout);

// The path of the first unix: socket in a D-Bus address ("unix:path=..."),
// with '\0' leading an abstract one; empty when there is none.
std::string UnixSocketOf(const std::string& busAddress);

}  // namespace app
