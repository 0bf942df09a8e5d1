#include "netinfo/NetlinkMessages.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace netinfo {
namespace {

// Errors travel as negative errno values, which the kernel keeps below 4096.
constexpr int kMaxErrno = 4095;

using Bytes = std::span<const std::byte>;

constexpr std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

// Kernel data carries no alignment promise once it sits in our buffer, so
// every header is copied out rather than cast in place.
template <class T>
bool ReadAt(Bytes bytes, std::size_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

void ForEachAttribute(Bytes attrs, const std::function<void(unsigned, Bytes)>& visit) {
    std::size_t offset = 0;
    rtattr attr{};
    while (ReadAt(attrs, offset, attr)) {
        if (attr.rta_len < sizeof(rtattr) || attr.rta_len > attrs.size() - offset) {
            return;
        }
        visit(attr.rta_type & NLA_TYPE_MASK,
              attrs.subspan(offset + sizeof(rtattr), attr.rta_len - sizeof(rtattr)));
        offset += Align4(attr.rta_len);
    }
}

std::optional<std::uint32_t> ReadU32(Bytes payload) {
    std::uint32_t value = 0;
    if (!ReadAt(payload, 0, value)) {
        return std::nullopt;
    }
    return value;
}

void ParseLink(Bytes body, NetworkState& state) {
    ifinfomsg info{};
    if (!ReadAt(body, 0, info)) {
        return;
    }
    LinkRecord link{info.ifi_index, info.ifi_flags, {}};
    ForEachAttribute(body.subspan(Align4(sizeof info)), [&](unsigned type, Bytes payload) {
        if (type == IFLA_IFNAME) {
            const auto* chars = reinterpret_cast<const char*>(payload.data());
            link.name.assign(chars, strnlen(chars, payload.size()));
        }
    });
    state.links.push_back(std::move(link));
}

void ParseAddress(Bytes body, NetworkState& state) {
    ifaddrmsg info{};
    if (!ReadAt(body, 0, info) || info.ifa_family != AF_INET) {
        return;
    }
    std::optional<std::uint32_t> local, address, flags;
    ForEachAttribute(body.subspan(Align4(sizeof info)), [&](unsigned type, Bytes payload) {
        if (type == IFA_LOCAL) {
            local = ReadU32(payload);
        } else if (type == IFA_ADDRESS) {
            address = ReadU32(payload);
        } else if (type == IFA_FLAGS) {
            flags = ReadU32(payload);
        }
    });
    // IFA_LOCAL is our own end; IFA_ADDRESS differs from it only on
    // point-to-point links, where it names the peer.
    const auto own = local ? local : address;
    if (!own) {
        return;
    }
    state.addresses.push_back(
        {static_cast<int>(info.ifa_index), *own, flags.value_or(info.ifa_flags)});
}

std::optional<int> FirstNexthopIndex(Bytes multipath) {
    rtnexthop hop{};
    if (!ReadAt(multipath, 0, hop) || hop.rtnh_len < sizeof hop) {
        return std::nullopt;
    }
    return hop.rtnh_ifindex;
}

void ParseRoute(Bytes body, NetworkState& state) {
    rtmsg info{};
    if (!ReadAt(body, 0, info) || info.rtm_family != AF_INET || info.rtm_dst_len != 0 ||
        info.rtm_type != RTN_UNICAST) {
        return;
    }
    std::uint32_t table = info.rtm_table;
    std::optional<int> outputIndex;
    DefaultRoute route;
    ForEachAttribute(body.subspan(Align4(sizeof info)), [&](unsigned type, Bytes payload) {
        if (type == RTA_TABLE) {
            table = ReadU32(payload).value_or(table);
        } else if (type == RTA_OIF) {
            if (auto index = ReadU32(payload)) {
                outputIndex = static_cast<int>(*index);
            }
        } else if (type == RTA_MULTIPATH && !outputIndex) {
            outputIndex = FirstNexthopIndex(payload);
        } else if (type == RTA_PRIORITY) {
            route.priority = ReadU32(payload).value_or(0);
        } else if (type == RTA_PREFSRC) {
            route.preferredSource = ReadU32(payload);
        }
    });
    if (table != RT_TABLE_MAIN || !outputIndex) {
        return;
    }
    route.outputIndex = *outputIndex;
    state.defaultRoutes.push_back(route);
}

}  // namespace

ParseResult ParseNetlinkMessages(std::span<const std::byte> datagram, NetworkState& state) {
    ParseResult result;
    std::size_t offset = 0;
    nlmsghdr header{};
    while (ReadAt(datagram, offset, header)) {
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > datagram.size() - offset) {
            break;
        }
        if (header.nlmsg_flags & NLM_F_DUMP_INTR) {
            result.interrupted = true;
        }
        const Bytes body = datagram.subspan(offset + Align4(sizeof header),
                                            header.nlmsg_len - Align4(sizeof header));
        switch (header.nlmsg_type) {
            case NLMSG_DONE:
                result.done = true;
                return result;
            case NLMSG_ERROR: {
                // An error code of 0 is a plain acknowledgement.
                nlmsgerr error{};
                if (!ReadAt(body, 0, error)) {
                    result.error = EPROTO;
                } else if (error.error == 0) {
                    result.done = true;
                } else if (error.error < 0 && error.error >= -kMaxErrno) {
                    result.error = -error.error;
                } else {
                    // Not an errno the kernel would send (and INT_MIN cannot
                    // even be negated): the message is garbled.
                    result.error = EPROTO;
                }
                return result;
            }
            case RTM_NEWLINK:
                ParseLink(body, state);
                break;
            case RTM_NEWADDR:
                ParseAddress(body, state);
                break;
            case RTM_NEWROUTE:
                ParseRoute(body, state);
                break;
            default:
                break;
        }
        offset += Align4(header.nlmsg_len);
    }
    return result;
}

}  // namespace netinfo
