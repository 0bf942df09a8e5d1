#include "netinfo/WirelessReport.h"

#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/netlink.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "netinfo/StringExtensions.h"

namespace netinfo {
namespace {

using Socket = std::unique_ptr<nl_sock, decltype(&nl_socket_free)>;
using Message = std::unique_ptr<nl_msg, decltype(&nlmsg_free)>;

int AddInterfaceLine(nl_msg* message, void* context) {
    auto* report = static_cast<std::string*>(context);
    auto* header = static_cast<genlmsghdr*>(nlmsg_data(nlmsg_hdr(message)));
    nlattr* attrs[NL80211_ATTR_MAX + 1] = {};
    if (nla_parse(attrs, NL80211_ATTR_MAX, genlmsg_attrdata(header, 0), genlmsg_attrlen(header, 0),
                  nullptr) != 0) {
        return NL_SKIP;
    }
    const nlattr* type = attrs[NL80211_ATTR_IFTYPE];
    const nlattr* ssid = attrs[NL80211_ATTR_SSID];
    if (type && ssid && nla_get_u32(type) == NL80211_IFTYPE_STATION) {
        const std::string_view name(static_cast<const char*>(nla_data(ssid)),
                                    static_cast<std::size_t>(nla_len(ssid)));
        *report += "Current Wireless Network: " + EscapeNetworkName(name) + "\n";
    }
    return NL_OK;
}

bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

}  // namespace

std::optional<std::string> CopyWirelessReport() {
    Socket socket(nl_socket_alloc(), nl_socket_free);
    if (!socket || genl_connect(socket.get()) != 0) {
        return std::nullopt;
    }
    const int family = genl_ctrl_resolve(socket.get(), "nl80211");
    if (family < 0) {
        return std::nullopt;  // no wireless support in this kernel
    }
    Message request(nlmsg_alloc(), nlmsg_free);
    if (!request || !genlmsg_put(request.get(), NL_AUTO_PORT, NL_AUTO_SEQ, family, 0, NLM_F_DUMP,
                                 NL80211_CMD_GET_INTERFACE, 0)) {
        return std::nullopt;
    }
    std::string report;
    nl_socket_modify_cb(socket.get(), NL_CB_VALID, NL_CB_CUSTOM, AddInterfaceLine, &report);
    if (nl_send_auto(socket.get(), request.get()) < 0 || nl_recvmsgs_default(socket.get()) < 0) {
        return std::nullopt;
    }
    return report;
}

std::string EscapeNetworkName(std::string_view ssid) {
    std::string out;
    const auto* s = reinterpret_cast<const std::uint8_t*>(ssid.data());
    const auto length = static_cast<std::int32_t>(ssid.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c >= 0x20 && c != 0x7F && c != '\\' && !(c >= 0x80 && c < 0xA0)) {
            out.append(
                ssid.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
            continue;
        }
        if (c < 0) {
            i = start + 1;  // one byte at a time through anything invalid
        }
        for (std::int32_t k = start; k < i; ++k) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", s[k]);
            out += escaped;
        }
    }
    return out;
}

std::optional<std::string> ExtractWirelessNetworkName(std::string_view report) {
    if (auto name = extractBetweenPattern(report, "Current Wireless Network: ", "\n")) {
        return name;
    }
    if (auto name = extractBetweenPattern(report, "Current Network Information:", ":\n")) {
        return Trim(*name);
    }
    return std::nullopt;
}

}  // namespace netinfo
