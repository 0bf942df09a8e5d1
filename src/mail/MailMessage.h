#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

// A single-part plain-text message, ready to be handed to the SMTP client.
struct MailMessage {
    std::string subject;
    std::string from;       // a plain address (see PlainAddress)
    std::string recipient;  // the one To address, plain
    std::string contentType = "text/plain";
    std::string charset = "us-ascii";
    std::string content;    // the body as bytes
    std::string messageId;  // "unique@domain", without the angle brackets

    // The message as it goes over the wire after DATA: headers, a blank line
    // and the body, every line ending in CRLF. Dot-stuffing is the SMTP
    // client's business, not ours.
    std::string payload(std::time_t date) const;
};

// The address a recipient text names when it is a plain "local@domain",
// surrounding blanks trimmed; nothing otherwise. The address goes verbatim
// into MAIL FROM, RCPT TO and the headers, so anything that could end the
// mailbox early or add parameters there (blanks, "<", ">", ",", ";", quotes,
// control characters) is refused rather than interpreted.
std::optional<std::string> PlainAddress(std::string_view text);

}  // namespace mail
