#include "app/BusProbe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/UniqueFd.h"

namespace app {

namespace {

using Clock = std::chrono::steady_clock;

// The first key=value of an address part, unescaped (%XX) as D-Bus writes it.
std::string Value(const std::string& part, const std::string& key) {
    const std::string prefix = key + "=";
    std::size_t start = part.find(prefix);
    if (start == std::string::npos ||
        (start > 0 && part[start - 1] != ',' && part[start - 1] != ':')) {
        return {};
    }
    start += prefix.size();
    const std::string raw = part.substr(start, part.find(',', start) - start);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char byte = 0;
        if (raw[i] == '%' && i + 2 < raw.size() &&
            std::from_chars(raw.data() + i + 1, raw.data() + i + 3, byte, 16).ptr ==
                raw.data() + i + 3) {
            value += static_cast<char>(byte);
            i += 2;
        } else {
            value += raw[i];
        }
    }
    return value;
}

std::string HexOf(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : text) {
        hex += kHex[c >> 4];
        hex += kHex[c & 0xf];
    }
    return hex;
}

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Connects and starts the authentication; true once the bus replies.
bool Greets(const std::string& socketPath, std::chrono::milliseconds timeout) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return true;  // not ours to judge
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath.size() +
                                               (socketPath[0] == '\0' ? 0 : 1));
    const base::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        return true;
    }
    const auto deadline = Clock::now() + timeout;
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0) {
        return false;
    }
    // The client's first words: a NUL, then AUTH EXTERNAL with our user id
    // in hex. Any reply (OK or REJECTED) shows the bus is alive.
    const std::string hello =
        std::string(1, '\0') + "AUTH EXTERNAL " + HexOf(std::to_string(getuid())) + "\r\n";
    pollfd ready = {fd.get(), POLLIN, 0};
    char reply[64];
    return send(fd.get(), hello.data(), hello.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(hello.size()) &&
           poll(&ready, 1, Remaining(deadline)) == 1 && recv(fd.get(), reply, sizeof reply, 0) > 0;
}

}  // namespace

std::string UnixSocketOf(const std::string& busAddress) {
    std::size_t start = 0;
    while (start <= busAddress.size()) {
        const std::size_t end = std::min(busAddress.find(';', start), busAddress.size());
        const std::string part = busAddress.substr(start, end - start);
        if (part.starts_with("unix:")) {
            if (std::string path = Value(part, "path"); !path.empty()) {
                return path;
            }
            if (std::string name = Value(part, "abstract"); !name.empty()) {
                return std::string(1, '\0') + name;
            }
        }
        start = end + 1;
    }
    return {};
}

bool SessionBusAnswers(std::chrono::milliseconds timeout) {
    std::string socketPath;
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        socketPath = UnixSocketOf(address);
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        const std::filesystem::path bus = std::filesystem::path(runtime) / "bus";
        std::error_code ignored;
        if (std::filesystem::is_socket(bus, ignored)) {
            socketPath = bus;
        }
    }
    return socketPath.empty() || Greets(socketPath, timeout);
}

}  // namespace app
