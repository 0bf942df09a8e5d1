#pragma once

#include <optional>
#include <string>
#include <string_view>

// How this machine names itself to a mail server: in EHLO and in the domain
// of a Message-ID. Servers refuse bare host names and raw 8-bit text there.
namespace mail {

// Whether name can stand for the machine in EHLO and a Message-ID: ASCII
// letters, digits, "-" and ".", with a dot, and not a localhost name.
bool IsUsableDomainName(std::string_view name);

// The machine's fully qualified name as the resolver knows it, when usable.
// May wait on the resolver: call it on a worker thread.
std::optional<std::string> FullyQualifiedHostName();

// The address literal ("[10.2.0.2]", "[IPv6:fe80::1]") of the address the
// machine would use to reach host, when it can tell. No packet is sent.
std::optional<std::string> LocalAddressLiteral(const std::string& host, long port);

// A new Message-ID ("<random>@domain", without the angle brackets).
std::string NewMessageId(std::string_view domain);

// The domain of a plain address ("example.org" of "jo@example.org").
std::string_view DomainOf(std::string_view address);

}  // namespace mail
