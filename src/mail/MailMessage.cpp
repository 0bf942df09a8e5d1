#include "mail/MailMessage.h"

#include "mail/QuotedPrintable.h"

#include <algorithm>
#include <cstdio>

namespace mail {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// RFC 5322 date in the C locale, whatever the user's locale says.
std::string HeaderDate(std::time_t date) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&date, &local);
    char zone[8] = "+0000";
    std::strftime(zone, sizeof zone, "%z", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %s", kDays[local.tm_wday],
                  local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour,
                  local.tm_min, local.tm_sec, zone);
    return text;
}

// Every line ends in CRLF on the wire, whichever line ends the text used.
std::string WithCrlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) {
        out += "\r\n";
    }
    return out;
}

bool HasOverlongLine(std::string_view crlfText) {
    constexpr std::size_t kMaxLine = 998;  // octets, the CRLF excluded
    for (std::size_t start = 0; start < crlfText.size();) {
        const std::size_t end = std::min(crlfText.find("\r\n", start), crlfText.size());
        if (end - start > kMaxLine) {
            return true;
        }
        start = end + 2;
    }
    return false;
}

}  // namespace

std::string MailMessage::payload(std::time_t date) const {
    // A body with bytes beyond ASCII (a machine name such as "Zoë's laptop")
    // cannot honestly be labelled us-ascii, and neither it nor a line over
    // SMTP's 998 octets may go as 7bit: such bodies go quoted-printable,
    // which needs nothing of the server.
    const std::string body = WithCrlf(content);
    const bool ascii = IsAscii(body);
    const bool plain = ascii && !HasOverlongLine(body);
    std::string text;
    text += "From: " + from + "\r\n";
    text += "To: " + recipient + "\r\n";
    text += "Subject: " + subject + "\r\n";
    text += "Date: " + HeaderDate(date) + "\r\n";
    if (!messageId.empty()) {
        text += "Message-ID: <" + messageId + ">\r\n";
    }
    text += "MIME-Version: 1.0\r\n";
    text += "Content-Type: " + contentType + "; charset=" + (ascii ? charset : "utf-8") + "\r\n";
    text +=
        std::string("Content-Transfer-Encoding: ") + (plain ? "7bit" : "quoted-printable") + "\r\n";
    text += "\r\n";
    text += plain ? body : QuotedPrintable(body);
    return text;
}

std::optional<std::string> PlainAddress(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    const auto refused = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F ||
               std::string_view(" <>,;\"'").find(c) != std::string_view::npos;
    };
    const std::size_t at = text.find('@');
    if (at == 0 || at == text.npos || at + 1 == text.size() ||
        text.find('@', at + 1) != text.npos || std::any_of(text.begin(), text.end(), refused)) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace mail
