#include "mail/LocalIdentity.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <memory>

#include "base/UniqueFd.h"

namespace mail {
namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

AddrInfoList Resolve(const std::string& host, const char* service, int flags, int type) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), service, &hints, &found) != 0) {
        return nullptr;
    }
    return AddrInfoList(found);
}

std::optional<std::string> Literal(const sockaddr_storage& local) {
    char text[INET6_ADDRSTRLEN] = {};
    if (local.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(local);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        return "[" + std::string(text) + "]";
    }
    if (local.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(local);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return "[IPv6:" + std::string(text) + "]";
    }
    return std::nullopt;
}

}  // namespace

bool IsUsableDomainName(std::string_view name) {
    const auto allowed = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    };
    const bool local = name == "localhost" || name.starts_with("localhost.") ||
                       name.ends_with(".localdomain") || name.ends_with(".local");
    return !name.empty() && name.find('.') != std::string_view::npos && name.front() != '.' &&
           name.back() != '.' && std::all_of(name.begin(), name.end(), allowed) && !local;
}

std::optional<std::string> FullyQualifiedHostName() {
    std::array<char, 256> host{};
    if (gethostname(host.data(), host.size() - 1) != 0) {
        return std::nullopt;
    }
    const AddrInfoList found = Resolve(host.data(), nullptr, AI_CANONNAME, SOCK_STREAM);
    if (found && found->ai_canonname != nullptr && IsUsableDomainName(found->ai_canonname)) {
        return found->ai_canonname;
    }
    return IsUsableDomainName(host.data()) ? std::optional<std::string>(host.data()) : std::nullopt;
}

std::optional<std::string> LocalAddressLiteral(const std::string& host, long port) {
    const std::string bare = host.size() > 2 && host.front() == '[' && host.back() == ']'
                                 ? host.substr(1, host.size() - 2)
                                 : host;
    const AddrInfoList found = Resolve(bare, std::to_string(port).c_str(), 0, SOCK_DGRAM);
    if (!found) {
        return std::nullopt;
    }
    // Connecting a datagram socket only picks the route and source address.
    const base::UniqueFd socket(::socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_storage local{};
    socklen_t size = sizeof local;
    const bool known = socket && connect(socket.get(), found->ai_addr, found->ai_addrlen) == 0 &&
                       getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &size) == 0;
    return known ? Literal(local) : std::nullopt;
}

std::string NewMessageId(std::string_view domain) {
    std::array<unsigned char, 16> random{};
    if (getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
        // No entropy to be had: the clock still keeps two messages apart.
        const auto now = std::chrono::system_clock::now().time_since_epoch().count();
        for (std::size_t i = 0; i < random.size(); ++i) {
            random[i] =
                static_cast<unsigned char>(now >> (8 * (i % 8))) ^ static_cast<unsigned char>(i);
        }
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (unsigned char byte : random) {
        id += kHex[byte >> 4];
        id += kHex[byte & 0xF];
    }
    return id + "@" + std::string(domain);
}

std::string_view DomainOf(std::string_view address) {
    const std::size_t at = address.rfind('@');
    return at == std::string_view::npos ? std::string_view() : address.substr(at + 1);
}

}  // namespace mail
