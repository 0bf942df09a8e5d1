#include "mail/QuotedPrintable.h"

namespace mail {
namespace {

constexpr std::size_t kMaxLine = 76;

bool Literal(unsigned char c, bool atLineEnd) {
    if (c == ' ' || c == '\t') {
        return !atLineEnd;  // trailing blanks would be stripped in transit
    }
    return c >= 33 && c <= 126 && c != '=';
}

void EncodeLine(std::string_view line, std::string& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t width = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool literal = Literal(c, i + 1 == line.size());
        const std::size_t size = literal ? 1 : 3;
        // Room is kept for the "=" of a soft break, unless this ends the line.
        const std::size_t room = i + 1 == line.size() ? kMaxLine : kMaxLine - 1;
        if (width + size > room) {
            out += "=\r\n";
            width = 0;
        }
        if (literal) {
            out += static_cast<char>(c);
        } else {
            out += {'=', kHex[c >> 4], kHex[c & 0xF]};
        }
        width += size;
    }
}

}  // namespace

std::string QuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        EncodeLine(text.substr(0, end), out);
        if (end == std::string_view::npos) {
            break;
        }
        out += "\r\n";
        text.remove_prefix(end + 2);
    }
    return out;
}

}  // namespace mail
