#pragma once

#include <optional>
#include <string>

#include "settings/Preferences.h"

// The mail sender's settings. Unlike the readers in Readers.h these do not
// synchronize: the sender synchronizes once when it composes a message and
// then reads what that gave, step by step, as its conversation goes on.
namespace settings {

// A stored value as text for a log line.
std::string DescribeValue(const Value& value);

// "MailServer": a non-empty string, else nothing.
std::optional<std::string> ReadMailServer();

// "Port": 25 when absent, otherwise its whole-number value, which must lie in
// 1-65535; when it does not, port is empty and stored describes the entry.
struct MailPort {
    std::optional<long> port;
    std::string stored;
};
MailPort ReadMailPort();
// The rule of ReadMailPort() for a given entry.
MailPort MailPortFromValue(const std::optional<Value>& value);

// "Authentication": nothing when absent, otherwise its whole-number value
// (0 when it has none): 0 sends without authenticating, 1 uses PLAIN, any
// other value LOGIN.
std::optional<long long> ReadAuthenticationMode();

// "Username" and "UserPassword": string entries only.
std::optional<std::string> ReadUsername();
std::optional<std::string> ReadUserPassword();

// "EmailFrom": the sender address for servers that accept only the
// account's own address; a non-empty string, else nothing (the message is
// then sent from its recipient's address).
std::optional<std::string> ReadEmailFrom();

}  // namespace settings
