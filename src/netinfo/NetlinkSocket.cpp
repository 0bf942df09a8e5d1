#include "netinfo/NetlinkSocket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>

namespace netinfo {
namespace {

constexpr int kDumpAttempts = 3;
constexpr int kMaxDrainReads = 256;
constexpr timeval kDumpReplyTimeout{2, 0};

struct DumpRequest {
    nlmsghdr header;
    rtgenmsg body;
};

}  // namespace

NetlinkSocket::NetlinkSocket(std::uint32_t groups)
    : sequence_(static_cast<std::uint32_t>(std::time(nullptr))) {
    const int flags = SOCK_RAW | SOCK_CLOEXEC | (groups ? SOCK_NONBLOCK : 0);
    fd_.reset(socket(AF_NETLINK, flags, NETLINK_ROUTE));
    if (!fd_) {
        error_ = errno;
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (bind(fd_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        error_ = errno;
        fd_.reset();
        return;
    }
    // The kernel always answers a dump, but never let a reply wait hang us.
    if (!groups) {
        setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &kDumpReplyTimeout,
                   sizeof kDumpReplyTimeout);
    }
}

std::optional<NetworkState> NetlinkSocket::dumpState() {
    if (!valid()) {
        return std::nullopt;
    }
    for (int attempt = 1;; ++attempt) {
        NetworkState state;
        bool interrupted = false;
        if (!dump(RTM_GETLINK, state, interrupted) || !dump(RTM_GETADDR, state, interrupted) ||
            !dump(RTM_GETROUTE, state, interrupted)) {
            return std::nullopt;
        }
        // A change during the dump also reaches any subscriber, which takes
        // a fresh dump afterwards, so a last torn one is still usable.
        if (!interrupted || attempt == kDumpAttempts) {
            return state;
        }
    }
}

bool NetlinkSocket::dump(std::uint16_t type, NetworkState& state, bool& interrupted) {
    DumpRequest request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++sequence_;
    request.body.rtgen_family = type == RTM_GETLINK ? AF_UNSPEC : AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd_.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        error_ = errno;
        return false;
    }

    std::array<std::byte, 64 * 1024> buffer;
    for (;;) {
        const ssize_t n = recv(fd_.get(), buffer.data(), buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = errno;
            return false;
        }
        const ParseResult result =
            ParseNetlinkMessages(std::span(buffer.data(), static_cast<std::size_t>(n)), state);
        interrupted = interrupted || result.interrupted;
        if (result.error) {
            error_ = result.error;
            return false;
        }
        if (result.done) {
            return true;
        }
        if (n == 0) {
            error_ = EPROTO;
            return false;
        }
    }
}

bool NetlinkSocket::drain(NetworkState* seen) {
    std::array<std::byte, 16 * 1024> buffer;
    bool complete = true;
    // Bounded so that a flood of changes cannot hold the loop here; what is
    // left keeps the socket readable and is read on the next wake-up.
    for (int i = 0; i < kMaxDrainReads; ++i) {
        const ssize_t n = recv(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n >= 0) {
            if (seen != nullptr) {
                ParseNetlinkMessages(std::span(buffer.data(), static_cast<std::size_t>(n)), *seen);
            }
            continue;
        }
        if (errno == ENOBUFS) {
            complete = false;
        } else if (errno != EINTR) {
            break;
        }
    }
    return complete;
}

}  // namespace netinfo
