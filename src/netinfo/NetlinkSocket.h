#pragma once

#include <cstdint>
#include <optional>

#include "base/UniqueFd.h"
#include "netinfo/NetlinkMessages.h"

namespace netinfo {

// A NETLINK_ROUTE socket of the calling thread's network namespace.
class NetlinkSocket {
public:
    // Opens a socket; with groups set it also receives those RTMGRP_*
    // notifications, without blocking. Check valid() and error().
    explicit NetlinkSocket(std::uint32_t groups = 0);
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    bool valid() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }
    int error() const { return error_; }  // errno of the last failure

    // Dumps links, IPv4 addresses and IPv4 routes. Nothing on failure, with
    // error() telling why. A dump that raced with a change is taken again.
    std::optional<NetworkState> dumpState();

    // Reads every pending notification, adding what they say to seen when
    // given. Returns false when some were lost because the socket's buffer
    // overflowed.
    bool drain(NetworkState* seen = nullptr);

private:
    bool dump(std::uint16_t type, NetworkState& state, bool& interrupted);

    base::UniqueFd fd_;
    int error_ = 0;
    std::uint32_t sequence_ = 0;
};

}  // namespace netinfo
