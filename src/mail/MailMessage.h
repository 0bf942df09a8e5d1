#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

// A single-part plain-text message, ready to be handed to the SMTP client.
struct MailMessage {
    std::string subject;
    std::string from;       // header text, as the user wrote the address
    std::string recipient;  // the one To address, as the user wrote it
    std::string contentType = "text/plain";
    std::string charset = "us-ascii";
    std::string content;  // the body as bytes

    // The message as it goes over the wire after DATA: headers, a blank line
    // and the body, every line ending in CRLF. Dot-stuffing is the SMTP
    // client's business, not ours.
    std::string payload(std::time_t date) const;
};

// The bare mailbox of an address text such as "Jo <jo@example.org>" or
// " jo@example.org": what goes into MAIL FROM / RCPT TO.
std::string MailboxOf(std::string_view address);

// Address texts reach a header and the SMTP conversation verbatim, so a
// line break or NUL in one would let it inject commands or headers.
bool IsSafeAddressText(std::string_view address);

}  // namespace mail
